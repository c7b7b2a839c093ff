// Reading positions from FEN text: fields, derived state, failures and the
// mending of flags that do not fit the placement.
#include "board/fen.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "board/board.h"
#include "board/movetext.h"
#include "board/poscheck.h"
#include "board/tables.h"
#include "board/zobrist.h"
#include "search/game.h"
#include "support/board_setup.h"
#include "support/fuzz_support.h"
#include "support/random_positions.h"
#include "support/test_engine.h"
#include "support/text.h"

namespace kavrin {
namespace {

using test::Sq;

// Reads the text from a heap block of exactly its size.
bool ReadExact(const std::string& text) { return ReadFen(gamePosition, test::ExactCopy(text).get()); }

using FenTest = ::testing::Test;

TEST_F(FenTest, InitialPosition) {
    ASSERT_TRUE(ReadFen(gamePosition, InitialFen));
    EXPECT_EQ(gamePosition.board.totalMaterial, 78);
    EXPECT_EQ(gamePosition.board.nonPawnMaterial[Black], 31);
    EXPECT_EQ(gamePosition.board.nonPawnMaterial[White], 31);
    EXPECT_EQ(gamePosition.board.pawnCount[Black], 8);
    EXPECT_EQ(gamePosition.board.pawnCount[White], 8);
    EXPECT_EQ(gamePosition.board.castling, 0x1B);
    EXPECT_EQ(gamePosition.board.epSquare, 0);
    EXPECT_EQ(gamePosition.board.kingSquare[Black], 4);
    EXPECT_EQ(gamePosition.board.kingSquare[White], 60);
    EXPECT_EQ(gamePosition.sideToMove, White);
    EXPECT_EQ(gamePosition.gamePly, 1);
    EXPECT_TRUE(gamePosition.playable);
    EXPECT_EQ(gamePosition.board.pieceBitboard[WhitePawn], 0x000000000000FF00ULL);
    EXPECT_EQ(gamePosition.board.pieceBitboard[BlackPawn], 0x00FF000000000000ULL);
    EXPECT_EQ(gamePosition.board.pieceBitboard[WhiteRook], (Bitboard{1} << 7) | 1);
    EXPECT_EQ(gamePosition.board.colourOccupied[White], 0xFFFFULL);
    EXPECT_EQ(gamePosition.board.colourOccupied[Black], 0xFFFFULL << 48);
    EXPECT_EQ(gamePosition.board.occupied, 0xFFFF00000000FFFFULL);
    EXPECT_EQ(gamePosition.board.occupiedFiles, 0xC3C3C3C3C3C3C3C3ULL);
    EXPECT_EQ(gamePosition.board.occupiedA1H8, RotateA1H8(gamePosition.board.occupied));
    EXPECT_EQ(gamePosition.board.occupiedA8H1, RotateA8H1(gamePosition.board.occupied));
    EXPECT_EQ(gamePosition.board.pieceOn[Sq("d1")], WhiteQueen);
    EXPECT_EQ(gamePosition.board.pieceOn[Sq("e8")], BlackKing);
    EXPECT_EQ(gamePosition.board.pieceOn[Sq("e4")], Empty);
    EXPECT_TRUE(CheckPosition(gamePosition));
}

TEST_F(FenTest, PositionAfterADoublePush) {
    ASSERT_TRUE(ReadFen(gamePosition, "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1"));
    EXPECT_EQ(gamePosition.board.epSquare, 44);
    EXPECT_EQ(gamePosition.sideToMove, Black);
    EXPECT_EQ(gamePosition.board.castling, 0x1B);
    EXPECT_EQ(gamePosition.history[0].fiftyCounter, 0);
    EXPECT_EQ(gamePosition.history[0].move, 0);
    EXPECT_EQ(gamePosition.snapshot.epSquare, 44);
    EXPECT_EQ(gamePosition.snapshot.castling, 0x1B);
    EXPECT_EQ(std::memcmp(gamePosition.snapshot.pieceOn, gamePosition.board.pieceOn, 64), 0);
}

TEST_F(FenTest, EmptyBoardIsReadButNotPlayable) {
    ASSERT_TRUE(ReadFen(gamePosition, "8/8/8/8/8/8/8/8 w - -"));
    EXPECT_EQ(gamePosition.board.kingSquare[Black], NoKingSquare);
    EXPECT_EQ(gamePosition.board.kingSquare[White], NoKingSquare);
    EXPECT_EQ(gamePosition.board.occupied, 0u);
    EXPECT_EQ(gamePosition.board.hashKey, 0u);
    EXPECT_EQ(gamePosition.board.totalMaterial, 0);
    EXPECT_FALSE(gamePosition.playable);
}

TEST_F(FenTest, PlayableOnlyWithOneKingOfEachColour) {
    ASSERT_TRUE(ReadFen(gamePosition, "4k3/8/8/8/8/8/8/4K3 w - -"));
    EXPECT_TRUE(gamePosition.playable);
    ASSERT_TRUE(ReadFen(gamePosition, "4k3/8/8/8/8/8/8/3KK3 w - -"));
    EXPECT_FALSE(gamePosition.playable);
    ASSERT_TRUE(ReadFen(gamePosition, "8/8/8/8/8/8/8/4K3 w - -"));
    EXPECT_FALSE(gamePosition.playable);
    ASSERT_TRUE(ReadFen(gamePosition, "4k3/8/8/8/8/8/8/8 b - -"));
    EXPECT_FALSE(gamePosition.playable);
    ASSERT_TRUE(ReadFen(gamePosition, "3kk3/8/8/8/8/8/8/4K3 w - -"));
    EXPECT_FALSE(gamePosition.playable);
    // Kings side by side: either could take the other.
    ASSERT_TRUE(ReadFen(gamePosition, "kK6/8/8/8/8/8/8/8 w - -"));
    EXPECT_FALSE(gamePosition.playable);
    ASSERT_TRUE(ReadFen(gamePosition, "8/8/8/3k4/4K3/8/8/8 b - -"));
    EXPECT_FALSE(gamePosition.playable);
    // Sixteen pieces a side at most: the move lists are sized for that.
    ASSERT_TRUE(ReadFen(gamePosition, "4k3/8/8/8/8/8/PPPPPPPP/RNBQKBNR w - -"));
    EXPECT_TRUE(gamePosition.playable);
    ASSERT_TRUE(ReadFen(gamePosition, "4k3/8/8/8/8/Q7/PPPPPPPP/RNBQKBNR w - -"));
    EXPECT_FALSE(gamePosition.playable);
    ASSERT_TRUE(ReadFen(gamePosition, "QQQQQQQQ/QQQQQQQ1/8/8/8/8/8/k6K b - -"));
    EXPECT_TRUE(gamePosition.playable);
    ASSERT_TRUE(ReadFen(gamePosition, "QQQQQQQQ/QQQQQQQQ/8/8/8/8/8/k6K b - -"));
    EXPECT_FALSE(gamePosition.playable);
    ASSERT_TRUE(ReadFen(gamePosition, "rnbqkbnr/pppppppp/q7/8/8/8/8/4K3 w - -"));
    EXPECT_FALSE(gamePosition.playable);
    // A failed read leaves the flag of the previous position.
    ASSERT_TRUE(ReadFen(gamePosition, InitialFen));
    EXPECT_FALSE(ReadFen(gamePosition, "4k3/8/8/8/8/8/8/4K3 x - -"));
    EXPECT_TRUE(gamePosition.playable);
}

TEST_F(FenTest, MalformedFieldsAreRefused) {
    EXPECT_FALSE(ReadFen(gamePosition, "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR x KQkq -"));
    EXPECT_FALSE(ReadFen(gamePosition, "rnbqkbnr/pppppppp/9/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -"));
    EXPECT_FALSE(ReadFen(gamePosition, "rnbqkbnr/pppppppp/8/8/3X4/8/PPPPPPPP/RNBQKBNR w KQkq -"));
    EXPECT_FALSE(ReadFen(gamePosition, "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBN w KQkq -"));  // 63 squares
    EXPECT_FALSE(ReadFen(gamePosition, "rnbqkbnr/pppppppp/8/8 8/8/PPPPPPPP/RNBQKBNR w KQkq -"));
    EXPECT_FALSE(ReadFen(gamePosition, ""));
    EXPECT_FALSE(ReadFen(gamePosition, "   "));
    EXPECT_FALSE(ReadFen(gamePosition, nullptr));
}

TEST_F(FenTest, AFailedReadLeavesThePreviousPositionIntact) {
    ASSERT_TRUE(ReadFen(gamePosition, "r3k2r/8/8/3pP3/8/8/8/R3K2R w KQkq d6"));
    const fuzz::PositionState before = fuzz::PositionState::Capture();
    const char* bad[] = {
        "8/8/8/8/8/8/8/K6k x - -",
        "8/8/8/8/8/8/8/K6k",
        "8/8/8/8/8/8/8/K6k w",
        "8/8/8/8/8/8/8/K6k w KQ",
        "8/8/8/8/8/8/8/K6k w - ",
        "8/8/8/8/8/8/8/K6Z w - -",
        "k7/8/8",
    };
    for (const char* text : bad) {
        EXPECT_FALSE(ReadFen(gamePosition, text)) << text;
        EXPECT_TRUE(before == fuzz::PositionState::Capture()) << text;
    }
}

TEST_F(FenTest, CastlingFieldLettersInAnyOrder) {
    ASSERT_TRUE(ReadFen(gamePosition, "r3k2r/8/8/8/8/8/8/R3K2R w Kq -"));
    EXPECT_EQ(gamePosition.board.castling, 0x11);
    EXPECT_EQ(gamePosition.board.epSquare, 0);
    ASSERT_TRUE(ReadFen(gamePosition, "r3k2r/8/8/8/8/8/8/R3K2R b qkQK -"));
    EXPECT_EQ(gamePosition.board.castling, 0x1B);
    EXPECT_EQ(gamePosition.sideToMove, Black);
    ASSERT_TRUE(ReadFen(gamePosition, "r3k2r/8/8/8/8/8/8/R3K2R w KK -"));
    EXPECT_EQ(gamePosition.board.castling, 1);
    ASSERT_TRUE(ReadFen(gamePosition, "r3k2r/8/8/8/8/8/8/R3K2R w - -"));
    EXPECT_EQ(gamePosition.board.castling, 0);
}

TEST_F(FenTest, CastlingRightsWithoutKingOrRookAtHomeAreCleared) {
    ASSERT_TRUE(ReadFen(gamePosition, "r3k3/8/8/8/8/8/8/R3K3 w KQkq -"));  // no h-rooks
    EXPECT_EQ(gamePosition.board.castling, 0x12);
    ASSERT_TRUE(ReadFen(gamePosition, "4k2r/8/8/8/8/8/8/4K2R w KQkq -"));  // no a-rooks
    EXPECT_EQ(gamePosition.board.castling, 0x09);
    ASSERT_TRUE(ReadFen(gamePosition, "r3k2r/8/8/8/8/8/8/R4K1R w KQkq -"));  // white king off e1
    EXPECT_EQ(gamePosition.board.castling, 0x18);
    ASSERT_TRUE(ReadFen(gamePosition, "r2k3r/8/8/8/8/8/8/R3K2R w KQkq -"));  // black king off e8
    EXPECT_EQ(gamePosition.board.castling, 0x03);
    ASSERT_TRUE(ReadFen(gamePosition, "R3k2r/8/8/8/8/8/8/r3K2R w KQkq -"));  // rooks of the wrong colour
    EXPECT_EQ(gamePosition.board.castling, 0x09);
    ASSERT_TRUE(ReadFen(gamePosition, "r3k2r/8/8/8/8/8/8/R3K2N w KQkq -"));  // a knight in the corner
    EXPECT_EQ(gamePosition.board.castling, 0x1A);
    EXPECT_EQ(gamePosition.snapshot.castling, 0x1A);
}

TEST_F(FenTest, EnPassantSquareOnlyWhereAPawnJustPassed) {
    // White to move: rank 6, black pawn below, the square and its origin empty.
    ASSERT_TRUE(ReadFen(gamePosition, "4k3/8/8/3pP3/8/8/8/4K3 w - d6"));
    EXPECT_EQ(gamePosition.board.epSquare, Sq("d6"));
    EXPECT_EQ(gamePosition.snapshot.epSquare, Sq("d6"));
    ASSERT_TRUE(ReadFen(gamePosition, "4k3/8/8/4P3/8/8/8/4K3 w - d6"));  // no black pawn on d5
    EXPECT_EQ(gamePosition.board.epSquare, 0);
    ASSERT_TRUE(ReadFen(gamePosition, "4k3/3n4/8/3pP3/8/8/8/4K3 w - d6"));  // d7 occupied
    EXPECT_EQ(gamePosition.board.epSquare, 0);
    ASSERT_TRUE(ReadFen(gamePosition, "4k3/8/3n4/3pP3/8/8/8/4K3 w - d6"));  // d6 occupied
    EXPECT_EQ(gamePosition.board.epSquare, 0);
    ASSERT_TRUE(ReadFen(gamePosition, "4k3/8/8/3pP3/8/8/8/4K3 b - d6"));  // wrong side to move
    EXPECT_EQ(gamePosition.board.epSquare, 0);
    // Black to move: rank 3, mirrored.
    ASSERT_TRUE(ReadFen(gamePosition, "4k3/8/8/8/3Pp3/8/8/4K3 b - d3"));
    EXPECT_EQ(gamePosition.board.epSquare, Sq("d3"));
    ASSERT_TRUE(ReadFen(gamePosition, "4k3/8/8/8/3Pp3/8/8/4K3 w - d3"));
    EXPECT_EQ(gamePosition.board.epSquare, 0);
    ASSERT_TRUE(ReadFen(gamePosition, "4k3/8/8/8/3pp3/8/8/4K3 b - d3"));  // the pawn on d4 is black
    EXPECT_EQ(gamePosition.board.epSquare, 0);
    // Squares off ranks 3 and 6, and texts that are no square at all.
    ASSERT_TRUE(ReadFen(gamePosition, "4k3/8/8/3pP3/8/8/8/4K3 w - d5"));
    EXPECT_EQ(gamePosition.board.epSquare, 0);
    for (const char* text :
         {"4k3/8/8/3pP3/8/8/8/4K3 w - z6", "4k3/8/8/3pP3/8/8/8/4K3 w - d9", "4k3/8/8/3pP3/8/8/8/4K3 w - d0",
          "4k3/8/8/3pP3/8/8/8/4K3 w - D6", "4k3/8/8/3pP3/8/8/8/4K3 w - \xff\xff", "4k3/8/8/3pP3/8/8/8/4K3 w - d"}) {
        EXPECT_TRUE(ReadExact(text)) << text;
        EXPECT_EQ(gamePosition.board.epSquare, 0) << text;
        EXPECT_TRUE(CheckPosition(gamePosition)) << text;
    }
}

TEST_F(FenTest, MoveNumbersAndTrailingTextAreIgnored) {
    ASSERT_TRUE(ReadFen(gamePosition, "4k3/8/8/8/8/8/8/4K3 w - - 57 99"));
    EXPECT_EQ(gamePosition.history[0].fiftyCounter, 0);
    EXPECT_EQ(gamePosition.gamePly, 1);
    const uint64_t key = gamePosition.board.hashKey;
    ASSERT_TRUE(ReadExact("4k3/8/8/8/8/8/8/4K3 w - -" + std::string(5000, 'x')));
    EXPECT_EQ(gamePosition.board.hashKey, key);
    // Leading blanks, blanks between fields, and upper-case side letters.
    ASSERT_TRUE(ReadFen(gamePosition, "   4k3/8/8/8/8/8/8/4K3    B    -    -"));
    EXPECT_EQ(gamePosition.sideToMove, Black);
    ASSERT_TRUE(ReadFen(gamePosition, "4k3/8/8/8/8/8/8/4K3 W - -"));
    EXPECT_EQ(gamePosition.sideToMove, White);
}

TEST_F(FenTest, EveryPrefixIsReadWithinItsBounds) {
    const std::string full = "r3k2r/pp3ppp/8/3pP3/8/8/PP3PPP/R3K2R w KQkq d6 0 12";
    const size_t epField = full.find(" d6") + 1;
    for (size_t n = 0; n <= full.size(); ++n) {
        const std::string prefix = full.substr(0, n);
        const bool read = ReadExact(prefix);
        // A text that ends before the en-passant field is refused.
        EXPECT_EQ(read, n > epField) << '"' << prefix << '"';
    }
}

TEST_F(FenTest, ReadingResetsTheHistory) {
    ASSERT_TRUE(ReadFen(gamePosition, InitialFen));
    for (int i = 1; i <= 6; ++i) gamePosition.history[i] = {0x1234u + static_cast<uint64_t>(i), 0x0555, 3};
    gamePosition.history[0].move = 0x0555;
    gamePosition.historyTop = gamePosition.history + 6;
    gamePosition.gamePly = 17;
    ASSERT_TRUE(ReadFen(gamePosition, "4k3/8/8/8/8/8/8/4K3 b - -"));
    EXPECT_EQ(gamePosition.historyTop, gamePosition.history);
    EXPECT_EQ(gamePosition.history[0].hashKey, gamePosition.board.hashKey);
    EXPECT_EQ(gamePosition.history[0].move, 0);
    for (int i = 1; i <= 6; ++i) {
        EXPECT_EQ(gamePosition.history[i].hashKey, 0u) << i;
        EXPECT_EQ(gamePosition.history[i].move, 0) << i;
        EXPECT_EQ(gamePosition.history[i].fiftyCounter, 0) << i;
    }
    EXPECT_EQ(gamePosition.gamePly, 1);
}

TEST_F(FenTest, MaterialCountersFollowThePieces) {
    ASSERT_TRUE(ReadFen(gamePosition, "4k3/pp6/2n5/8/8/5B2/3Q4/R3K3 w - -"));
    EXPECT_EQ(gamePosition.board.totalMaterial, 1 + 1 + 3 + 3 + 9 + 5);
    EXPECT_EQ(gamePosition.board.nonPawnMaterial[White], 3 + 9 + 5);
    EXPECT_EQ(gamePosition.board.nonPawnMaterial[Black], 3);
    EXPECT_EQ(gamePosition.board.pawnCount[Black], 2);
    EXPECT_EQ(gamePosition.board.pawnCount[White], 0);
    EXPECT_EQ(gamePosition.board.castling, 0);
}

TEST_F(FenTest, RandomPositionsRoundTripThroughWriteFen) {
    test::TestRandom random(2024);
    char out[256];
    for (int n = 0; n < 200; ++n) {
        const test::RandomPosition pos = test::MakeRandomPosition(random);
        ASSERT_TRUE(ReadExact(pos.fen)) << pos.fen;
        EXPECT_EQ(std::memcmp(gamePosition.board.pieceOn, pos.pieces, 64), 0) << pos.fen;
        EXPECT_EQ(gamePosition.board.castling, pos.castling) << pos.fen;
        EXPECT_EQ(gamePosition.board.epSquare, pos.epSquare) << pos.fen;
        EXPECT_EQ(gamePosition.sideToMove, pos.side) << pos.fen;
        char* end = WriteFen(gamePosition, out);
        EXPECT_EQ(std::string(out), pos.fen);
        EXPECT_EQ(end, out + pos.fen.size());
        const char* why = nullptr;
        EXPECT_TRUE(CheckPosition(gamePosition, &why)) << pos.fen << ": " << (why ? why : "");
    }
}

}  // namespace
}  // namespace kavrin
