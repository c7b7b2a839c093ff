#include "support/board_setup.h"

#include <cctype>
#include <string>
#include <vector>

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

std::string MirrorFen(const std::string& fen) {
    const size_t space = fen.find(' ');
    std::string placement = fen.substr(0, space);
    std::vector<std::string> ranks;
    for (size_t start = 0;;) {
        const size_t slash = placement.find('/', start);
        ranks.push_back(placement.substr(start, slash - start));
        if (slash == std::string::npos) break;
        start = slash + 1;
    }
    std::string mirrored;
    for (size_t i = ranks.size(); i-- > 0;) {
        for (char c : ranks[i])
            mirrored +=
                std::isalpha(static_cast<unsigned char>(c)) ? (std::isupper(c) ? std::tolower(c) : std::toupper(c)) : c;
        if (i) mirrored += '/';
    }
    const char side = fen[space + 1] == 'w' ? 'b' : 'w';
    const size_t castlingStart = space + 3;
    const size_t castlingEnd = fen.find(' ', castlingStart);
    std::string castling = fen.substr(castlingStart, castlingEnd - castlingStart);
    for (char& c : castling)
        if (c != '-') c = std::isupper(c) ? static_cast<char>(std::tolower(c)) : static_cast<char>(std::toupper(c));
    std::string ep = fen.substr(castlingEnd + 1);
    if (ep[0] != '-') ep[1] = static_cast<char>('1' + ('8' - ep[1]));
    return mirrored + ' ' + side + ' ' + castling + ' ' + ep;
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
