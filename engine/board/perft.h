// Counting the tree of legal moves: the "perft" command.
#pragma once

#include <cstdint>

#include "board/board.h"

namespace kavrin {

// Number of positions at plies 1 to depth below the position (interior
// positions included), adding the moves made, legal or not, to *movesMade
// when it is given (32 bits, wrapping). The walk
// runs on ply records 1 and up, the first list at the bottom of a move stack
// of MoveStackSize entries; a line too deep for either counts no further.
// Leaves the position as it found it. 0 for depth < 1 or a position where
// play may not start.
uint64_t Perft(Position& pos, int depth, uint32_t* movesMade = nullptr);

// Prints the perft report for depths 1 to depth (at most MaxDepth):
// one row per depth with its time and count, then the totals.
void RunPerft(Position& pos, int depth);

}  // namespace kavrin
