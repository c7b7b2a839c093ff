// Perft speed: the start position to depth 6 and a busy middlegame position
// to depth 5, several runs each, reported as moves made per second (every
// move perft makes, legal or not, counts). The rate is taken over the
// process's CPU time, so that other load on a shared machine does not count
// against it; the wall time of each run is shown beside it.
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <memory>
#include <vector>

#include "bench.h"
#include "board/board.h"
#include "board/fen.h"
#include "board/perft.h"

namespace kavrin::bench {

namespace {

constexpr int PerftBenchRuns = 5;

struct PerftBenchPosition {
    const char* name;
    const char* fen;
    int depth;
};

constexpr PerftBenchPosition PerftBenchPositions[] = {
    {"start position", "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -", 6},
    {"middlegame", "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq -", 5},
};

double CpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

}  // namespace

void RunPerftBench() {
    std::printf("perft: moves made per second\n");
    const auto board = std::make_unique<Position>();
    Position& position = *board;
    for (const PerftBenchPosition& p : PerftBenchPositions) {
        if (!ReadFen(position, p.fen)) {
            std::printf("  %s: position not read\n", p.name);
            continue;
        }
        std::vector<double> rates;
        for (int run = 0; run < PerftBenchRuns; ++run) {
            uint32_t movesMade = 0;
            const auto started = std::chrono::steady_clock::now();
            const double cpuStarted = CpuSeconds();
            const uint64_t count = Perft(position, p.depth, &movesMade);
            const double cpu = CpuSeconds() - cpuStarted;
            const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
            const double rate = movesMade / cpu;
            rates.push_back(rate);
            std::printf("  %s depth %d run %d: %" PRIu64 " positions, %" PRIu32
                        " moves made, %.2f s CPU (%.2f s wall), %.1f M moves/s\n",
                        p.name, p.depth, run + 1, count, movesMade, cpu, wall, rate / 1e6);
        }
        std::printf("  %s depth %d: median %.1f M moves/s, minimum %.1f M moves/s\n", p.name, p.depth,
                    Median(rates) / 1e6, *std::min_element(rates.begin(), rates.end()) / 1e6);
    }
}

}  // namespace kavrin::bench
