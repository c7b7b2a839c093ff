// Fixed-depth searches of the benchmark positions: each position's node count
// and their total (the search's signature), then the speed in moves made per
// second, full-width and quiescence moves counted separately and together.
#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <memory>
#include <vector>

#include "bench.h"
#include "board/movetext.h"
#include "search/benchmark.h"
#include "search/engine.h"

namespace kavrin::bench {

namespace {

constexpr int SearchBenchRuns = 3;

}  // namespace

void RunSearchBench() {
    std::printf("search: fixed-depth signature\n");
    const auto engine = std::make_unique<Engine>();
    std::vector<double> rates;
    std::vector<double> cpuRates;
    uint64_t signature = 0;
    std::vector<uint64_t> firstRunNodes;
    for (int run = 0; run < SearchBenchRuns; ++run) {
        uint64_t nodes = 0;
        uint64_t quiesce = 0;
        double seconds = 0;
        double cpuSeconds = 0;
        for (const BenchmarkPosition& p : BenchmarkPositions) {
            const SearchCounts c = SearchFixedDepth(*engine, p, p.depth);
            nodes += c.nodes;
            quiesce += c.quiesce;
            seconds += c.seconds;
            cpuSeconds += c.cpuSeconds;
            if (run == 0) {
                firstRunNodes.push_back(c.nodes);
                char text[MoveTextSize + 8] = "-";
                if (MoveKindOf(c.best) != MarkerKind && c.best != 0) MoveToText(text, c.best);
                std::printf("  %-18s depth %2d  nodes %10" PRIu64 "  quiescence %10" PRIu64 "  best %-6s score %d\n",
                            p.name, p.depth, c.nodes, c.quiesce, text, c.score);
            }
        }
        const double rate = static_cast<double>(nodes + quiesce) / seconds;
        rates.push_back(rate);
        cpuRates.push_back(static_cast<double>(nodes + quiesce) / cpuSeconds);
        if (run == 0) {
            signature = nodes;
            std::printf("  signature (total nodes) %" PRIu64 "\n", signature);
        }
        std::printf("  run %d: %.2f s, nodes %" PRIu64 " + quiescence %" PRIu64 " = %" PRIu64
                    " moves, %.0f nodes/s, %.0f moves/s\n",
                    run + 1, seconds, nodes, quiesce, nodes + quiesce, static_cast<double>(nodes) / seconds, rate);
        std::printf("         processor time %.2f s: %.0f nodes/s, %.0f moves/s\n", cpuSeconds,
                    static_cast<double>(nodes) / cpuSeconds, cpuRates.back());
    }
    // The lines of bench/search_signature.txt: index, depth, nodes, for the
    // benchmark depths and the signature test's depths, of kavrin's search
    // and of kavrin-uci's.
    std::printf("  signature file lines:\n");
    int index = 0;
    for (const BenchmarkPosition& p : BenchmarkPositions) {
        std::printf("bench %d %d %" PRIu64 "\n", index, p.depth, firstRunNodes[index]);
        ++index;
    }
    index = 0;
    for (const BenchmarkPosition& p : BenchmarkPositions) {
        std::printf("test %d %d %" PRIu64 "\n", index++, SignatureTestDepth(p),
                    SearchFixedDepth(*engine, p, SignatureTestDepth(p)).nodes);
    }
    // The same for kavrin-uci's own search.
    engine->Options().profile = SearchProfile::Modern;
    uint64_t modernTotal = 0;
    index = 0;
    for (const BenchmarkPosition& p : BenchmarkPositions) {
        const uint64_t nodes = SearchFixedDepth(*engine, p, p.depth).nodes;
        modernTotal += nodes;
        std::printf("modern-bench %d %d %" PRIu64 "\n", index++, p.depth, nodes);
    }
    index = 0;
    for (const BenchmarkPosition& p : BenchmarkPositions) {
        std::printf("modern-test %d %d %" PRIu64 "\n", index++, SignatureTestDepth(p),
                    SearchFixedDepth(*engine, p, SignatureTestDepth(p)).nodes);
    }
    std::printf("bench-total %" PRIu64 "\nmodern-bench-total %" PRIu64 "\n", signature, modernTotal);
    engine->Options().profile = SearchProfile::Classic;
    std::sort(rates.begin(), rates.end());
    std::sort(cpuRates.begin(), cpuRates.end());
    std::printf("  median %.0f moves/s, minimum %.0f moves/s (processor time: median %.0f, minimum %.0f)\n",
                rates[rates.size() / 2], rates.front(), cpuRates[cpuRates.size() / 2], cpuRates.front());
}

}  // namespace kavrin::bench
