#include "bench.h"

namespace kavrin::bench {

void RunConvertBench() {}

}  // namespace kavrin::bench
