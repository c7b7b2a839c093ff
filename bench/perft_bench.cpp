#include "bench.h"

namespace kavrin::bench {

void RunPerftBench() {}

}  // namespace kavrin::bench
