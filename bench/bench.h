// Sections of the benchmark executable.
#pragma once

namespace kavrin::bench {

void RunPerftBench();
void RunSearchBench();
void RunConvertBench();
// One search pass for tools/count-instructions.
void RunCountBench();

}  // namespace kavrin::bench
