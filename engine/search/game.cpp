#include "search/game.h"

#include "board/board.h"
#include "board/legal.h"
#include "board/makemove.h"
#include "search/movepick.h"
#include "search/tt.h"

namespace kavrin {

bool GameHasRoom(int moves) { return HistoryIndex() + moves <= GameHistoryLimit; }

bool PlayGameMove(Move m) {
    if (m == 0) return false;
    SaveForMake(currentPly);
    MakeMove(m, currentPly);
    ++gamePly;
    SyncGameSnapshot();
    ClearHistoryTable();
    return true;
}

Move TablePonderMove() {
    const TTEntry* entry = ProbeTT();
    if (entry == nullptr) return 0;
    const Move m = EntryMove(*entry);
    return IsLegalMove(m) ? m : 0;
}

}  // namespace kavrin
