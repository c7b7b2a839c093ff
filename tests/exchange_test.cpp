// Exchange scoring: the swap-off with x-rays, the king's legality filter,
// promotions, early stops and the piece-square terms. Expected values are
// built from the evaluation's tables so they hold whatever those tables say.
#include "board/exchange.h"
#include "board/exchange_balance.h"

#include <gtest/gtest.h>

#include "board/board.h"
#include "board/fen.h"
#include "board/movetext.h"
#include "board/pst.h"
#include "search/game.h"
#include "support/board_setup.h"
#include "support/test_engine.h"

namespace kavrin {
namespace {

using test::SetUpPosition;

using test::Sq;
int Pst(int code, const char* square) { return PieceSquareTable(gamePosition.board, code)[Sq(square)]; }

Bitboard RookLike() {
    const Bitboard* p = gamePosition.board.pieceBitboard;
    return p[WhiteRook] | p[BlackRook] | p[WhiteQueen] | p[BlackQueen];
}
Bitboard BishopLike() {
    const Bitboard* p = gamePosition.board.pieceBitboard;
    return p[WhiteBishop] | p[BlackBishop] | p[WhiteQueen] | p[BlackQueen];
}

int Score(int mover, const char* from, const char* to) {
    return ExchangeScore(gamePosition, mover, Sq(from), Sq(to), RookLike(), BishopLike());
}

// The mover's piece-square change.
int PosDelta(int mover, const char* from, const char* to) { return Pst(mover, to) - Pst(mover, from); }

TEST(ExchangeScore, KingTakesUndefendedPiece) {
    SetUpPosition("4k3/8/8/8/8/8/3n4/4K3 w - -");
    EXPECT_EQ(Score(WhiteKing, "e1", "d2"),
              PosDelta(WhiteKing, "e1", "d2") + Pst(BlackKnight, "d2") + PieceValue[BlackKnight] - 9500);
}

TEST(ExchangeScore, KingTakesDefendedPieceIsRefused) {
    SetUpPosition("4k3/8/8/8/1b6/8/3n4/4K3 w - -");
    EXPECT_EQ(Score(WhiteKing, "e1", "d2"), KingCaptureRefused);
    // Defended by a pawn, a knight, a rook; for black by a white pawn.
    SetUpPosition("4k3/8/8/8/8/4p3/3n4/4K3 w - -");
    EXPECT_EQ(Score(WhiteKing, "e1", "d2"), KingCaptureRefused);
    SetUpPosition("4k3/8/8/8/2n5/8/3n4/4K3 w - -");
    EXPECT_EQ(Score(WhiteKing, "e1", "d2"), KingCaptureRefused);
    SetUpPosition("3rk3/8/8/8/8/8/3n4/4K3 w - -");
    EXPECT_EQ(Score(WhiteKing, "e1", "d2"), KingCaptureRefused);
    SetUpPosition("4k3/3N4/2P5/8/8/8/8/4K3 b - -");
    EXPECT_EQ(Score(BlackKing, "e8", "d7"), KingCaptureRefused);
}

TEST(ExchangeScore, KnightTakesPawnDefendedByPawnStopsEarly) {
    SetUpPosition("4k3/8/2p5/3p4/8/4N3/8/4K3 w - -");
    // swap[1] = 320 - 100 = 220, and 220 - 100 > 50: the recapture ends it.
    EXPECT_EQ(Score(WhiteKnight, "e3", "d5"), PosDelta(WhiteKnight, "e3", "d5") - 30170);
}

TEST(ExchangeScore, KnightTakesUndefendedPawn) {
    SetUpPosition("4k3/8/8/3p4/8/4N3/8/4K3 w - -");
    EXPECT_EQ(Score(WhiteKnight, "e3", "d5"), PosDelta(WhiteKnight, "e3", "d5") + Pst(BlackPawn, "d5") + 100 - 9500);
}

TEST(ExchangeScore, RookBehindRookJoinsAsXray) {
    // Defended once by a knight: the early stop comes at the knight's
    // recapture (swap[1] = 400, 400 - 320 > 50).
    SetUpPosition("4n2k/8/3p4/8/8/8/3R4/3R2K1 w - -");
    EXPECT_EQ(Score(WhiteRook, "d2", "d6"), PosDelta(WhiteRook, "d2", "d6") + 160 - 400 - 30000);
    // Defended by a rook: only the rook behind the mover (seen through it)
    // makes the exchange a gain: R takes, r takes, R takes back.
    SetUpPosition("3r3k/8/3p4/8/8/8/3R4/3R2K1 w - -");
    EXPECT_EQ(Score(WhiteRook, "d2", "d6"), PosDelta(WhiteRook, "d2", "d6") + Pst(BlackPawn, "d6") + 100 - 9500);
    // Without the second rook the same capture loses the rook for a pawn.
    SetUpPosition("3r3k/8/3p4/8/8/8/3R4/6K1 w - -");
    EXPECT_EQ(Score(WhiteRook, "d2", "d6"), PosDelta(WhiteRook, "d2", "d6") - 400 - 30000);
}

TEST(ExchangeScore, BishopAndQueenXrays) {
    // Queen behind a bishop on the diagonal; pawn defended by a pawn.
    SetUpPosition("7k/8/2p5/3p4/4B3/5Q2/8/6K1 w - -");
    // B takes (swap 100), p takes (325 - 100 = 225, 225 - 100 > 50): stop.
    EXPECT_EQ(Score(WhiteBishop, "e4", "d5"), PosDelta(WhiteBishop, "e4", "d5") + 50 - 225 - 30000);
    // Defended by a bishop: B x p, b x B, Q x b (queen revealed behind).
    SetUpPosition("7k/1b6/8/3p4/4B3/5Q2/8/6K1 w - -");
    EXPECT_EQ(Score(WhiteBishop, "e4", "d5"), PosDelta(WhiteBishop, "e4", "d5") + Pst(BlackPawn, "d5") + 100 - 9500);
    // A queen moving along a file reveals the rook behind it.
    SetUpPosition("3r3k/8/3p4/8/8/8/3Q4/3R2K1 w - -");
    // Q x p (100), r x Q (950 - 100 = 850, 850 - 500 > 50): stop early.
    EXPECT_EQ(Score(WhiteQueen, "d2", "d6"), PosDelta(WhiteQueen, "d2", "d6") + 250 - 850 - 30000);
}

TEST(ExchangeScore, PromotionByPushOntoAttackedSquare) {
    SetUpPosition("r3k3/1P6/8/8/8/8/8/4K3 w - -");
    // V = 800, mover a queen: swap[1] = 950 - 800 = 150; G = min(800, -150).
    const int posDelta = Pst(WhiteQueen, "b8") - Pst(WhitePawn, "b7");
    EXPECT_EQ(Score(WhitePawn, "b7", "b8"), posDelta - 30150);
    // Undefended: a gain of 800 with no victim square term.
    SetUpPosition("4k3/1P6/8/8/8/8/8/4K3 w - -");
    EXPECT_EQ(Score(WhitePawn, "b7", "b8"), Pst(WhiteQueen, "b8") - Pst(WhitePawn, "b7") + 800 - 9500);
    // Black promotes on rank 1.
    SetUpPosition("4k3/8/8/8/8/8/1p6/4K3 b - -");
    EXPECT_EQ(Score(BlackPawn, "b2", "b1"), Pst(BlackQueen, "b1") - Pst(BlackPawn, "b2") + 800 - 9500);
}

TEST(ExchangeScore, EvenExchange) {
    // R x r, r x R: nothing gained, nothing lost.
    SetUpPosition("3r3k/8/3r4/8/8/8/3R4/6K1 w - -");
    EXPECT_EQ(Score(WhiteRook, "d2", "d6"), PosDelta(WhiteRook, "d2", "d6") - 29985);
}

TEST(ExchangeScore, KingRecapturesOnlyAsTheLastAttacker) {
    // N x p, k x N: the king may recapture, nobody else is left.
    SetUpPosition("8/8/4k3/3p4/8/4N3/8/6K1 w - -");
    EXPECT_EQ(Score(WhiteKnight, "e3", "d5"), PosDelta(WhiteKnight, "e3", "d5") - 220 - 30000);
    // With a white rook still covering d5 the king may not: the pawn is won.
    SetUpPosition("8/8/4k3/3p4/8/4N3/8/3R2K1 w - -");
    EXPECT_EQ(Score(WhiteKnight, "e3", "d5"), PosDelta(WhiteKnight, "e3", "d5") + Pst(BlackPawn, "d5") + 100 - 9500);
}

TEST(ExchangeScore, LeastValuableAttackerFirst) {
    // Q x n: black may take back with the pawn or the rook; the pawn goes
    // first and wins the queen at once (950 - 320 = 630, 630 - 100 > 50).
    SetUpPosition("3r3k/8/2p5/3n4/8/8/8/3Q2K1 w - -");
    EXPECT_EQ(Score(WhiteQueen, "d1", "d5"), PosDelta(WhiteQueen, "d1", "d5") + 50 - 630 - 30000);
}

TEST(ExchangeScore, ReadsTheBoardOnly) {
    SetUpPosition("3r3k/1b6/2p5/3n4/4B3/5Q2/8/3R2K1 w - -");
    const Board before = gamePosition.board;
    Score(WhiteBishop, "e4", "d5");
    Score(WhiteRook, "d1", "d5");
    EXPECT_EQ(gamePosition.board.occupied, before.occupied);
    EXPECT_EQ(gamePosition.board.hashKey, before.hashKey);
    for (int code = WhitePawn; code <= BlackQueen; ++code)
        EXPECT_EQ(gamePosition.board.pieceBitboard[code], before.pieceBitboard[code]);
}

// The balance against a threshold: each case holds at its value and fails one
// above it, and so does its colour-flipped mirror.
TEST(ExchangeAtLeast, HoldsExactlyUpToTheBalance) {
    struct Case {
        const char* fen;
        const char* move;
        int balance;
    };
    const Case cases[] = {
        {"1k1r4/1pp4p/p7/4p3/8/P5P1/1PP4P/2K1R3 w - -", "e1e5", 100},  // nothing takes back
        // N x p, n x N, R x n, b x R, Q x b, q x Q: white is better off
        // stopping after the knight is lost.
        {"1k1r3q/1ppn3p/p4b2/4p3/8/P2N2P1/1PP1R1BP/2K1Q3 w - -", "d3e5", -220},
        {"4k3/8/2p5/3p4/8/8/3R4/3RK3 w - -", "d2d5", -300},    // the rook behind takes back
        {"3rk3/3r4/8/3p4/5N2/8/8/3RK3 w - -", "f4d5", -220},   // ... and so does black's
        {"4k3/1P6/8/8/8/8/8/4K3 w - -", "b7b8q", 850},         // a promotion
        {"1r2k3/P7/8/8/8/8/8/4K3 w - -", "a7a8q", -100},       // ... taken at once
        {"1r2k3/P7/8/8/8/8/8/4K3 w - -", "a7b8q", 1350},       // ... taking a rook
        {"4k3/1P6/8/8/8/8/8/4K3 w - -", "b7b8n", 220},          // an under-promotion
        {"4k3/8/8/3pP3/8/8/8/4K3 w - d6", "e5d6", 100},        // en passant
        {"3rk3/8/8/8/8/8/3q4/3RK3 w - -", "d1d2", 950},        // the king takes back last
        {"3rk3/8/8/b7/8/8/3q4/3RK3 w - -", "d1d2", 450},       // ... but not into the rook
        {"4k3/8/8/2p5/8/8/8/3RK3 w - -", "d1d4", -500},        // a quiet move onto a pawn's square
        {"4k3/8/8/8/8/8/8/4K2R w K -", "e1g1", 0},             // castling
    };
    for (const Case& c : cases) {
        for (const bool mirrored : {false, true}) {
            std::string move = c.move;
            if (mirrored) {
                move[1] = static_cast<char>('1' + '8' - move[1]);
                move[3] = static_cast<char>('1' + '8' - move[3]);
            }
            SetUpPosition(mirrored ? test::MirrorFen(c.fen).c_str() : c.fen);
            const Move m = TextToMoveOnBoard(gamePosition, move.c_str());
            ASSERT_NE(m, 0) << c.fen << " " << move;
            EXPECT_TRUE(ExchangeAtLeast(gamePosition, m, c.balance)) << c.fen << " " << move << " mirrored " << mirrored;
            EXPECT_FALSE(ExchangeAtLeast(gamePosition, m, c.balance + 1))
                << c.fen << " " << move << " mirrored " << mirrored;
        }
    }
}

}  // namespace
}  // namespace kavrin
