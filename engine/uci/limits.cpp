#include "uci/limits.h"

#include <algorithm>

#include "search/timeman.h"

namespace kavrin {

TimeBudget PlanTime(const GoRequest& request, int side, uint16_t ply, int overheadMs) {
    TimeBudget budget;
    int64_t allotment = INT32_MAX;
    int64_t ceiling = INT32_MAX;
    const int remaining = request.remainingMs[side];
    if (remaining >= 0) {
        budget.timed = true;
        budget.movesToGo = request.movesToGo > 0 ? request.movesToGo : MovesToGo(0, ply);
        // The increment is added in 64 bits: no increment wraps the sum.
        allotment = static_cast<int64_t>(TimeAllotment(remaining / 10, budget.movesToGo, 0)) +
                    std::max(request.incrementMs[side], 0) - overheadMs;
        ceiling = static_cast<int64_t>(remaining) - overheadMs;
    }
    if (request.moveTimeMs >= 0) {
        budget.timed = true;
        const int64_t moveTime = static_cast<int64_t>(request.moveTimeMs) - overheadMs;
        allotment = std::min(allotment, moveTime);
        ceiling = std::min(ceiling, moveTime);
    }
    if (!budget.timed) return budget;
    ceiling = std::max<int64_t>(ceiling, 1);
    allotment = std::min(std::max<int64_t>(allotment, MinimumAllotmentMs), ceiling);
    budget.allotmentMs = static_cast<int>(allotment);
    budget.ceilingMs = static_cast<int>(ceiling);
    return budget;
}

}  // namespace kavrin
