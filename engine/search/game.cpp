#include "search/game.h"

#include "board/board.h"
#include "board/legal.h"
#include "board/makemove.h"
#include "search/threads.h"
#include "search/tt.h"

namespace kavrin {

Position gamePosition;

bool GameHasRoom(const Position& game, int moves) { return game.HistoryIndex() + moves <= GameHistoryLimit; }

bool PlayGameMove(Position& game, Move m) {
    if (m == 0) return false;
    UndoRecord undo;
    SaveForMake(game, undo);
    MakeMove(game, m, undo);
    ++game.gamePly;
    SyncGameSnapshot(game);
    searchThreads.ClearHistories();
    return true;
}

Move TablePonderMove(Position& pos) {
    TTEntry entry;
    if (!ProbeTT(pos, entry)) return 0;
    const Move m = EntryMove(entry);
    return IsLegalMove(pos, m) ? m : 0;
}

}  // namespace kavrin
