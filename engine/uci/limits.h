// What a "go" command asks for, and the time it gives the search: a target
// for the move and a limit it never passes, from the clock figures of the
// side to move.
#pragma once

#include <cstdint>

#include "board/movegen.h"
#include "board/types.h"

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

// Moves a game in one period is planned for: the clock is spread over this
// many moves to come, each bringing its increment.
constexpr int PlannedMovesToGo = 32;
// Most moves to go the plan counts, whatever the interface says.
constexpr int MaxPlannedMovesToGo = 50;
// The limit of one move is at most this many times its target, and at most
// this share of the clock (the whole clock less a margin on the last move
// before a control).
constexpr int HardTargetMultiple = 5;
constexpr double HardClockShare = 0.3;
constexpr double LastMoveClockShare = 0.9;

// The time of one search, in milliseconds from its start.
struct TimeBudget {
    bool timed = false;  // false: only depth, nodes, mate or the interface end it
    bool fixed = false;  // "movetime": the search may use the whole limit
    int targetMs = 0;    // what the move should take, before the search's own stretch
    int limitMs = 0;     // never passed
};

// The budget for the side to move: its clock and increment spread over the
// moves to go, less the overhead of each move. "movetime" caps both.
TimeBudget PlanTime(const GoRequest& request, int side, int overheadMs);

// The decision after each finished iteration of a timed search: whether the
// next one may start. It stretches the target up to twice when the best move
// changes or the score drops, and starts no iteration that cannot finish
// before the limit.
class IterationClock {
  public:
    explicit IterationClock(const TimeBudget& budget = {}) : budget_(budget) {}
    // elapsedMs since the clock started; the iteration's best move and score.
    bool StartsAnother(int elapsedMs, Move best, int score);

  private:
    TimeBudget budget_;
    Move lastBest_ = 0;
    int lastScore_ = 0;
    int lastElapsedMs_ = 0;
    int iterations_ = 0;
    double unsettled_ = 0;  // recent changes of the best move, the older ones weighing less
};

}  // namespace kavrin
