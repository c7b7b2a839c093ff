// The quiescence search (SearchWorker::Quiesce): captures, and evasions on
// paths that met a check, below the horizon of the full-width search.
#pragma once

#include "board/types.h"

namespace kavrin {

// Deepest quiescence ply below the first one.
constexpr int QuiesceDepthLimit = -8;
// Deepest ply the ply records allow; a node there scores its children
// statically.
constexpr int DeepestPly = PlyStackSize - 1;

}  // namespace kavrin
