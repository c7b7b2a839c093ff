// kavrin-uci: the engine for interfaces that speak UCI. "kavrin-uci bench
// [classic] [depth reduction]" runs the fixed-depth benchmark instead, with
// kavrin-uci's own search or, given "classic", with kavrin's.
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
        int depthReduction = 0;
        engine->Options().profile = kavrin::SearchProfile::Modern;
        for (int i = 2; i < argc; ++i) {
            if (std::strcmp(argv[i], "classic") == 0) {
                engine->Options().profile = kavrin::SearchProfile::Classic;
            } else {
                depthReduction = std::atoi(argv[i]);
            }
        }
        kavrin::RunUciBench(*engine, depthReduction);
        return 0;
    }
    const auto session = std::make_unique<kavrin::UciSession>(*engine);
    kavrin::UciLoop(*session);
    return 0;
}
