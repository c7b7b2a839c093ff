// The quiescence search: captures (and evasions on paths that met a check)
// below the horizon of the full-width search.
#pragma once

#include <cstdint>

#include "board/types.h"

namespace kavrin {

// Deepest quiescence ply below the first one.
constexpr int QuiesceDepthLimit = -8;
// Deepest ply the ply records allow; a node there scores its children
// statically.
constexpr int DeepestPly = PlyStackSize - 1;

// Deepest node ply of the current search: DeepestPly, or less when the
// position history has no room for a line that long. Set by the root search.
extern int deepestSearchPly;

// Score of the position for the side to move; depth runs from 0 down to
// QuiesceDepthLimit, ply is the distance from the root (currentPly's record).
int16_t Quiesce(int depth, int ply, int16_t alpha, int16_t beta);

// True when the move stack above the previous ply's list has room for one
// more list of any length.
bool MoveStackHasRoom();

}  // namespace kavrin
