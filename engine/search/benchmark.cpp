#include "search/benchmark.h"

#include <time.h>

#include <chrono>

#include "board/fen.h"
#include "search/control.h"
#include "search/reset.h"
#include "search/root.h"

namespace kavrin {

double ProcessSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

SearchCounts SearchFixedDepth(const BenchmarkPosition& p, int depth) {
    ReadFen(p.fen);
    ResetSearchState();
    searchHooks = SearchHooks{};
    searchLimits = SearchLimits{};
    searchLimits.maxDepth = depth;
    searchLimits.untimed = true;
    searchLimits.movesToGo = 0;
    stopSearch = false;
    const auto start = std::chrono::steady_clock::now();
    const double cpuStart = ProcessSeconds();
    const Move best = IterativeDeepening();
    const double cpuSeconds = ProcessSeconds() - cpuStart;
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return SearchCounts{nodeCount, quiesceMoveCount, best, searchResult.bestScore, seconds, cpuSeconds};
}

}  // namespace kavrin
