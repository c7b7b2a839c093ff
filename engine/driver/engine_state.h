// The driver's state shared with the search: mode, time budget, stop flag
// and the search's result.
#pragma once

#include <cstdint>

#include "board/types.h"

namespace kavrin {

enum EngineMode : int { Force = 0, Thinking = 1, Pondering = 2, Playing = 3, Quit = 4 };

struct EngineState {
    EngineMode mode = Playing;
    bool ponderEnabled = true;
    int movesPerControl = 35;
    int movesToGo = 35;
    int incrementMs = 0;
    int timeAllotment = 0;
    int searchStart = 0;
    bool stopSearch = false;
    int maxDepth = 0;
    Move ponderMove = 0;
    Move bestMove = 0;
    int16_t bestScore = 0;
};

extern EngineState engineState;

}  // namespace kavrin
