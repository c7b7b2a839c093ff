// Counting the tree of legal moves: the "perft" command.
#pragma once

#include <cstdint>

namespace kavrin {

// Moves made by the last perft report, legal or not (32 bits, wrapping).
extern uint32_t perftMoveCount;

// Number of positions at plies 1 to depth below the Board's position
// (interior positions included), walking from the PlyRecord at currentPly,
// whose list starts where the previous record's list ends. Leaves the Board
// and currentPly as it found them. 0 for depth < 1 or a Board that is not
// playable.
uint64_t Perft(int depth);

// Prints the perft report for depths 1 to depth (at most MaxDepth):
// one row per depth with its time and count, then the totals.
void RunPerft(int depth);

}  // namespace kavrin
