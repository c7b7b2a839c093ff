#include "search/timeman.h"

#include <algorithm>
#include <climits>

namespace kavrin {

int MovesToGo(int movesPerControl, uint16_t ply) {
    if (movesPerControl <= 0) return DefaultMovesToGo;
    int movesPlayed = ply >> 1;
    return movesPerControl - movesPlayed % movesPerControl;
}

int TimeAllotment(int remainingCs, int movesToGo, int incrementMs) {
    int share = remainingCs / movesToGo;
    if (share >= LargeShareCs) {
        share -= LargeShareMarginCs;
    } else if (share >= SmallShareCs) {
        share -= SmallShareMarginCs;
    }
    // Centiseconds to milliseconds; on the last move before the control a
    // tenth of the share is kept back. Unsigned arithmetic gives the wrap.
    uint32_t factor = movesToGo == 1 ? 9u : 10u;
    uint32_t ms = static_cast<uint32_t>(share) * factor + static_cast<uint32_t>(incrementMs);
    return static_cast<int>(ms);
}

namespace {

// An iteration usually takes a few times the one before it.
constexpr int IterationGrowth = 3;
// No iteration starts once this share of the stretched target is gone.
constexpr double StartShare = 0.55;
// A score drop of this many centipawns or more stretches the target most.
constexpr int WorstScoreDrop = 100;

}  // namespace

TimeBudget PlanTime(const MoveClock& clock) {
    TimeBudget budget;
    int64_t target = INT32_MAX;
    int64_t limit = INT32_MAX;
    const int remaining = clock.remainingMs;
    const int overheadMs = clock.overheadMs;
    if (remaining >= 0) {
        budget.timed = true;
        const int64_t usable = std::max<int64_t>(static_cast<int64_t>(remaining) - overheadMs, 1);
        const int increment = std::max(clock.incrementMs, 0);
        const int movesToGo = clock.movesToGo > 0 ? std::min(clock.movesToGo, MaxPlannedMovesToGo) : PlannedMovesToGo;
        // The increments to come count in full where they outlast the
        // overhead each move costs.
        const int64_t pool = usable + static_cast<int64_t>(std::max(increment - overheadMs, 0)) * (movesToGo - 1);
        target = pool / movesToGo;
        const double share = movesToGo == 1 ? LastMoveClockShare : HardClockShare;
        limit = std::min<int64_t>(static_cast<int64_t>(static_cast<double>(usable) * share) +
                                      (movesToGo == 1 ? 0 : std::max(increment - overheadMs, 0)),
                                  target * HardTargetMultiple);
        limit = std::min(limit, usable);
    }
    if (clock.moveTimeMs >= 0) {
        budget.timed = true;
        budget.fixed = remaining < 0;
        const int64_t moveTime = std::max<int64_t>(static_cast<int64_t>(clock.moveTimeMs) - overheadMs, 1);
        target = std::min(target, moveTime);
        limit = std::min(limit, moveTime);
    }
    if (!budget.timed) return budget;
    limit = std::max<int64_t>(limit, 1);
    budget.limitMs = static_cast<int>(limit);
    budget.targetMs = static_cast<int>(std::clamp<int64_t>(target, 1, limit));
    return budget;
}

bool IterationClock::StartsAnother(int elapsedMs, Move best, int score) {
    const int iterationMs = elapsedMs - lastElapsedMs_;
    lastElapsedMs_ = elapsedMs;
    if (iterations_++ > 0) {
        unsettled_ = unsettled_ / 2 + (best != lastBest_ ? 1 : 0);
    }
    const int drop = iterations_ > 1 ? std::clamp(lastScore_ - score, 0, WorstScoreDrop) : 0;
    lastBest_ = best;
    lastScore_ = score;
    // A fixed time per move is used whole.
    if (!budget_.timed || budget_.fixed) return true;
    // The next iteration must be able to finish before the limit.
    if (static_cast<int64_t>(elapsedMs) + static_cast<int64_t>(iterationMs) * IterationGrowth > budget_.limitMs)
        return false;
    const double stretch = std::min(2.0, 1.0 + 0.4 * unsettled_ + 0.5 * static_cast<double>(drop) / WorstScoreDrop);
    const double target = std::min(budget_.targetMs * stretch, static_cast<double>(budget_.limitMs));
    return elapsedMs < target * StartShare;
}

void TimeManagement::Start(SearchLimits& limits, int start) {
    const TimeBudget budget = PlanTime(limits.moveClock);
    limits.searchStart = start;
    limits.untimed = !budget.timed;
    limits.timeAllotment = budget.limitMs;
    limits.timeCeiling = budget.timed ? budget.limitMs : INT_MAX;
    limits.movesToGo = 0;
    startMs = start;
    clock = IterationClock(budget);
}

}  // namespace kavrin
