// One pass of the fixed-depth benchmark for counting instructions: under
// callgrind (tools/count-instructions) only the searches themselves are
// collected, not the table set-up and clears between positions, so the
// figure is instructions per move made by the search.
#include <cinttypes>
#include <cstdio>

#if __has_include(<valgrind/callgrind.h>)
#include <valgrind/callgrind.h>
#define KAVRIN_COLLECT_TOGGLE() CALLGRIND_TOGGLE_COLLECT
#else
#define KAVRIN_COLLECT_TOGGLE() ((void)0)
#endif

#include "bench.h"
#include "board/fen.h"
#include "search/benchmark.h"
#include "search/reset.h"
#include "search/threads.h"

namespace kavrin::bench {

void RunCountBench() {
    static Position position;
    uint64_t nodes = 0;
    uint64_t quiesce = 0;
    for (const BenchmarkPosition& p : BenchmarkPositions) {
        ReadFen(position, p.fen);
        ResetSearchState();
        KAVRIN_COLLECT_TOGGLE();
        searchThreads.Search(position, FixedDepthLimits(p.depth), SearchHooks{});
        KAVRIN_COLLECT_TOGGLE();
        nodes += searchThreads.TotalNodes();
        quiesce += searchThreads.Main().QuiesceMoves();
    }
    std::printf("count: nodes %" PRIu64 " + quiescence %" PRIu64 " = %" PRIu64 " moves made\n", nodes, quiesce,
                nodes + quiesce);
}

}  // namespace kavrin::bench
