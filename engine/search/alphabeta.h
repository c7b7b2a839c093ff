// The full-width search below the root (SearchWorker::AlphaBeta).
#pragma once

#include "search/quiesce.h"

namespace kavrin {

// A full-width node at this ply or deeper hands its children to the
// quiescence search, which then has its plies left in the ply records.
constexpr int DeepestFullWidthPly = DeepestPly + QuiesceDepthLimit;

}  // namespace kavrin
