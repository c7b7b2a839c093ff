// Sections of the benchmark executable.
#pragma once

namespace kavrin::bench {

void RunPerftBench();
void RunSearchBench();
void RunConvertBench();

}  // namespace kavrin::bench
