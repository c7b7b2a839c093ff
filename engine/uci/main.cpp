// kavrin-uci: the engine for interfaces that speak UCI. "kavrin-uci bench
// [depth reduction]" runs the fixed-depth benchmark instead.
#include <cstdlib>
#include <cstring>
#include <memory>

#include "search/engine.h"
#include "uci/bench.h"
#include "uci/loop.h"
#include "uci/session.h"

int main(int argc, char** argv) {
    const auto engine = std::make_unique<kavrin::Engine>();
    if (argc > 1 && std::strcmp(argv[1], "bench") == 0) {
        kavrin::RunUciBench(*engine, argc > 2 ? std::atoi(argv[2]) : 0);
        return 0;
    }
    const auto session = std::make_unique<kavrin::UciSession>(*engine);
    kavrin::UciLoop(*session);
    return 0;
}
