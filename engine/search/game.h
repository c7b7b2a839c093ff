// The game the front ends play: game moves on the game position, the room
// the position history leaves for them, and the table's reply to ponder on.
#pragma once

#include "board/board.h"
#include "board/types.h"

namespace kavrin {

// The game position of the front end that runs: the Board every command and
// game move works on. A search copies it and leaves it as it was.
extern Position gamePosition;

// History entries a game may fill: what is left must hold a ponder move and
// the deepest search line after it.
constexpr int GameHistoryLimit = HistorySize - PlyStackSize - 2;

// Whether the game has room in the history for `moves` more game moves and a
// search after them.
bool GameHasRoom(const Position& game, int moves);
// Plays m into the game (it must be legal): the Board, the game ply and
// snapshot move on, and the search threads' history counters start afresh.
// False when m is 0.
bool PlayGameMove(Position& game, Move m);
// The table's move for the position, when it is a legal move; else 0.
Move TablePonderMove(Position& pos);

}  // namespace kavrin
