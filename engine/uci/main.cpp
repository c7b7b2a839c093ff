// kavrin-uci: the engine for interfaces that speak UCI. "kavrin-uci bench
// [depth reduction]" runs the fixed-depth benchmark instead.
#include <cstdlib>
#include <cstring>

#include "uci/bench.h"
#include "uci/loop.h"

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "bench") == 0) {
        kavrin::RunUciBench(argc > 2 ? std::atoi(argv[2]) : 0);
        return 0;
    }
    kavrin::UciLoop();
    return 0;
}
