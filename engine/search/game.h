// The game the front ends play: game moves on the Board, the room the
// position history leaves for them, and the table's reply to ponder on.
#pragma once

#include "board/types.h"

namespace kavrin {

// History entries a game may fill: what is left must hold a ponder move and
// the deepest search line after it.
constexpr int GameHistoryLimit = HistorySize - PlyStackSize - 2;

// Whether the game has room in the history for `moves` more game moves and a
// search after them.
bool GameHasRoom(int moves);
// Plays m into the game (it must be legal): the Board, the game ply and
// snapshot move on, and the history table starts afresh. False when m is 0.
bool PlayGameMove(Move m);
// The table's move for the Board position, when it is a legal move; else 0.
Move TablePonderMove();

}  // namespace kavrin
