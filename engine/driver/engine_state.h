// The xboard front end's own state: what it does with an incoming move, the
// time control it was given and the reply it ponders on. The limits and the
// result of a search are the search's (search/control.h).
#pragma once

#include <cstdint>

#include "board/types.h"

namespace kavrin {

enum EngineMode : int { Force = 0, Thinking = 1, Pondering = 2, Playing = 3, Quit = 4 };

struct EngineState {
    EngineMode mode = Playing;
    bool ponderEnabled = true;
    int movesPerControl = 35;
    int incrementMs = 0;
    Move ponderMove = 0;
};

extern EngineState engineState;

}  // namespace kavrin
