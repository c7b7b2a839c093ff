#include "bench.h"

namespace kavrin::bench {

void RunSearchBench() {}

}  // namespace kavrin::bench
