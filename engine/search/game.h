// The game the front ends play: game moves on a game position, and the room
// the position history leaves for them.
#pragma once

#include "board/board.h"
#include "board/types.h"

namespace kavrin {

// History entries a game may fill: what is left must hold a ponder move and
// the deepest search line after it.
constexpr int GameHistoryLimit = HistorySize - PlyStackSize - 2;

// Whether the game has room in the history for `moves` more game moves and a
// search after them.
bool GameHasRoom(const Position& game, int moves);
// Plays m into the game (it must be legal): the Board, the game ply and
// snapshot move on. False when m is 0. (Engine::PlayGameMove also starts the
// search threads' history counters afresh.)
bool PlayMoveOnGame(Position& game, Move m);

}  // namespace kavrin
