#include "support/board_setup.h"

#include "board/board.h"
#include "board/fen.h"
#include "board/legal.h"
#include "board/makemove.h"
#include "board/movegen.h"
#include "board/movetext.h"
#include "search/game.h"
#include "support/test_engine.h"

namespace kavrin::test {

void SetUpPosition(const char* fen) { ASSERT_TRUE(ReadFen(gamePosition, fen)) << fen; }

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

std::string MoveText(Move m) {
    char text[MoveTextSize];
    MoveToText(text, m);
    return text;
}

bool PlayIfLegal(const std::string& text) {
    const Move m = TextToMoveOnBoard(gamePosition, text.c_str());
    if (!IsLegalMove(gamePosition, m)) return false;
    UndoRecord undo;
    SaveForMake(gamePosition, undo);
    MakeMove(gamePosition, m, undo);
    return true;
}

std::vector<std::string> LegalMoveTexts() {
    MoveEntry list[MaxGeneratedMoves];
    const MoveEntry* const end = GenerateLegalMoves(gamePosition, list);
    std::vector<std::string> texts;
    for (const MoveEntry* e = list; e != end; ++e) texts.push_back(MoveText(e->move));
    return texts;
}

}  // namespace kavrin::test
