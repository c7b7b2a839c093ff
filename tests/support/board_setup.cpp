#include "support/board_setup.h"

#include "board/board.h"
#include "board/fen.h"

namespace kavrin::test {

void SetUpPosition(const char* fen) {
    ASSERT_TRUE(ReadFen(fen)) << fen;
    currentPly = plyStack;
}

}  // namespace kavrin::test
