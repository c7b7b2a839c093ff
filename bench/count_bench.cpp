// One pass of the fixed-depth benchmark for counting instructions: under
// callgrind (tools/count-instructions) only the searches themselves are
// collected, not the table set-up and clears between positions, so the
// figure is instructions per move made by the search.
#include <cinttypes>
#include <cstdio>
#include <memory>

#if __has_include(<valgrind/callgrind.h>)
#include <valgrind/callgrind.h>
#define KAVRIN_COLLECT_TOGGLE() CALLGRIND_TOGGLE_COLLECT
#else
#define KAVRIN_COLLECT_TOGGLE() ((void)0)
#endif

#include "bench.h"
#include "board/fen.h"
#include "search/benchmark.h"
#include "search/engine.h"

namespace kavrin::bench {

void RunCountBench() {
    const auto engine = std::make_unique<Engine>();
    uint64_t nodes = 0;
    uint64_t quiesce = 0;
    for (const BenchmarkPosition& p : BenchmarkPositions) {
        ReadFen(engine->Game(), p.fen);
        engine->ResetSearchState();
        KAVRIN_COLLECT_TOGGLE();
        engine->Search(FixedDepthLimits(p.depth), nullptr);
        KAVRIN_COLLECT_TOGGLE();
        nodes += engine->Threads().TotalNodes();
        quiesce += engine->Threads().Main().QuiesceMoves();
    }
    std::printf("count: nodes %" PRIu64 " + quiescence %" PRIu64 " = %" PRIu64 " moves made\n", nodes, quiesce,
                nodes + quiesce);
}

}  // namespace kavrin::bench
