#include "search/benchmark.h"

#include <time.h>

#include <chrono>

#include "board/fen.h"
#include "search/control.h"
#include "search/engine.h"
#include "search/root.h"
#include "search/threads.h"

namespace kavrin {

double ProcessSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

SearchLimits FixedDepthLimits(int depth) {
    SearchLimits limits;
    limits.maxDepth = depth;
    limits.untimed = true;
    limits.movesToGo = 0;
    return limits;
}

SearchCounts SearchFixedDepth(Engine& engine, const BenchmarkPosition& p, int depth) {
    ReadFen(engine.Game(), p.fen);
    engine.ResetSearchState();
    const SearchLimits limits = FixedDepthLimits(depth);
    const auto start = std::chrono::steady_clock::now();
    const double cpuStart = ProcessSeconds();
    const Move best = engine.Search(limits, nullptr);
    const double cpuSeconds = ProcessSeconds() - cpuStart;
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const SearchWorker& main = engine.Threads().Main();
    return SearchCounts{
        engine.Threads().TotalNodes(), main.QuiesceMoves(), best, main.Result().bestScore, seconds, cpuSeconds};
}

}  // namespace kavrin
