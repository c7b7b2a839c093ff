// The time rules: kavrin's, the share of the remaining clock one move may
// use, and kavrin-uci's, a plan for each move with a target and a limit that
// the main search thread keeps.
#pragma once

#include <cstdint>

#include "board/types.h"
#include "search/control.h"

namespace kavrin {

// Moves assumed to the control when the whole game is one period.
constexpr int DefaultMovesToGo = 33;
// Per-move shares from these many centiseconds on keep a safety margin back.
constexpr int LargeShareCs = 500;
constexpr int LargeShareMarginCs = 100;
constexpr int SmallShareCs = 220;
constexpr int SmallShareMarginCs = 50;

// Moves to the next control for a period of movesPerControl moves at game ply
// gamePly; DefaultMovesToGo when the whole game is one period (0, or a
// negative count, which no interface sends).
int MovesToGo(int movesPerControl, uint16_t gamePly);

// Milliseconds for one move with remainingCs centiseconds left and movesToGo
// moves to the control. Computed in 32-bit two's-complement arithmetic, so an
// extreme remaining time wraps exactly as the original budget did.
int TimeAllotment(int remainingCs, int movesToGo, int incrementMs);

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
    bool fixed = false;  // a fixed time for the move: the search may use the whole limit
    int targetMs = 0;    // what the move should take, before the search's own stretch
    int limitMs = 0;     // never passed
};

// The budget of the side to move: its clock and increment spread over the
// moves to go, less the overhead of each move. A fixed time caps both.
TimeBudget PlanTime(const MoveClock& clock);

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

// The time of one move of a search that plans its own (SearchLimits::
// plansTime), kept by the main thread: the plan, and the decision after each
// iteration.
class TimeManagement {
  public:
    // Plans the move on limits.moveClock from startMs: the limits' time
    // fields take the plan (its limit; a fail low buys no time of its own).
    void Start(SearchLimits& limits, int startMs);
    // Whether another iteration may start at nowMs.
    bool StartsAnother(int nowMs, Move best, int score) { return clock.StartsAnother(nowMs - startMs, best, score); }

  private:
    IterationClock clock;
    int startMs = 0;
};

}  // namespace kavrin
