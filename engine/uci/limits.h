// What a "go" command asks for, and the time it gives the search: the
// engine's own time rule applied to the UCI clock figures.
#pragma once

#include <cstdint>

#include "board/movegen.h"
#include "board/types.h"

namespace kavrin {

// The least allotment of a timed search, unless the clock itself has less.
constexpr int MinimumAllotmentMs = 10;

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

// The time of one search, in milliseconds from its start.
struct TimeBudget {
    bool timed = false;  // false: only depth, nodes, mate or the interface end it
    int allotmentMs = 0;
    int ceilingMs = 0;  // never passed, also when a fail low buys more time
    int movesToGo = 0;
};

// The budget for side to move at game ply ply: remaining time in
// centiseconds, the moves to the control (movestogo, else the engine's rule
// for a game in one period) and the increment exactly give the engine's
// allotment; the overhead comes off it, and the ceiling is the remaining
// time less the overhead. "movetime" caps both.
TimeBudget PlanTime(const GoRequest& request, int side, uint16_t ply, int overheadMs);

}  // namespace kavrin
