#include "search/game.h"

#include "board/board.h"
#include "board/makemove.h"

namespace kavrin {

bool GameHasRoom(const Position& game, int moves) { return game.HistoryIndex() + moves <= GameHistoryLimit; }

bool PlayMoveOnGame(Position& game, Move m) {
    if (m == 0) return false;
    UndoRecord undo;
    SaveForMake(game, undo);
    MakeMove(game, m, undo);
    ++game.gamePly;
    SyncGameSnapshot(game);
    return true;
}

}  // namespace kavrin
