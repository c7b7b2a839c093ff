#include "uci/bench.h"

#include <cinttypes>
#include <cstdio>

#include "board/tables.h"
#include "search/benchmark.h"
#include "search/engine.h"

namespace kavrin {

void RunUciBench(Engine& engine, int depthReduction) {
    BuildTables();
    uint64_t nodes = 0;
    double seconds = 0;
    int index = 0;
    for (const BenchmarkPosition& p : BenchmarkPositions) {
        const int depth = BenchmarkDepth(p, depthReduction);
        const SearchCounts c = SearchFixedDepth(engine, p, depth);
        nodes += c.nodes;
        seconds += c.seconds;
        std::printf("position %2d/%d %-18s depth %2d nodes %10" PRIu64 "\n", ++index, BenchmarkPositionCount, p.name,
                    depth, c.nodes);
    }
    const uint64_t nps = seconds > 0 ? static_cast<uint64_t>(static_cast<double>(nodes) / seconds) : 0;
    std::printf("time %.0f ms\n", seconds * 1000);
    std::printf("%" PRIu64 " nodes %" PRIu64 " nps\n", nodes, nps);
    std::fflush(stdout);
}

}  // namespace kavrin
