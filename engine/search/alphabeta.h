// The full-width search below the root.
#pragma once

#include <cstdint>

#include "board/types.h"
#include "search/quiesce.h"

namespace kavrin {

// A full-width node at this ply or deeper hands its children to the
// quiescence search, which then has its plies left in the ply records.
constexpr int DeepestFullWidthPly = DeepestPly + QuiesceDepthLimit;

// Nodes on the current path at which each colour was in check.
extern int checkCount[2];
// Deepest ply of the current search that still searches full width; lower
// than DeepestFullWidthPly when the position history is nearly full.
extern int deepestFullWidthPly;

// Score of the Board's position for the side to move, searched depth plies
// deep (depth >= 1) at distance ply from the root, within alpha..beta.
// nullAllowed is 0 only for the child of a null move.
int16_t AlphaBeta(int depth, int ply, int16_t alpha, int16_t beta, uint8_t nullAllowed);

}  // namespace kavrin
