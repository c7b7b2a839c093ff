// Coordinate move text in both directions, FEN output and the board diagram.
#include "board/movetext.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "board/board.h"
#include "board/fen.h"
#include "search/game.h"
#include "support/board_setup.h"
#include "support/random_positions.h"
#include "support/test_engine.h"
#include "support/text.h"

namespace kavrin {
namespace {

using test::Sq;

std::string Text(Move m) {
    char out[256];
    char* end = MoveToText(out, m);
    EXPECT_EQ(*end, '\0');
    EXPECT_EQ(end, out + std::strlen(out));
    return out;
}

// Decodes text held in a heap block of exactly its length.
Move Decode(const std::string& text, bool onBoard = false) {
    const std::unique_ptr<char[]> copy = test::ExactCopy(text);
    return onBoard ? TextToMoveOnBoard(gamePosition, copy.get()) : TextToMove(gamePosition, copy.get());
}

using MoveTextTest = ::testing::Test;

TEST_F(MoveTextTest, MoveToTextOfEachKind) {
    EXPECT_EQ(Text(0xDF3E), "e1g1");
    EXPECT_EQ(Text(0xC106), "e8g8");
    EXPECT_EQ(Text(0xE102), "e8c8");
    EXPECT_EQ(Text(0xFF3A), "e1c1");
    EXPECT_EQ(Text(MakeMoveWord(Sq("b7"), Sq("a8"), CapturePromoteQueen)), "b7a8q");
    EXPECT_EQ(Text(MakeMoveWord(Sq("b7"), Sq("b8"), PromoteQueen)), "b7b8q");
    EXPECT_EQ(Text(MakeMoveWord(Sq("b7"), Sq("b8"), PromoteKnight)), "b7b8n");
    EXPECT_EQ(Text(MakeMoveWord(Sq("b7"), Sq("b8"), PromoteRook)), "b7b8r");
    EXPECT_EQ(Text(MakeMoveWord(Sq("b7"), Sq("b8"), PromoteBishop)), "b7b8b");
    EXPECT_EQ(Text(MakeMoveWord(Sq("g2"), Sq("h1"), CapturePromoteKnight)), "g2h1n");
    EXPECT_EQ(Text(MakeMoveWord(Sq("g2"), Sq("h1"), CapturePromoteRook)), "g2h1r");
    EXPECT_EQ(Text(MakeMoveWord(Sq("g2"), Sq("h1"), CapturePromoteBishop)), "g2h1b");
    EXPECT_EQ(Text(MakeMoveWord(Sq("e5"), Sq("d6"), EnPassant)), "e5d6");
    EXPECT_EQ(Text(MakeMoveWord(Sq("g1"), Sq("f3"), Quiet)), "g1f3");
    EXPECT_EQ(Text(MakeMoveWord(Sq("a1"), Sq("h8"), Capture)), "a1h8");
    EXPECT_EQ(Text(ResultRepetition), "c8c8");  // a marker prints as its square pair
    EXPECT_EQ(Text(0), "a8a8");
}

TEST_F(MoveTextTest, MoveToTextAppends) {
    char out[256];
    char* p = MoveToText(out, MakeMoveWord(Sq("e2"), Sq("e4"), Quiet));
    *p++ = ' ';
    MoveToText(p, 0xFF3A);
    EXPECT_STREQ(out, "e2e4 e1c1");
}

TEST_F(MoveTextTest, CastlingDecidedByTheSnapshotRights) {
    ASSERT_TRUE(ReadFen(gamePosition, "r3k2r/8/8/8/8/8/8/R3K2R w KQkq -"));
    EXPECT_EQ(Decode("e1g1"), 0xDF3E);
    EXPECT_EQ(Decode("e1c1"), 0xFF3A);
    EXPECT_EQ(Decode("e8g8"), 0xC106);
    EXPECT_EQ(Decode("e8c8"), 0xE102);
    EXPECT_EQ(Decode("e1f1"), MakeMoveWord(60, Sq("f1"), Quiet));
    ASSERT_TRUE(ReadFen(gamePosition, "r3k2r/8/8/8/8/8/8/R3K2R w Qk -"));
    EXPECT_EQ(Decode("e1g1"), MakeMoveWord(60, 62, Quiet));  // plain king move without the right
    EXPECT_EQ(Decode("e1c1"), 0xFF3A);
    EXPECT_EQ(Decode("e8c8"), MakeMoveWord(4, 2, Quiet));
    EXPECT_EQ(Decode("e8g8"), 0xC106);
    // The piece on the origin is not examined for castling.
    ASSERT_TRUE(ReadFen(gamePosition, "r3k2r/8/8/8/8/8/8/R3K2R w KQkq -"));
    gamePosition.snapshot.pieceOn[60] = Empty;
    EXPECT_EQ(Decode("e1g1"), 0xDF3E);
}

TEST_F(MoveTextTest, PromotionsAgainstSnapshotAndBoard) {
    ASSERT_TRUE(ReadFen(gamePosition, "3r3k/4P3/8/8/8/8/8/4K3 w - -"));
    EXPECT_EQ(Decode("e7e8q"), MakeMoveWord(Sq("e7"), Sq("e8"), PromoteQueen));
    EXPECT_EQ(Decode("e7e8n"), MakeMoveWord(Sq("e7"), Sq("e8"), PromoteKnight));
    EXPECT_EQ(Decode("e7e8r"), MakeMoveWord(Sq("e7"), Sq("e8"), PromoteRook));
    EXPECT_EQ(Decode("e7e8b"), MakeMoveWord(Sq("e7"), Sq("e8"), PromoteBishop));
    EXPECT_EQ(Decode("e7d8q"), MakeMoveWord(Sq("e7"), Sq("d8"), CapturePromoteQueen));
    EXPECT_EQ(Decode("e7d8b"), MakeMoveWord(Sq("e7"), Sq("d8"), CapturePromoteBishop));
    EXPECT_EQ(Decode("e7e8Q", true), MakeMoveWord(Sq("e7"), Sq("e8"), PromoteQueen));
    EXPECT_EQ(Decode("e7d8N", true), MakeMoveWord(Sq("e7"), Sq("d8"), CapturePromoteKnight));
    // Upper case is no promotion letter for the interface's text: it reads as
    // the four-character move.
    EXPECT_EQ(Decode("e7e8Q"), MakeMoveWord(Sq("e7"), Sq("e8"), Quiet));
    EXPECT_EQ(Decode("e7d8Q"), MakeMoveWord(Sq("e7"), Sq("d8"), Capture));
    ASSERT_TRUE(ReadFen(gamePosition, "4k2n/6P1/8/8/8/8/8/4K3 w - -"));
    EXPECT_EQ(Decode("g7h8q"), MakeMoveWord(Sq("g7"), Sq("h8"), CapturePromoteQueen));
}

TEST_F(MoveTextTest, EnPassantCapturesAndQuietPawnMoves) {
    ASSERT_TRUE(ReadFen(gamePosition, "4k3/8/8/3pP3/8/8/8/4K3 w - d6"));
    EXPECT_EQ(Decode("e5d6"), MakeMoveWord(Sq("e5"), Sq("d6"), EnPassant));
    EXPECT_EQ(Decode("e5d6", true), MakeMoveWord(Sq("e5"), Sq("d6"), EnPassant));
    // Whatever stands on the snapshot's en-passant square.
    gamePosition.snapshot.pieceOn[Sq("d6")] = BlackKnight;
    EXPECT_EQ(Decode("e5d6"), MakeMoveWord(Sq("e5"), Sq("d6"), EnPassant));
    EXPECT_EQ(Decode("e5e6"), MakeMoveWord(Sq("e5"), Sq("e6"), Quiet));
    // A junk fifth character reads as the four-character move, tests included.
    EXPECT_EQ(Decode("e5d6x"), MakeMoveWord(Sq("e5"), Sq("d6"), EnPassant));
    EXPECT_EQ(Decode("e5e6+"), MakeMoveWord(Sq("e5"), Sq("e6"), Quiet));
    // An empty origin square is decoded like a pawn.
    EXPECT_EQ(Decode("a2a4"), MakeMoveWord(Sq("a2"), Sq("a4"), Quiet));
    EXPECT_EQ(Decode("a7d5"), MakeMoveWord(Sq("a7"), Sq("d5"), Capture));
}

TEST_F(MoveTextTest, PieceMovesIgnoreTheFifthCharacter) {
    ASSERT_TRUE(ReadFen(gamePosition, InitialFen));
    const Move knight = MakeMoveWord(Sq("g1"), Sq("f3"), Quiet);
    EXPECT_EQ(Decode("g1f3"), knight);
    for (const char* text : {"g1f3q", "g1f3Q", "g1f3x", "g1f3 ", "g1f3g1f3"}) EXPECT_EQ(Decode(text), knight) << text;
    EXPECT_EQ(Decode("d1d7"), MakeMoveWord(Sq("d1"), Sq("d7"), Capture));  // legality is not examined
    EXPECT_EQ(Decode("e2e4"), MakeMoveWord(Sq("e2"), Sq("e4"), Quiet));
}

TEST_F(MoveTextTest, TextsThatAreNoMove) {
    ASSERT_TRUE(ReadFen(gamePosition, InitialFen));
    for (const char* text :
         {"i2i4", "e9e4", "e2", "e", "", "time", "e2e", "e2e9", "e0e4", "E2E4", "e2-e4", "22e4", "\xe5\xe2"})
        EXPECT_EQ(Decode(text), 0) << text;
    EXPECT_EQ(TextToMove(gamePosition, nullptr), 0);
    EXPECT_EQ(TextToMoveOnBoard(gamePosition, nullptr), 0);
}

TEST_F(MoveTextTest, SnapshotAndBoardAreSeparateSources) {
    ASSERT_TRUE(ReadFen(gamePosition, InitialFen));
    // The search may be using the Board: TextToMove does not look at it.
    gamePosition.board.pieceOn[Sq("e4")] = BlackQueen;
    gamePosition.board.castling = 0;
    EXPECT_EQ(Decode("e2e4"), MakeMoveWord(Sq("e2"), Sq("e4"), Quiet));
    EXPECT_EQ(Decode("e2e4", true), MakeMoveWord(Sq("e2"), Sq("e4"), Capture));
    EXPECT_EQ(Decode("e1g1"), 0xDF3E);
    EXPECT_EQ(Decode("e1g1", true), MakeMoveWord(60, 62, Capture));  // the knight on g1
    ASSERT_TRUE(ReadFen(gamePosition, InitialFen));
}

TEST_F(MoveTextTest, TextAndWordAgreeBothWays) {
    // Every origin, destination and non-castling kind whose text decodes back
    // to the same word in a position built to match it.
    for (int from = 0; from < 64; from += 3)
        for (int to = 0; to < 64; to += 5) {
            if (from == to) continue;
            std::memset(gamePosition.snapshot.pieceOn, 0, 64);
            gamePosition.snapshot.castling = 0;
            gamePosition.snapshot.epSquare = 0;
            gamePosition.snapshot.pieceOn[from] = WhiteKnight;
            EXPECT_EQ(TextToMove(gamePosition, Text(MakeMoveWord(from, to, Quiet)).c_str()),
                      MakeMoveWord(from, to, Quiet));
            gamePosition.snapshot.pieceOn[to] = BlackRook;
            EXPECT_EQ(TextToMove(gamePosition, Text(MakeMoveWord(from, to, Capture)).c_str()),
                      MakeMoveWord(from, to, Capture));
            gamePosition.snapshot.pieceOn[from] = WhitePawn;
            for (int kind = PromoteQueen; kind <= CapturePromoteBishop; ++kind) {
                gamePosition.snapshot.pieceOn[to] = kind >= CapturePromoteQueen ? BlackRook : Empty;
                const Move m = MakeMoveWord(from, to, kind);
                EXPECT_EQ(TextToMove(gamePosition, Text(m).c_str()), m) << Text(m);
            }
        }
    ASSERT_TRUE(ReadFen(gamePosition, InitialFen));
}

TEST_F(MoveTextTest, WriteFenFields) {
    char out[256];
    ASSERT_TRUE(ReadFen(gamePosition, InitialFen));
    char* end = WriteFen(gamePosition, out);
    EXPECT_STREQ(out, "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -");
    EXPECT_EQ(end, out + std::strlen(out));
    ASSERT_TRUE(ReadFen(gamePosition, "8/8/8/8/8/8/8/8 w - -"));
    WriteFen(gamePosition, out);
    EXPECT_STREQ(out, "8/8/8/8/8/8/8/8 w - -");
    ASSERT_TRUE(ReadFen(gamePosition, "r3k2r/8/8/8/8/8/8/R3K2R b Kq -"));
    WriteFen(gamePosition, out);
    EXPECT_STREQ(out, "r3k2r/8/8/8/8/8/8/R3K2R b Kq -");
    ASSERT_TRUE(ReadFen(gamePosition, "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1"));
    WriteFen(gamePosition, out);
    EXPECT_STREQ(out, "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3");
    ASSERT_TRUE(ReadFen(gamePosition, "k6K/1p4P1/2p2P2/8/8/2P2p2/1P4p1/7q w - -"));
    WriteFen(gamePosition, out);
    EXPECT_STREQ(out, "k6K/1p4P1/2p2P2/8/8/2P2p2/1P4p1/7q w - -");
    // Runs are counted and rank breaks come after a pending run.
    std::memset(gamePosition.board.pieceOn, 0, 64);
    gamePosition.board.pieceOn[7] = WhiteKing;
    gamePosition.board.pieceOn[56] = BlackKing;
    gamePosition.board.castling = 0;
    gamePosition.board.epSquare = 0;
    gamePosition.sideToMove = White;
    WriteFen(gamePosition, out);
    EXPECT_STREQ(out, "7K/8/8/8/8/8/8/k7 w - -");
    ASSERT_TRUE(ReadFen(gamePosition, InitialFen));
}

TEST_F(MoveTextTest, WriteFenOfTheLongestPlacementFitsItsSize) {
    ASSERT_TRUE(
        ReadFen(gamePosition, "kqqqqqqq/qqqqqqqq/qqqqqqqq/qqqqqqqq/QQQQQQQQ/QQQQQQQQ/QQQQQQQQ/QQQQQQQK w KQkq -"));
    gamePosition.board.castling = 0x1B;
    gamePosition.board.epSquare = static_cast<uint8_t>(Sq("e3"));
    char out[256];
    const char* end = WriteFen(gamePosition, out);
    EXPECT_EQ(end - out, FenTextSize - 1);
    ASSERT_TRUE(ReadFen(gamePosition, InitialFen));
}

TEST_F(MoveTextTest, PrintBoardDiagram) {
    ASSERT_TRUE(ReadFen(gamePosition, InitialFen));
    const std::string diagram = test::StdoutOf([&] { PrintBoard(gamePosition.board.pieceOn); });
    EXPECT_EQ(diagram,
              "\n8 r n b q k b n r "
              "\n7 p p p p p p p p "
              "\n6 . . . . . . . . "
              "\n5 . . . . . . . . "
              "\n4 . . . . . . . . "
              "\n3 . . . . . . . . "
              "\n2 P P P P P P P P "
              "\n1 R N B Q K B N R "
              "\n\n  A B C D E F G H\n");
}

TEST_F(MoveTextTest, PrintBoardOfAnyArray) {
    uint8_t pieces[64] = {};
    pieces[63] = WhiteKing;
    pieces[0] = 200;  // no piece code: printed as '?' rather than read out of range
    const std::string diagram = test::StdoutOf([&] { PrintBoard(pieces); });
    EXPECT_EQ(diagram.substr(0, 20), "\n8 ? . . . . . . . \n");
    EXPECT_NE(diagram.find("\n1 . . . . . . . K \n"), std::string::npos);
    EXPECT_EQ(diagram.size(), 8 * 19 + 20u);  // eight "\nD " lines of 19, then the file line
}

}  // namespace
}  // namespace kavrin
