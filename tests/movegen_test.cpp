// Move generation: the exact order and scores of the emitted lists, the
// check detection that prepares evasions, and the legality test after a move.
#include "board/movegen.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "board/board.h"
#include "board/exchange.h"
#include "board/fen.h"
#include "board/makemove.h"
#include "board/tables.h"
#include "search/game.h"
#include "support/board_setup.h"
#include "support/test_engine.h"

namespace kavrin {
namespace {

using test::SetUpPosition;

using test::M;
using test::Sq;

using List = std::vector<MoveEntry>;

// The checks of the position set up, and room for one list.
CheckInfo check;
MoveEntry scratchMoves[MaxGeneratedMoves];

List All() {
    MoveEntry* end = GenerateAll(gamePosition, scratchMoves);
    return List(scratchMoves, end);
}
List Captures() {
    MoveEntry* end = GenerateCaptures(gamePosition, scratchMoves);
    return List(scratchMoves, end);
}
List Evasions() {
    ComputeCheckers(gamePosition, check);
    EXPECT_NE(check.checkers, 0u) << "evasions asked for a position without check";
    MoveEntry* end = GenerateEvasions(gamePosition, scratchMoves, check);
    return List(scratchMoves, end);
}

std::string Describe(const List& list) {
    std::string text;
    for (const MoveEntry& e : list) {
        const int from = MoveFrom(e.move), to = MoveTo(e.move);
        text += static_cast<char>('a' + (from & 7));
        text += static_cast<char>('8' - (from >> 3));
        text += static_cast<char>('a' + (to & 7));
        text += static_cast<char>('8' - (to >> 3));
        text += '/';
        text += std::to_string(MoveKindOf(e.move));
        text += ':';
        text += std::to_string(e.score);
        text += ' ';
    }
    return text;
}

void ExpectList(const List& actual, const List& expected) {
    ASSERT_EQ(actual.size(), expected.size())
        << "actual:   " << Describe(actual) << "\nexpected: " << Describe(expected);
    for (size_t i = 0; i < actual.size(); ++i) {
        EXPECT_EQ(actual[i].move, expected[i].move)
            << "entry " << i << "\nactual:   " << Describe(actual) << "\nexpected: " << Describe(expected);
        EXPECT_EQ(actual[i].score, expected[i].score) << "entry " << i << " " << Describe({actual[i]});
    }
}

struct SliderSets {
    Bitboard rookLike;
    Bitboard bishopLike;
};

MoveEntry E(int score, Move m) { return MoveEntry{static_cast<int16_t>(score), m}; }

Move MirrorMove(Move m) {
    int kind = MoveKindOf(m);
    if (kind >= BlackCastleKing) kind ^= 1;
    return MakeMoveWord(MoveFrom(m) ^ 56, MoveTo(m) ^ 56, kind);
}

// Entries by group (the piece kind moving and whether it captures), with the
// black list mirrored: the same moves and scores must land in the same groups
// in the same group order.
struct Keyed {
    int group;
    Move move;
    int score;
    bool operator<(const Keyed& o) const {
        return group != o.group ? group < o.group : move != o.move ? move < o.move : score < o.score;
    }
    bool operator==(const Keyed& o) const { return group == o.group && move == o.move && score == o.score; }
};

std::vector<int> GroupRuns(const std::vector<Keyed>& keyed) {
    std::vector<int> runs;
    for (const Keyed& k : keyed)
        if (runs.empty() || runs.back() != k.group) runs.push_back(k.group);
    return runs;
}

void ExpectSameGroups(const List& white, const List& black) {
    // Groups are read from the Board, which holds the black position now;
    // the white list's groups come from the mirrored origin square.
    auto keyOf = [](const MoveEntry& e, bool mirror) {
        const Move m = mirror ? MirrorMove(e.move) : e.move;
        const int from = MoveFrom(mirror ? e.move : MirrorMove(e.move));
        const int code = gamePosition.board.pieceOn[from];
        const int kind = IsCastling(m) ? 7 : (code + 1) >> 1;
        return Keyed{kind * 2 + (IsCaptureKind(MoveKindOf(m)) && !IsCastling(m) ? 0 : 1), m, e.score};
    };
    std::vector<Keyed> w, b;
    for (const MoveEntry& e : white) w.push_back(keyOf(e, false));
    for (const MoveEntry& e : black) b.push_back(keyOf(e, true));
    EXPECT_EQ(GroupRuns(w), GroupRuns(b));
    std::sort(w.begin(), w.end());
    std::sort(b.begin(), b.end());
    ASSERT_EQ(w.size(), b.size());
    for (size_t i = 0; i < w.size(); ++i)
        EXPECT_TRUE(w[i] == b[i]) << "white " << Describe({E(w[i].score, w[i].move)}) << " black (mirrored) "
                                  << Describe({E(b[i].score, b[i].move)});
}

// The list generate makes for each position and for its colour-flipped twin.
// Squares are walked in the same direction for both colours, so only the
// groups and their contents mirror, not the order inside a group.
void ExpectBlackMirrorsWhite(std::initializer_list<const char*> positions, List (*generate)()) {
    for (const char* fen : positions) {
        SetUpPosition(fen);
        const List white = generate();
        const std::string mirrored = test::MirrorFen(fen);
        SetUpPosition(mirrored.c_str());
        const List black = generate();
        SCOPED_TRACE(mirrored);
        ExpectSameGroups(white, black);
    }
}

// ---------------------------------------------------------------- GenerateAll

TEST(GenerateAll, InitialPositionOrder) {
    SetUpPosition(InitialFen);
    List expected = {E(-30000, M("g1", "h3", Quiet)), E(-30000, M("g1", "f3", Quiet)), E(-30000, M("b1", "c3", Quiet)),
                     E(-30000, M("b1", "a3", Quiet))};
    for (char file = 'h'; file >= 'a'; --file) {
        const char from[3] = {file, '2', 0}, to[3] = {file, '4', 0};
        expected.push_back(E(-30000, M(from, to, Quiet)));
    }
    for (char file = 'h'; file >= 'a'; --file) {
        const char from[3] = {file, '2', 0}, to[3] = {file, '3', 0};
        expected.push_back(E(-30000, M(from, to, Quiet)));
    }
    ExpectList(All(), expected);
}

TEST(GenerateAll, CapturePromotionsFirstPushPromotionsAfterThePieces) {
    SetUpPosition("r3k3/1P6/8/8/8/8/8/4K2N w - -");
    const int rook = PieceValue[BlackRook];
    ExpectList(All(), {
                          E(rook - 9401, M("b7", "a8", CapturePromoteQueen)),
                          E(rook - 30005, M("b7", "a8", CapturePromoteKnight)),
                          E(rook - 30025, M("b7", "a8", CapturePromoteRook)),
                          E(rook - 30050, M("b7", "a8", CapturePromoteBishop)),
                          E(-30000, M("h1", "f2", Quiet)),
                          E(-30000, M("h1", "g3", Quiet)),
                          E(-9401, M("b7", "b8", PromoteQueen)),
                          E(-30005, M("b7", "b8", PromoteKnight)),
                          E(-30025, M("b7", "b8", PromoteRook)),
                          E(-30050, M("b7", "b8", PromoteBishop)),
                          E(-30000, M("e1", "f1", Quiet)),
                          E(-30000, M("e1", "d1", Quiet)),
                          E(-30000, M("e1", "f2", Quiet)),
                          E(-30000, M("e1", "e2", Quiet)),
                          E(-30000, M("e1", "d2", Quiet)),
                      });
}

TEST(GenerateAll, EnPassantByTheHFileSidePawnFirst) {
    SetUpPosition("4k3/8/8/3PpP2/8/8/8/4K3 w - e6");
    const List list = All();
    ASSERT_GE(list.size(), 2u);
    ExpectList(List(list.begin(), list.begin() + 2),
               {E(-9500, M("f5", "e6", EnPassant)), E(-9500, M("d5", "e6", EnPassant))});
}

TEST(GenerateAll, PawnCapturesTowardsTheAFileBeforeTheHFile) {
    // c4 takes b5 (towards a) and d5 (towards h); e4 takes d5 (towards a).
    SetUpPosition("4k3/8/8/1n1r4/2P1P3/8/8/4K3 w - -");
    const List list = All();
    ASSERT_GE(list.size(), 3u);
    ExpectList(List(list.begin(), list.begin() + 3), {
                                                         E(PieceValue[BlackRook] - 9600, M("e4", "d5", Capture)),
                                                         E(PieceValue[BlackKnight] - 9600, M("c4", "b5", Capture)),
                                                         E(PieceValue[BlackRook] - 9600, M("c4", "d5", Capture)),
                                                     });
}

// Ranks of the groups of GenerateAll: pawn captures, knights, queens, rooks,
// bishops, pawn pushes, king, castling.
int AllGroup(const MoveEntry& e) {
    if (IsCastling(e.move)) return 7;
    const int kind = (gamePosition.board.pieceOn[MoveFrom(e.move)] + 1) >> 1;
    const int moveKind = MoveKindOf(e.move);
    if (kind == 1) return moveKind == Capture || moveKind == EnPassant || moveKind >= CapturePromoteQueen ? 0 : 5;
    constexpr int groupOfKind[7] = {0, 0, 1, 4, 3, 2, 6};
    return groupOfKind[kind];
}

bool IsCaptureEntry(const MoveEntry& e) { return IsCaptureKind(MoveKindOf(e.move)) && !IsCastling(e.move); }

TEST(GenerateAll, GroupsPiecesAndCapturesBeforeQuietMoves) {
    const char* positions[] = {"r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq -",
                               "r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - -",
                               "rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ -"};
    for (const char* fen : positions) {
        SetUpPosition(fen);
        const List list = All();
        const SliderSets sliders{
            gamePosition.board.pieceBitboard[WhiteRook] | gamePosition.board.pieceBitboard[BlackRook] |
                gamePosition.board.pieceBitboard[WhiteQueen] | gamePosition.board.pieceBitboard[BlackQueen],
            gamePosition.board.pieceBitboard[WhiteBishop] | gamePosition.board.pieceBitboard[BlackBishop] |
                gamePosition.board.pieceBitboard[WhiteQueen] | gamePosition.board.pieceBitboard[BlackQueen]};
        for (size_t i = 0; i < list.size(); ++i) {
            SCOPED_TRACE(std::string(fen) + " " + Describe({list[i]}));
            if (i > 0) {
                EXPECT_LE(AllGroup(list[i - 1]), AllGroup(list[i]));
            }
            const int group = AllGroup(list[i]);
            if (group >= 1 && group <= 4) {
                const int from = MoveFrom(list[i].move), to = MoveTo(list[i].move);
                if (i > 0 && AllGroup(list[i - 1]) == group && MoveFrom(list[i - 1].move) != from) {
                    // Pieces in descending square order, each one's moves together.
                    EXPECT_GT(MoveFrom(list[i - 1].move), from);
                }
                if (i > 0 && MoveFrom(list[i - 1].move) == from && AllGroup(list[i - 1]) == group) {
                    EXPECT_FALSE(IsCaptureEntry(list[i]) && !IsCaptureEntry(list[i - 1]))
                        << "capture after a quiet move";
                }
                const int mover = gamePosition.board.pieceOn[from];
                if (IsCaptureEntry(list[i])) {
                    const int victim = gamePosition.board.pieceOn[to];
                    const int expected =
                        PieceValue[victim] >= PieceValue[mover] - 50
                            ? PieceValue[victim] - PieceValue[mover] - 9500
                            : ExchangeScore(gamePosition, mover, from, to, sliders.rookLike, sliders.bishopLike);
                    EXPECT_EQ(list[i].score, expected);
                } else {
                    EXPECT_EQ(list[i].score, -30000);
                }
            }
        }
    }
}

TEST(GenerateAll, CheapVictimUsesTheExchangeScore) {
    // The queen takes a pawn defended by a pawn: scored by the exchange and
    // kept in the full list.
    SetUpPosition("4k3/4p3/3p4/8/8/8/8/3QK3 w - -");
    const List list = All();
    const Bitboard rookLike = gamePosition.board.pieceBitboard[WhiteQueen];
    const Bitboard bishopLike = gamePosition.board.pieceBitboard[WhiteQueen];
    const int expected = ExchangeScore(gamePosition, WhiteQueen, Sq("d1"), Sq("d6"), rookLike, bishopLike);
    ASSERT_FALSE(list.empty());
    EXPECT_EQ(list[0].move, M("d1", "d6", Capture));
    EXPECT_EQ(list[0].score, expected);
    EXPECT_LT(expected, -30000);
}

TEST(GenerateAll, CastlingListedEvenThroughAttackedSquares) {
    SetUpPosition("r3k2r/8/8/8/8/8/5r2/R3K2R w KQkq -");
    const List list = All();
    ASSERT_GE(list.size(), 2u);
    ExpectList(List(list.end() - 2, list.end()), {E(-29000, CastleWhiteKingSide), E(-29500, CastleWhiteQueenSide)});
    SetUpPosition("r3k2r/8/8/8/8/8/5R2/R3K2R b KQkq -");
    const List black = All();
    ExpectList(List(black.end() - 2, black.end()), {E(-29000, CastleBlackKingSide), E(-29500, CastleBlackQueenSide)});
    // Occupied squares between king and rook stop it; b1 counts on the queen side.
    SetUpPosition("4k3/8/8/8/8/8/8/RN2K1NR w KQ -");
    for (const MoveEntry& e : All()) EXPECT_FALSE(IsCastling(e.move)) << Describe({e});
}

TEST(GenerateAll, NoKingMoveBesideTheEnemyKing) {
    SetUpPosition("8/8/8/3k4/8/3K4/8/8 w - -");
    ExpectList(All(),
               {E(-30000, M("d3", "e2", Quiet)), E(-30000, M("d3", "d2", Quiet)), E(-30000, M("d3", "c2", Quiet)),
                E(-30000, M("d3", "e3", Quiet)), E(-30000, M("d3", "c3", Quiet))});
}

TEST(GenerateAll, KingCaptureOfADefendedPieceIsDropped) {
    // d2 is defended by the bishop, e2 is not.
    SetUpPosition("4k3/8/8/8/1b6/8/3nn3/4K3 w - -");
    bool takesD2 = false, takesE2 = false;
    for (const MoveEntry& e : All()) {
        takesD2 |= e.move == M("e1", "d2", Capture);
        takesE2 |= e.move == M("e1", "e2", Capture);
    }
    EXPECT_FALSE(takesD2);
    EXPECT_TRUE(takesE2);
}

TEST(GenerateAll, CaptureOfTheEnemyKingIsListedWithItsValue) {
    // Reachable only after an illegal move; the quiescence search looks for it.
    SetUpPosition("4k3/3P4/8/8/8/8/8/4RK2 w - -");
    const List list = All();
    ASSERT_GE(list.size(), 2u);
    EXPECT_EQ(list[0].move, M("d7", "e8", CapturePromoteQueen));
    EXPECT_EQ(list[0].score, PieceValue[BlackKing] - 9401);
    bool rookTakes = false;
    for (const MoveEntry& e : list)
        if (e.move == M("e1", "e8", Capture)) {
            rookTakes = true;
            EXPECT_EQ(e.score, PieceValue[BlackKing] - PieceValue[WhiteRook] - 9500);
        }
    EXPECT_TRUE(rookTakes);
}

TEST(GenerateAll, BlackListIsTheMirrorOfWhite) {
    // Positions whose captures all use the victim-minus-attacker rule, so the
    // scores do not depend on the piece-square tables.
    ExpectBlackMirrorsWhite({InitialFen, "r3k2r/1P6/8/8/8/8/8/R3K2R w KQkq -", "4k3/8/8/3PpP2/8/8/8/4K3 w - e6",
                             "4k3/8/8/1n1r4/2P1P3/8/8/4K3 w - -", "2r1k3/1P6/8/8/3q4/2N5/8/4K3 w - -"},
                            All);
}

// ----------------------------------------------------------- GenerateCaptures

TEST(GenerateCaptures, LosingQueenCaptureLeftOutWinningPawnCaptureKept) {
    SetUpPosition("4k3/4p3/p2p4/1q6/2P5/8/8/3QK3 w - -");
    ExpectList(Captures(), {E(PieceValue[BlackQueen] - 9600, M("c4", "b5", Capture))});
}

TEST(GenerateCaptures, QueenPromotionByPushOnlyWhenItSurvives) {
    // b8 is covered by the rook on a8... which b7 also attacks: the capture
    // promotions come first, the push to b8 is left out.
    SetUpPosition("r3k3/1P6/8/8/8/8/8/4K3 w - -");
    const Bitboard rookLike = gamePosition.board.pieceBitboard[BlackRook];
    const int pushScore = ExchangeScore(gamePosition, WhitePawn, Sq("b7"), Sq("b8"), rookLike, 0);
    EXPECT_LT(pushScore, -10000);
    const int rook = PieceValue[BlackRook];
    ExpectList(
        Captures(),
        {E(rook - 9401, M("b7", "a8", CapturePromoteQueen)), E(rook - 30005, M("b7", "a8", CapturePromoteKnight)),
         E(rook - 30025, M("b7", "a8", CapturePromoteRook)), E(rook - 30050, M("b7", "a8", CapturePromoteBishop))});
    // Unguarded b8: the queen promotion is kept with its exchange score, and
    // no under-promotion by push.
    SetUpPosition("4k3/1P6/8/8/8/8/8/4K3 w - -");
    const int freeScore = ExchangeScore(gamePosition, WhitePawn, Sq("b7"), Sq("b8"), 0, 0);
    ExpectList(Captures(), {E(freeScore, M("b7", "b8", PromoteQueen))});
}

// Ranks of the groups of GenerateCaptures: pawn captures, queen promotions
// by push, knights, bishops, rooks, queens, king.
int CaptureGroup(const MoveEntry& e) {
    const int kind = (gamePosition.board.pieceOn[MoveFrom(e.move)] + 1) >> 1;
    if (kind == 1) return MoveKindOf(e.move) == PromoteQueen ? 1 : 0;
    return kind;
}

TEST(GenerateCaptures, TheKeptCapturesOfTheFullListInTheirOwnOrder) {
    const char* positions[] = {"r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq -",
                               "r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - -",
                               "r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 b kq -",
                               "n1n5/PPPk4/8/8/8/8/4Kppp/5N1N w - -"};
    for (const char* fen : positions) {
        SetUpPosition(fen);
        const List captures = Captures();
        const List all = All();
        // Every capture of the full list that scores at least -10000 (all
        // pawn captures), and nothing else but safe queen promotions.
        size_t keptFromAll = 0;
        for (const MoveEntry& e : all) {
            if (!IsCaptureEntry(e)) continue;
            const bool pawn = (gamePosition.board.pieceOn[MoveFrom(e.move)] + 1) >> 1 == 1;
            if (!pawn && e.score < -10000) continue;
            ++keptFromAll;
            bool found = false;
            for (const MoveEntry& c : captures) found |= c.move == e.move && c.score == e.score;
            EXPECT_TRUE(found) << fen << " " << Describe({e});
        }
        size_t promotions = 0;
        for (size_t i = 0; i < captures.size(); ++i) {
            SCOPED_TRACE(std::string(fen) + " " + Describe({captures[i]}));
            if (MoveKindOf(captures[i].move) == PromoteQueen) {
                ++promotions;
            } else {
                EXPECT_TRUE(IsCaptureEntry(captures[i]));
            }
            if (i > 0) {
                EXPECT_LE(CaptureGroup(captures[i - 1]), CaptureGroup(captures[i]));
            }
            if (CaptureGroup(captures[i]) > 0) {
                EXPECT_GE(captures[i].score, -10000);
            }
        }
        EXPECT_EQ(captures.size(), keptFromAll + promotions) << fen;
    }
}

TEST(GenerateCaptures, NoQuietMovesNoCastling) {
    SetUpPosition("r3k2r/p6p/8/8/8/8/P6P/R3K2R w KQkq -");
    EXPECT_TRUE(Captures().empty());
    SetUpPosition(InitialFen);
    EXPECT_TRUE(Captures().empty());
}

// ------------------------------------------------------------ ComputeCheckers

TEST(ComputeCheckers, FindsEveryKindOfChecker) {
    SetUpPosition(InitialFen);
    ComputeCheckers(gamePosition, check);
    EXPECT_EQ(check.checkers, 0u);
    // Rook along the file: the line sets come from the king's rank and file.
    SetUpPosition("4r1k1/8/8/8/8/8/8/4K3 w - -");
    ComputeCheckers(gamePosition, check);
    EXPECT_EQ(check.checkers, SquareMask[Sq("e8")]);
    EXPECT_EQ(check.rookLinesFromKing, RookAttacksFrom(gamePosition.board, Sq("e1")));
    // Bishop on the diagonal with a rook on the rank that gives no check: the
    // rook lines are cleared.
    SetUpPosition("6k1/8/8/8/1b6/8/8/r2PK3 w - -");
    ComputeCheckers(gamePosition, check);
    EXPECT_EQ(check.checkers, SquareMask[Sq("b4")]);
    EXPECT_EQ(check.rookLinesFromKing, 0u);
    EXPECT_EQ(check.bishopLinesFromKing, BishopAttacksFrom(gamePosition.board, Sq("e1")));
    // Knight and pawn; for black the white pawn below.
    SetUpPosition("6k1/8/8/8/8/3n4/5p2/4K3 w - -");
    ComputeCheckers(gamePosition, check);
    EXPECT_EQ(check.checkers, SquareMask[Sq("d3")] | SquareMask[Sq("f2")]);
    SetUpPosition("8/8/8/8/8/8/3k4/2P3K1 b - -");
    ComputeCheckers(gamePosition, check);
    EXPECT_EQ(check.checkers, SquareMask[Sq("c1")]);
    // The enemy king is never a checker: kings side by side make no playable
    // position.
    SetUpPosition("8/8/8/8/8/8/3k4/4K3 w - -");
    EXPECT_FALSE(PositionPlayable(gamePosition));
    ComputeCheckers(gamePosition, check);
    EXPECT_EQ(check.checkers, 0u);
}

// ----------------------------------------------------------- GenerateEvasions

TEST(GenerateEvasions, EnPassantByTheAFileSidePawnFirst) {
    // The pawn that has just stepped to e5 checks the king on f4.
    SetUpPosition("4k3/8/8/3PpP2/5K2/8/8/8 w - e6");
    const Bitboard rookLike = 0, bishopLike = 0;
    const int kingTakes = ExchangeScore(gamePosition, WhiteKing, Sq("f4"), Sq("e5"), rookLike, bishopLike);
    ExpectList(
        Evasions(),
        {E(-9500, M("d5", "e6", EnPassant)), E(-9500, M("f5", "e6", EnPassant)), E(kingTakes, M("f4", "e5", Capture)),
         E(-30000, M("f4", "g3", Quiet)), E(-30000, M("f4", "f3", Quiet)), E(-30000, M("f4", "e3", Quiet)),
         E(-30000, M("f4", "g4", Quiet)), E(-30000, M("f4", "e4", Quiet)), E(-30000, M("f4", "g5", Quiet))});
}

TEST(GenerateEvasions, PawnCapturesOfTheCheckerAFileSideFirst) {
    // Knight d3 checks e1; pawns c2 and e2 take it; the knight's square is
    // no rank 8 square, so one capture each.
    SetUpPosition("4k3/8/8/8/8/3n4/2P1P3/4K3 w - -");
    const List list = Evasions();
    const int score = PieceValue[BlackKnight] - 9600;
    ASSERT_GE(list.size(), 2u);
    ExpectList(List(list.begin(), list.begin() + 2),
               {E(score, M("c2", "d3", Capture)), E(score, M("e2", "d3", Capture))});
    // On rank 8 each capture is four promotions (knight e8 checks g7).
    SetUpPosition("4n3/3P1PK1/8/8/8/8/8/4k3 w - -");
    const List promo = Evasions();
    const int v = PieceValue[BlackKnight];
    ASSERT_GE(promo.size(), 8u);
    ExpectList(List(promo.begin(), promo.begin() + 8),
               {E(v - 9401, M("d7", "e8", CapturePromoteQueen)), E(v - 30005, M("d7", "e8", CapturePromoteKnight)),
                E(v - 30025, M("d7", "e8", CapturePromoteRook)), E(v - 30050, M("d7", "e8", CapturePromoteBishop)),
                E(v - 9401, M("f7", "e8", CapturePromoteQueen)), E(v - 30005, M("f7", "e8", CapturePromoteKnight)),
                E(v - 30025, M("f7", "e8", CapturePromoteRook)), E(v - 30050, M("f7", "e8", CapturePromoteBishop))});
}

TEST(GenerateEvasions, DoubleCheckOnlyKingMoves) {
    // Rook h1 and knight d3 both check; the rook on h8 could take h1 but
    // in double check only the king moves.
    SetUpPosition("4k2R/8/8/8/8/3n4/8/4K2r w - -");
    ExpectList(Evasions(),
               {E(-30000, M("e1", "f1", Quiet)), E(-30000, M("e1", "d1", Quiet)), E(-30000, M("e1", "f2", Quiet)),
                E(-30000, M("e1", "e2", Quiet)), E(-30000, M("e1", "d2", Quiet))});
}

TEST(GenerateEvasions, KnightCheckCapturesAndKingMovesOnly) {
    SetUpPosition("4k3/8/8/8/8/5n2/8/R3K2B w - -");
    ExpectList(Evasions(), {E(PieceValue[BlackKnight] - 9825, M("h1", "f3", Capture)), E(-30000, M("e1", "f1", Quiet)),
                            E(-30000, M("e1", "d1", Quiet)), E(-30000, M("e1", "f2", Quiet)),
                            E(-30000, M("e1", "e2", Quiet)), E(-30000, M("e1", "d2", Quiet))});
}

TEST(GenerateEvasions, SliderCheckCapturesThenInterpositionsByKind) {
    // Rook a5 checks e5 along the rank: blocking squares b5, c5, d5.
    SetUpPosition("4k3/8/8/r3K3/8/1N3B2/2P5/Q2R4 w - -");
    const int checker = PieceValue[BlackRook];
    ExpectList(Evasions(), {
                               E(checker - 9820, M("b3", "a5", Capture)),   // knight takes
                               E(-30320, M("b3", "c5", Quiet)),             // knight blocks
                               E(-30325, M("f3", "d5", Quiet)),             // bishop blocks
                               E(-30500, M("d1", "d5", Quiet)),             // rook blocks
                               E(checker - 10450, M("a1", "a5", Capture)),  // queen takes
                               E(-30000, M("e5", "f4", Quiet)),             // king, off the rank
                               E(-30000, M("e5", "e4", Quiet)),
                               E(-30000, M("e5", "d4", Quiet)),
                               E(-30000, M("e5", "f5", Quiet)),
                               E(-30000, M("e5", "f6", Quiet)),
                               E(-30000, M("e5", "e6", Quiet)),
                               E(-30000, M("e5", "d6", Quiet)),
                           });
    // A diagonal check: blocking squares from the bishop lines.
    SetUpPosition("4k3/8/8/8/7b/8/4N3/3RK3 w - -");
    ExpectList(Evasions(),
               {E(-30320, M("e2", "g3", Quiet)), E(-30000, M("e1", "f1", Quiet)), E(-30000, M("e1", "d2", Quiet))});
}

TEST(GenerateEvasions, PawnInterpositionsDoubleStepsThenPromotionsThenSingles) {
    // Bishop h4 checks e1 along h4-g3-f2-e1: blocking squares g3 and f2.
    SetUpPosition("4k3/8/8/8/7b/8/6P1/4K3 w - -");
    ExpectList(Evasions(),
               {E(-30000, M("g2", "g3", Quiet)), E(-30000, M("e1", "f1", Quiet)), E(-30000, M("e1", "d1", Quiet)),
                E(-30000, M("e1", "e2", Quiet)), E(-30000, M("e1", "d2", Quiet))});
    // Rook a4 checking h4 along rank 4: c2-c4 (double step) and d3-d4 block.
    SetUpPosition("4k3/8/8/8/r6K/3P4/2P5/8 w - -");
    const List pawns = Evasions();
    ASSERT_GE(pawns.size(), 2u);
    ExpectList(List(pawns.begin(), pawns.begin() + 2),
               {E(-30000, M("c2", "c4", Quiet)), E(-30000, M("d3", "d4", Quiet))});
    // A promotion onto a blocking square: rook a8 checks h8, pawn c7 blocks on c8.
    SetUpPosition("r6K/2P5/8/8/8/8/8/4k3 w - -");
    const List promo = Evasions();
    ASSERT_GE(promo.size(), 4u);
    ExpectList(List(promo.begin(), promo.begin() + 4),
               {E(-9401, M("c7", "c8", PromoteQueen)), E(-30005, M("c7", "c8", PromoteKnight)),
                E(-30025, M("c7", "c8", PromoteRook)), E(-30050, M("c7", "c8", PromoteBishop))});
}

TEST(GenerateEvasions, NoKingMoveBesideTheEnemyKingNorOntoTheCheckLine) {
    SetUpPosition("8/8/8/3k4/8/3K4/8/3r4 w - -");
    ExpectList(Evasions(), {E(-30000, M("d3", "e2", Quiet)), E(-30000, M("d3", "c2", Quiet)),
                            E(-30000, M("d3", "e3", Quiet)), E(-30000, M("d3", "c3", Quiet))});
}

TEST(GenerateEvasions, BlackIsTheMirrorOfWhite) {
    // (The king capture's exchange score reads unmirrored piece-square
    // tables, so the checking pawn is defended here and the capture dropped.)
    ExpectBlackMirrorsWhite({"4k3/8/3p4/3PpP2/5K2/8/8/8 w - e6", "4k2R/8/8/8/8/3n4/8/4K2r w - -",
                             "4n3/3P1PK1/8/8/8/8/8/4k3 w - -", "4k3/8/8/8/r6K/3P4/2P5/8 w - -"},
                            Evasions);
}

// ------------------------------------------------------------- IsKingAttacked

// Makes m and reports the legality test.
bool AttackedAfter(Move m) {
    UndoRecord undo;
    SaveForMake(gamePosition, undo);
    const int mover = gamePosition.sideToMove;
    MakeMove(gamePosition, m, undo);
    const bool attacked = IsKingAttacked(gamePosition, m, mover);
    UnmakeMove(gamePosition, m, undo);
    return attacked;
}

TEST(IsKingAttacked, EveryAttackerKind) {
    SetUpPosition("4k3/8/8/8/8/8/8/4K3 w - -");
    EXPECT_FALSE(AttackedAfter(M("e1", "d1", Quiet)));
    SetUpPosition("4k3/8/8/8/8/2n5/8/4K3 w - -");  // knight covers d1
    EXPECT_TRUE(AttackedAfter(M("e1", "d1", Quiet)));
    SetUpPosition("4k3/8/8/8/8/8/4p3/4K3 w - -");  // pawn e2 covers d1
    EXPECT_TRUE(AttackedAfter(M("e1", "d1", Quiet)));
    SetUpPosition("3rk3/8/8/8/8/8/8/4K3 w - -");  // rook on the d-file
    EXPECT_TRUE(AttackedAfter(M("e1", "d1", Quiet)));
    SetUpPosition("4k3/8/8/8/7b/8/8/4K3 w - -");  // bishop h4 covers g3, f2, e1
    EXPECT_FALSE(AttackedAfter(M("e1", "f1", Quiet)));
    EXPECT_FALSE(AttackedAfter(M("e1", "e2", Quiet)));
    EXPECT_TRUE(AttackedAfter(M("e1", "f2", Quiet)));
    SetUpPosition("4k3/8/8/8/8/8/8/q3K3 w - -");  // queen along the rank
    EXPECT_TRUE(AttackedAfter(M("e1", "d1", Quiet)));
    EXPECT_FALSE(AttackedAfter(M("e1", "d2", Quiet)));
    SetUpPosition("4k3/8/8/8/8/8/8/4K2q w - -");  // behind the king along the rank
    EXPECT_TRUE(AttackedAfter(M("e1", "d1", Quiet)));
}

TEST(IsKingAttacked, PinnedPieceAndEnPassantRankPin) {
    SetUpPosition("4k3/4r3/8/8/8/8/4R3/4K3 w - -");
    EXPECT_TRUE(AttackedAfter(M("e2", "d2", Quiet)));
    EXPECT_FALSE(AttackedAfter(M("e2", "e5", Quiet)));
    // b5xc6 en passant empties the fifth rank between a5 and h5.
    SetUpPosition("8/8/8/KPp4r/8/8/8/7k w - c6");
    EXPECT_TRUE(AttackedAfter(M("b5", "c6", EnPassant)));
    EXPECT_FALSE(AttackedAfter(M("b5", "b6", Quiet)));
}

TEST(IsKingAttacked, CastlingOutOfThroughAndIntoCheck) {
    // Through f1.
    SetUpPosition("4kr2/8/8/8/8/8/8/4K2R w K -");
    EXPECT_TRUE(AttackedAfter(CastleWhiteKingSide));
    // Out of check (the king's origin is attacked).
    SetUpPosition("4r1k1/8/8/8/8/8/8/4K2R w K -");
    EXPECT_TRUE(AttackedAfter(CastleWhiteKingSide));
    // Into check on g1.
    SetUpPosition("6rk/8/8/8/8/8/8/4K2R w K -");
    EXPECT_TRUE(AttackedAfter(CastleWhiteKingSide));
    // b1 attacked does not matter on the queen side; d1 does.
    SetUpPosition("1r2k3/8/8/8/8/8/8/R3K3 w Q -");
    EXPECT_FALSE(AttackedAfter(CastleWhiteQueenSide));
    SetUpPosition("3rk3/8/8/8/8/8/8/R3K3 w Q -");
    EXPECT_TRUE(AttackedAfter(CastleWhiteQueenSide));
    // The enemy king beside the crossed square or the destination.
    SetUpPosition("8/8/8/8/8/8/6k1/4K2R w K -");
    EXPECT_TRUE(AttackedAfter(CastleWhiteKingSide));
    SetUpPosition("8/8/8/8/8/8/1k6/R3K3 w Q -");
    EXPECT_TRUE(AttackedAfter(CastleWhiteQueenSide));
    // Black, both wings, free and through an attacked square.
    SetUpPosition("r3k2r/8/8/8/8/8/8/4K3 b kq -");
    EXPECT_FALSE(AttackedAfter(CastleBlackKingSide));
    EXPECT_FALSE(AttackedAfter(CastleBlackQueenSide));
    SetUpPosition("r3k2r/8/8/8/8/8/8/3RKR2 b kq -");
    EXPECT_TRUE(AttackedAfter(CastleBlackKingSide));
    EXPECT_TRUE(AttackedAfter(CastleBlackQueenSide));
    SetUpPosition("r3k2r/6K1/8/8/8/8/8/8 b kq -");
    EXPECT_TRUE(AttackedAfter(CastleBlackKingSide));
    EXPECT_FALSE(AttackedAfter(CastleBlackQueenSide));
}

TEST(Generators, BoardWithoutBothKingsGeneratesNothing) {
    SetUpPosition("8/8/8/8/8/8/PPPPPPPP/RNBQ1BNR w - -");
    ASSERT_FALSE(gamePosition.playable);
    EXPECT_EQ(GenerateAll(gamePosition, scratchMoves), scratchMoves);
    EXPECT_EQ(GenerateCaptures(gamePosition, scratchMoves), scratchMoves);
    ComputeCheckers(gamePosition, check);
    EXPECT_EQ(check.checkers, 0u);
    EXPECT_EQ(GenerateEvasions(gamePosition, scratchMoves, check), scratchMoves);
}

TEST(Generators, ListLengthStaysWithinTheCapacity) {
    // Many queens: the pseudo-legal list stays below the room callers keep.
    SetUpPosition("3Q4/1Q4Q1/4Q3/2Q4Q/Q4Q2/pp1Q4/kBNN1KB1/8 w - -");
    const List list = All();
    EXPECT_GT(list.size(), 150u);
    EXPECT_LE(list.size(), static_cast<size_t>(MaxGeneratedMoves));
}

}  // namespace
}  // namespace kavrin
