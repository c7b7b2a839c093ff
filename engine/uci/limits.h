// What a "go" command asks for, and the clock it gives the search.
#pragma once

#include <cstdint>

#include "board/movegen.h"
#include "board/types.h"
#include "search/control.h"

namespace kavrin {

struct GoRequest {
    int remainingMs[2] = {-1, -1};  // [Black], [White]; -1: not given
    int incrementMs[2] = {0, 0};
    int movesToGo = 0;  // 0: not given (the rest of the game is one period)
    int moveTimeMs = -1;
    int depth = 0;       // 0: no depth limit
    uint64_t nodes = 0;  // 0: no node limit
    int mate = 0;        // moves; 0: no mate search
    bool infinite = false;
    bool ponder = false;
    // Root moves to search, all legal; none: every move.
    Move searchMoves[MaxGeneratedMoves];
    int searchMoveCount = 0;
};

// The clock of side in the request, less overheadMs a move, as the search
// plans a move's time from it.
MoveClock ClockOf(const GoRequest& request, int side, int overheadMs);

}  // namespace kavrin
