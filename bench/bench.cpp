// Benchmark: perft speed, the fixed-depth search signature and conversion
// speed. Optional argument: "perft", "search" or "convert" to run one section,
// or "count": one search pass for counting instructions.
#include <cstring>

#include "bench.h"
#include "board/tables.h"

int main(int argc, char** argv) {
    kavrin::BuildTables();
    const char* only = argc > 1 ? argv[1] : nullptr;
    if (!only || std::strcmp(only, "perft") == 0) kavrin::bench::RunPerftBench();
    if (!only || std::strcmp(only, "search") == 0) kavrin::bench::RunSearchBench();
    if (!only || std::strcmp(only, "convert") == 0) kavrin::bench::RunConvertBench();
    if (only && std::strcmp(only, "count") == 0) kavrin::bench::RunCountBench();
    return 0;
}
