// Make and unmake: every move kind restores the Board and the history
// pointer; the incremental keys, rights, counters and material; the null
// move; the draw tests; the refusal of marker words.
#include "board/makemove.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "board/board.h"
#include "board/fen.h"
#include "board/poscheck.h"
#include "board/zobrist.h"
#include "search/game.h"
#include "support/board_setup.h"
#include "support/test_engine.h"

namespace kavrin {
namespace {

using test::SetUpPosition;

using test::ExpectSameBoard;
using test::M;
using test::Sq;

void ExpectConsistent() {
    const char* why = nullptr;
    EXPECT_TRUE(CheckPosition(gamePosition, &why)) << (why ? why : "");
}

// What the last move made here needs to be taken back.
UndoRecord lastUndo;

// A game move: made with lastUndo and never taken back.
void Play(Move m) {
    SaveForMake(gamePosition, lastUndo);
    MakeMove(gamePosition, m, lastUndo);
    ExpectConsistent();
}

struct MoveCase {
    const char* fen;
    Move move;
};

TEST(MakeUnmake, EveryMoveKindRestoresTheBoardAndHistory) {
    const std::vector<MoveCase> cases = {
        {InitialFen, M("g1", "f3", Quiet)},
        {InitialFen, M("e2", "e3", Quiet)},
        {InitialFen, M("e2", "e4", Quiet)},
        {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR b KQkq -", M("d7", "d5", Quiet)},
        {"4k3/8/8/3p4/4P3/8/8/4K3 w - -", M("e4", "d5", Capture)},
        {"4k3/8/8/3p4/4N3/8/8/4K3 w - -", M("e4", "d5", Capture)},
        {"4k3/8/3n4/8/4Q3/8/8/4K3 b - -", M("d6", "e4", Capture)},
        {"r3k2r/8/8/8/8/8/8/R3K2R w KQkq -", M("a1", "a8", Capture)},
        {"r3k2r/8/8/8/8/8/8/R3K2R b KQkq -", M("h8", "h1", Capture)},
        {"4k3/8/8/3Pp3/8/8/8/4K3 w - e6", M("d5", "e6", EnPassant)},
        {"4k3/8/8/8/3pP3/8/8/4K3 b - e3", M("d4", "e3", EnPassant)},
        {"4k3/1P6/8/8/8/8/8/4K3 w - -", M("b7", "b8", PromoteQueen)},
        {"4k3/1P6/8/8/8/8/8/4K3 w - -", M("b7", "b8", PromoteKnight)},
        {"4k3/1P6/8/8/8/8/8/4K3 w - -", M("b7", "b8", PromoteRook)},
        {"4k3/1P6/8/8/8/8/8/4K3 w - -", M("b7", "b8", PromoteBishop)},
        {"r3k3/1P6/8/8/8/8/8/4K3 w q -", M("b7", "a8", CapturePromoteQueen)},
        {"r3k3/1P6/8/8/8/8/8/4K3 w q -", M("b7", "a8", CapturePromoteKnight)},
        {"r3k3/1P6/8/8/8/8/8/4K3 w q -", M("b7", "a8", CapturePromoteRook)},
        {"r3k3/1P6/8/8/8/8/8/4K3 w q -", M("b7", "a8", CapturePromoteBishop)},
        {"4k3/8/8/8/8/8/1p6/R3K3 b Q -", M("b2", "b1", PromoteQueen)},
        {"4k3/8/8/8/8/8/1p6/R3K3 b Q -", M("b2", "a1", CapturePromoteKnight)},
        {"1n2k3/P7/8/8/8/8/8/4K3 w - -", M("a7", "b8", CapturePromoteQueen)},
        {"p3k3/1P6/8/8/8/8/8/4K3 w - -", M("b7", "a8", CapturePromoteQueen)},  // a pawn on the last rank
        {"r3k2r/8/8/8/8/8/8/R3K2R w KQkq -", CastleWhiteKingSide},
        {"r3k2r/8/8/8/8/8/8/R3K2R w KQkq -", CastleWhiteQueenSide},
        {"r3k2r/8/8/8/8/8/8/R3K2R b KQkq -", CastleBlackKingSide},
        {"r3k2r/8/8/8/8/8/8/R3K2R b KQkq -", CastleBlackQueenSide},
        {"r3k2r/8/8/8/8/8/8/R3K2R w KQkq -", M("e1", "e2", Quiet)},
        {"r3k2r/8/8/8/8/8/8/R3K2R w KQkq -", M("h1", "h5", Quiet)},
        {"r3k2r/8/8/8/8/8/8/R3K2R b KQkq -", M("a8", "a3", Quiet)},
        {"r3k2r/8/8/8/8/8/8/R3K2R b KQkq -", M("e8", "d8", Quiet)},
        {"4k3/8/8/8/8/8/4r3/4K3 w - -", M("e1", "e2", Capture)},
    };
    for (const MoveCase& c : cases) {
        SetUpPosition(c.fen);
        SCOPED_TRACE(std::string(c.fen) + " move " + std::to_string(c.move));
        UndoRecord undo;
        SaveForMake(gamePosition, undo);
        const Board before = gamePosition.board;
        const int side = gamePosition.sideToMove;
        HistoryEntry* const top = gamePosition.historyTop;
        MakeMove(gamePosition, c.move, undo);
        ExpectConsistent();
        EXPECT_EQ(gamePosition.historyTop, top + 1);
        EXPECT_EQ(top->move, c.move);
        EXPECT_EQ(gamePosition.historyTop->hashKey, gamePosition.board.hashKey);
        EXPECT_EQ(gamePosition.sideToMove, side ^ 1);
        EXPECT_NE(gamePosition.board.hashKey, before.hashKey);
        UnmakeMove(gamePosition, c.move, undo);
        ExpectConsistent();
        ExpectSameBoard(gamePosition.board, before);
        EXPECT_EQ(gamePosition.sideToMove, side);
        EXPECT_EQ(gamePosition.historyTop, top);
    }
}

TEST(MakeMove, WhiteCastlesKingSide) {
    SetUpPosition("r3k2r/8/8/8/8/8/8/R3K2R w KQkq -");
    const uint64_t before = gamePosition.board.hashKey;
    Play(CastleWhiteKingSide);
    EXPECT_EQ(gamePosition.board.castling, 0x18);
    EXPECT_EQ(gamePosition.board.kingSquare[White], 62);
    EXPECT_EQ(gamePosition.board.pieceOn[Sq("f1")], WhiteRook);
    EXPECT_EQ(gamePosition.board.pieceOn[Sq("h1")], Empty);
    EXPECT_EQ(gamePosition.board.pieceOn[Sq("e1")], Empty);
    EXPECT_EQ(gamePosition.board.pieceOn[Sq("g1")], WhiteKing);
    // Only the queen-side right's key is toggled.
    EXPECT_EQ(gamePosition.board.hashKey, before ^ ZobristKeys[WhiteKing][60] ^ ZobristKeys[WhiteKing][62] ^
                                              ZobristKeys[WhiteRook][63] ^ ZobristKeys[WhiteRook][61] ^
                                              CastlingKey(CastleWhiteQueenFlag));
    EXPECT_EQ(gamePosition.historyTop->fiftyCounter, 0);
}

TEST(MakeMove, BlackCastlesQueenSideWithoutTheOtherRight) {
    SetUpPosition("r3k3/8/8/8/8/8/8/4K3 b q -");
    const uint64_t before = gamePosition.board.hashKey;
    Play(CastleBlackQueenSide);
    EXPECT_EQ(gamePosition.board.castling, 0);
    EXPECT_EQ(gamePosition.board.kingSquare[Black], 2);
    EXPECT_EQ(gamePosition.board.pieceOn[Sq("d8")], BlackRook);
    EXPECT_EQ(gamePosition.board.hashKey, before ^ ZobristKeys[BlackKing][4] ^ ZobristKeys[BlackKing][2] ^
                                              ZobristKeys[BlackRook][0] ^ ZobristKeys[BlackRook][3]);
}

TEST(MakeMove, CaptureOnACornerClearsItsRight) {
    SetUpPosition("4k3/8/8/8/8/8/6b1/4K2R b K -");
    const uint64_t before = gamePosition.board.hashKey;
    Play(M("g2", "h1", Capture));
    EXPECT_EQ(gamePosition.board.castling, 0);
    EXPECT_EQ(gamePosition.board.hashKey, before ^ ZobristKeys[BlackBishop][54] ^ ZobristKeys[BlackBishop][63] ^
                                              ZobristKeys[WhiteRook][63] ^ CastlingKey(CastleWhiteKingFlag));
    EXPECT_EQ(lastUndo.capturedPiece, WhiteRook);
    EXPECT_EQ(lastUndo.materialDelta, -5);
    // With the right already gone nothing but the pieces changes.
    SetUpPosition("4k3/8/8/8/8/8/6b1/4K2R b - -");
    const uint64_t without = gamePosition.board.hashKey;
    Play(M("g2", "h1", Capture));
    EXPECT_EQ(gamePosition.board.castling, 0);
    EXPECT_EQ(gamePosition.board.hashKey,
              without ^ ZobristKeys[BlackBishop][54] ^ ZobristKeys[BlackBishop][63] ^ ZobristKeys[WhiteRook][63]);
}

TEST(MakeMove, RookAndKingMovesClearTheirRights) {
    SetUpPosition("r3k2r/8/8/8/8/8/8/R3K2R w KQkq -");
    uint64_t key = gamePosition.board.hashKey;
    Play(M("h1", "h4", Quiet));
    EXPECT_EQ(gamePosition.board.castling, 0x1A);
    key ^= ZobristKeys[WhiteRook][63] ^ ZobristKeys[WhiteRook][Sq("h4")] ^ CastlingKey(CastleWhiteKingFlag);
    EXPECT_EQ(gamePosition.board.hashKey, key);
    Play(M("e8", "f8", Quiet));
    EXPECT_EQ(gamePosition.board.castling, 0x02);
    key ^= ZobristKeys[BlackKing][4] ^ ZobristKeys[BlackKing][5] ^ CastlingKey(CastleBlackKingFlag) ^
           CastlingKey(CastleBlackQueenFlag);
    EXPECT_EQ(gamePosition.board.hashKey, key);
    EXPECT_EQ(gamePosition.historyTop->fiftyCounter, 2);
}

TEST(MakeMove, KingAwayAndBackDiffersByBothCastlingKeys) {
    SetUpPosition("4k3/8/8/8/8/8/8/R3K2R w KQ -");
    const uint64_t start = gamePosition.board.hashKey;
    Play(M("e1", "e2", Quiet));
    Play(M("e8", "d8", Quiet));
    Play(M("e2", "e1", Quiet));
    Play(M("d8", "e8", Quiet));
    EXPECT_EQ(gamePosition.board.hashKey, start ^ CastlingKey(CastleWhiteKingFlag) ^ CastlingKey(CastleWhiteQueenFlag));
}

TEST(MakeMove, DoublePushTogglesTheEnPassantKeyAndAnyReplyRemovesIt) {
    SetUpPosition(InitialFen);
    const uint64_t startKey = gamePosition.board.hashKey;
    const uint32_t startPawns = gamePosition.board.pawnKey;
    Play(M("e2", "e4", Quiet));
    EXPECT_EQ(gamePosition.board.epSquare, 44);
    EXPECT_EQ(gamePosition.historyTop->fiftyCounter, 0);
    const uint64_t pawnMove = ZobristKeys[WhitePawn][52] ^ ZobristKeys[WhitePawn][36];
    EXPECT_EQ(gamePosition.board.hashKey, startKey ^ pawnMove ^ ZobristKeys[0][44]);
    EXPECT_EQ(gamePosition.board.pawnKey, startPawns ^ LowHalf(pawnMove ^ ZobristKeys[0][44]));
    const uint64_t afterPush = gamePosition.board.hashKey;
    Play(M("g8", "f6", Quiet));
    EXPECT_EQ(gamePosition.board.epSquare, 0);
    EXPECT_EQ(gamePosition.historyTop->fiftyCounter, 1);
    EXPECT_EQ(gamePosition.board.hashKey,
              afterPush ^ ZobristKeys[0][44] ^ ZobristKeys[BlackKnight][6] ^ ZobristKeys[BlackKnight][21]);
    EXPECT_EQ(gamePosition.board.pawnKey, startPawns ^ LowHalf(pawnMove));
}

TEST(MakeMove, EnPassantRemovesThePawnBehind) {
    SetUpPosition("4k3/8/8/3Pp3/8/8/8/4K3 w - e6");
    Play(M("d5", "e6", EnPassant));
    EXPECT_EQ(gamePosition.board.pieceOn[Sq("e5")], Empty);
    EXPECT_EQ(gamePosition.board.pieceOn[Sq("e6")], WhitePawn);
    EXPECT_EQ(gamePosition.board.pawnCount[Black], 0);
    EXPECT_EQ(gamePosition.board.totalMaterial, 1);
    EXPECT_EQ(lastUndo.capturedPiece, BlackPawn);
    EXPECT_EQ(gamePosition.historyTop->fiftyCounter, 0);
}

TEST(MakeMove, PromotionMaterial) {
    SetUpPosition("r3k3/1P6/8/8/8/8/8/4K3 w - -");
    Play(M("b7", "a8", CapturePromoteQueen));
    EXPECT_EQ(lastUndo.materialDelta, 9 - 1 - 5);
    EXPECT_EQ(lastUndo.capturedPiece, BlackRook);
    EXPECT_EQ(gamePosition.board.totalMaterial, 9);
    EXPECT_EQ(gamePosition.board.nonPawnMaterial[White], 9);
    EXPECT_EQ(gamePosition.board.nonPawnMaterial[Black], 0);
    EXPECT_EQ(gamePosition.board.pawnCount[White], 0);
    SetUpPosition("4k3/1P6/8/8/8/8/8/4K3 w - -");
    Play(M("b7", "b8", PromoteKnight));
    EXPECT_EQ(lastUndo.materialDelta, 2);
    EXPECT_EQ(gamePosition.board.pieceOn[Sq("b8")], WhiteKnight);
}

TEST(MakeMove, MarkerWordIsRefusedAndTheBoardUntouched) {
    SetUpPosition(InitialFen);
    SaveForMake(gamePosition, lastUndo);
#ifdef NDEBUG
    const Board before = gamePosition.board;
    HistoryEntry* const top = gamePosition.historyTop;
    for (Move marker : {ResultCheckmated, ResultRepetition, NullMoveMarker, ResultInsufficientMaterial}) {
        testing::internal::CaptureStderr();
        MakeMove(gamePosition, marker, lastUndo);
        UnmakeMove(gamePosition, marker, lastUndo);
        const std::string message = testing::internal::GetCapturedStderr();
        EXPECT_NE(message.find("result marker"), std::string::npos) << message;
        ExpectSameBoard(gamePosition.board, before);
        EXPECT_EQ(gamePosition.historyTop, top);
        EXPECT_EQ(gamePosition.sideToMove, White);
        EXPECT_EQ(top->move, 0);
    }
#else
    EXPECT_DEATH(MakeMove(gamePosition, ResultRepetition, lastUndo), "result marker");
    EXPECT_DEATH(UnmakeMove(gamePosition, NullMoveMarker, lastUndo), "result marker");
#endif
}

TEST(NullMove, RemovesOnlyTheEnPassantKey) {
    SetUpPosition(InitialFen);
    Play(M("e2", "e4", Quiet));
    const Board before = gamePosition.board;
    HistoryEntry* const top = gamePosition.historyTop;
    UndoRecord undo;
    MakeNullMove(gamePosition, undo);
    EXPECT_EQ(gamePosition.board.epSquare, 0);
    EXPECT_EQ(gamePosition.board.hashKey, before.hashKey ^ ZobristKeys[0][44]);
    EXPECT_EQ(gamePosition.board.pawnKey, before.pawnKey ^ LowHalf(ZobristKeys[0][44]));
    EXPECT_EQ(top->move, NullMoveMarker);
    EXPECT_EQ(gamePosition.historyTop, top + 1);
    EXPECT_EQ(gamePosition.historyTop->fiftyCounter, top->fiftyCounter + 1);
    EXPECT_EQ(gamePosition.historyTop->hashKey, gamePosition.board.hashKey);
    EXPECT_EQ(gamePosition.sideToMove, White);
    UnmakeNullMove(gamePosition, undo);
    ExpectSameBoard(gamePosition.board, before);
    EXPECT_EQ(gamePosition.historyTop, top);
    EXPECT_EQ(gamePosition.sideToMove, Black);
    // Without an en-passant square the key stays.
    SetUpPosition(InitialFen);
    const uint64_t key = gamePosition.board.hashKey;
    MakeNullMove(gamePosition, lastUndo);
    EXPECT_EQ(gamePosition.board.hashKey, key);
    EXPECT_EQ(gamePosition.sideToMove, Black);
    UnmakeNullMove(gamePosition, lastUndo);
    EXPECT_EQ(gamePosition.sideToMove, White);
}

TEST(DrawCheck, RepetitionsCountedBackToTheLastIrreversibleMove) {
    SetUpPosition(InitialFen);
    const uint64_t start = gamePosition.board.hashKey;
    const Move cycle[4] = {M("g1", "f3", Quiet), M("g8", "f6", Quiet), M("f3", "g1", Quiet), M("f6", "g8", Quiet)};
    for (int i = 0; i < 3; ++i) {
        Play(cycle[i]);
        EXPECT_EQ(DrawCheck(gamePosition, 1), 0) << "after ply " << i + 1;
    }
    Play(cycle[3]);
    EXPECT_EQ(gamePosition.board.hashKey, start);
    EXPECT_EQ(gamePosition.historyTop->fiftyCounter, 4);
    EXPECT_EQ(DrawCheck(gamePosition, 1), ResultRepetition);
    EXPECT_EQ(DrawCheck(gamePosition, 2), 0);
    for (const Move m : cycle) Play(m);
    EXPECT_EQ(DrawCheck(gamePosition, 2), ResultRepetition);
    // After a pawn move the count starts afresh.
    Play(M("e2", "e3", Quiet));
    for (const Move m : {M("g8", "f6", Quiet), M("g1", "f3", Quiet), M("f6", "g8", Quiet), M("f3", "g1", Quiet)})
        Play(m);
    EXPECT_EQ(DrawCheck(gamePosition, 1), ResultRepetition);
    EXPECT_EQ(DrawCheck(gamePosition, 2), 0);
}

TEST(DrawCheck, InsufficientMaterialAndTheFiftyMoveRule) {
    SetUpPosition("4k3/8/8/8/8/8/8/2B1K3 w - -");
    EXPECT_EQ(gamePosition.board.totalMaterial, 3);
    EXPECT_EQ(DrawCheck(gamePosition, 1), ResultInsufficientMaterial);
    SetUpPosition("4k3/8/8/8/8/8/8/1NN1K3 w - -");
    EXPECT_EQ(DrawCheck(gamePosition, 1), 0);
    SetUpPosition("4k3/8/8/8/8/8/P7/4K3 w - -");
    EXPECT_EQ(DrawCheck(gamePosition, 1), 0);
    SetUpPosition("4k3/8/8/8/8/8/8/R3K3 w - -");
    gamePosition.historyTop->fiftyCounter = 100;
    EXPECT_EQ(DrawCheck(gamePosition, 2), ResultFiftyMoves);
    gamePosition.historyTop->fiftyCounter = 99;
    EXPECT_EQ(DrawCheck(gamePosition, 2), 0);
    gamePosition.historyTop->fiftyCounter = 3;
    EXPECT_EQ(DrawCheck(gamePosition, 1), 0);
}

TEST(DrawCheck, NeverReadsBeforeTheFirstHistoryEntry) {
    // A counter larger than the history reaches back: the walk stops at the
    // first entry.
    SetUpPosition("4k3/8/8/8/8/8/8/R3K3 w - -");
    gamePosition.historyTop->fiftyCounter = 50;
    EXPECT_EQ(DrawCheck(gamePosition, 1), 0);
    EXPECT_EQ(RepetitionAfter(gamePosition, M("a1", "a2", Quiet)), 0);
    Play(M("a1", "a2", Quiet));
    Play(M("e8", "d8", Quiet));
    EXPECT_EQ(gamePosition.historyTop->fiftyCounter, 52);
    EXPECT_EQ(DrawCheck(gamePosition, 1), 0);
    EXPECT_EQ(RepetitionAfter(gamePosition, M("a2", "a1", Quiet)), 0);
}

TEST(RepetitionAfter, QuietPieceMovesOnly) {
    SetUpPosition("r3k2r/8/8/3p4/4P3/8/8/R3K2R w KQkq -");
    gamePosition.historyTop->fiftyCounter = 80;
    EXPECT_EQ(RepetitionAfter(gamePosition, M("e4", "e5", Quiet)), 0);
    EXPECT_EQ(RepetitionAfter(gamePosition, M("e4", "d5", Capture)), 0);
    EXPECT_EQ(RepetitionAfter(gamePosition, CastleWhiteKingSide), 0);
    EXPECT_EQ(RepetitionAfter(gamePosition, M("a1", "b1", Quiet)), 1);
    gamePosition.historyTop->fiftyCounter = 99;
    EXPECT_EQ(RepetitionAfter(gamePosition, M("a1", "b1", Quiet)), 2);
    gamePosition.historyTop->fiftyCounter = 2;
    EXPECT_EQ(RepetitionAfter(gamePosition, M("a1", "b1", Quiet)), 0);
}

TEST(RepetitionAfter, CountsEarlierOccurrencesOfThePositionAfterTheMove) {
    SetUpPosition(InitialFen);
    Play(M("g1", "f3", Quiet));
    Play(M("g8", "f6", Quiet));
    Play(M("f3", "g1", Quiet));
    HistoryEntry* const top = gamePosition.historyTop;
    EXPECT_EQ(RepetitionAfter(gamePosition, M("f6", "g8", Quiet)), 1);
    EXPECT_EQ(RepetitionAfter(gamePosition, M("f6", "h5", Quiet)), 0);
    EXPECT_EQ(gamePosition.historyTop, top);
    Play(M("f6", "g8", Quiet));
    Play(M("g1", "f3", Quiet));
    Play(M("g8", "f6", Quiet));
    Play(M("f3", "g1", Quiet));
    EXPECT_EQ(RepetitionAfter(gamePosition, M("f6", "g8", Quiet)), 2);
}

}  // namespace
}  // namespace kavrin
