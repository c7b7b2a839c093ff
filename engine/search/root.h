// The root search and iterative deepening with its aspiration window
// (SearchWorker::RootSearch and SearchWorker::IterativeDeepening), and the
// principal variation read back from the table.
#pragma once

#include "board/types.h"

namespace kavrin {

// Every search starts with this iteration (or deeper, from the table).
constexpr int FirstIterationDepth = 2;
constexpr int AspirationHalfWidth = 30;
constexpr int WideWindow = MateValue;  // -8100 .. 8100
constexpr int FailHighCeiling = MateValue - 1;
// bestScore of a search that has found nothing yet.
constexpr int NoScore = -9999;
// Longest variation shown, in moves.
constexpr int PvMovesShown = 12;
// Longest line of a ranked root move: its move and the variation after it.
constexpr int LineMovesShown = 64;
constexpr int PvTextSize = 4096;

}  // namespace kavrin
