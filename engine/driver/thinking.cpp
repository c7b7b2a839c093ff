#include "driver/thinking.h"

#include <cstdio>

#include "driver/input.h"
#include "system/log.h"

namespace kavrin {

namespace {

// Ply, score, time (always 0), nodes and the variation; none while pondering.
void PrintThinkingLine(const IterationReport& report) {
    if (report.pondering) return;
    std::printf("    %d     %d     %d     %d  %s\n", report.depth, static_cast<int>(report.score), 0,
                static_cast<int>(report.nodes), report.pvText);
    std::fflush(stdout);
}

void WriteLogLine(const char* line) { logStream << line << std::endl; }

bool InterfaceHasSpoken() { return InputPending() != 0; }

}  // namespace

const SearchHooks XboardSearchHooks{PrintThinkingLine, WriteLogLine, InterfaceHasSpoken};

}  // namespace kavrin
