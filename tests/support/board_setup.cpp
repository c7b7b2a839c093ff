#include "support/board_setup.h"

#include <filesystem>
#include <unistd.h>

#include "board/board.h"
#include "board/fen.h"
#include "board/tables.h"

namespace kavrin::test {

void SetUpPosition(const char* fen) {
    static const bool built = (BuildTables(), true);
    (void)built;
    ASSERT_TRUE(ReadFen(fen)) << fen;
    currentPly = plyStack;
}

void ExpectSameBoard(const Board& a, const Board& b) {
    EXPECT_EQ(a.occupied, b.occupied);
    EXPECT_EQ(a.occupiedFiles, b.occupiedFiles);
    EXPECT_EQ(a.occupiedA1H8, b.occupiedA1H8);
    EXPECT_EQ(a.occupiedA8H1, b.occupiedA8H1);
    for (int code = WhitePawn; code <= BlackQueen; ++code)
        EXPECT_EQ(a.pieceBitboard[code], b.pieceBitboard[code]) << code;
    EXPECT_EQ(a.colourOccupied[Black], b.colourOccupied[Black]);
    EXPECT_EQ(a.colourOccupied[White], b.colourOccupied[White]);
    EXPECT_EQ(a.hashKey, b.hashKey);
    EXPECT_EQ(a.pawnKey, b.pawnKey);
    EXPECT_EQ(a.epSquare, b.epSquare);
    EXPECT_EQ(a.totalMaterial, b.totalMaterial);
    for (int s = 0; s < 64; ++s) EXPECT_EQ(a.pieceOn[s], b.pieceOn[s]) << "square " << s;
    EXPECT_EQ(a.kingSquare[Black], b.kingSquare[Black]);
    EXPECT_EQ(a.kingSquare[White], b.kingSquare[White]);
    EXPECT_EQ(a.castling, b.castling);
    EXPECT_EQ(a.nonPawnMaterial[Black], b.nonPawnMaterial[Black]);
    EXPECT_EQ(a.nonPawnMaterial[White], b.nonPawnMaterial[White]);
    EXPECT_EQ(a.pawnCount[Black], b.pawnCount[Black]);
    EXPECT_EQ(a.pawnCount[White], b.pawnCount[White]);
}

void InScratchFolder::SetUp() {
    char pattern[] = "/tmp/kavrin_test_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder_ = pattern;
    previous_ = std::filesystem::current_path().string();
    std::filesystem::current_path(folder_);
}

void InScratchFolder::TearDown() {
    if (folder_.empty()) return;
    std::filesystem::current_path(previous_);
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
    EXPECT_FALSE(std::filesystem::exists(folder_));
}

}  // namespace kavrin::test
