#include "support/board_setup.h"

#include "board/board.h"
#include "board/fen.h"
#include "board/legal.h"
#include "board/makemove.h"
#include "board/movegen.h"
#include "board/movetext.h"

namespace kavrin::test {

void SetUpPosition(const char* fen) {
    ASSERT_TRUE(ReadFen(fen)) << fen;
    currentPly = plyStack;
}

std::string MoveText(Move m) {
    char text[MoveTextSize];
    MoveToText(text, m);
    return text;
}

bool PlayIfLegal(const std::string& text) {
    const Move m = TextToMoveOnBoard(text.c_str());
    if (!IsLegalMove(m)) return false;
    SaveForMake(currentPly);
    MakeMove(m, currentPly);
    return true;
}

std::vector<std::string> LegalMoveTexts() {
    MoveEntry list[MaxGeneratedMoves];
    const MoveEntry* const end = GenerateLegalMoves(list);
    std::vector<std::string> texts;
    for (const MoveEntry* e = list; e != end; ++e) texts.push_back(MoveText(e->move));
    return texts;
}

}  // namespace kavrin::test
