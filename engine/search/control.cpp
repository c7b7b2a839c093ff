#include "search/control.h"

#include <cstdarg>
#include <cstdio>

#include "system/clock.h"

namespace kavrin {

SearchLimits searchLimits;
SearchResult searchResult;
SearchHooks searchHooks;
bool stopSearch = false;
uint32_t nodeCount = 0;
uint64_t quiesceMoveCount = 0;
int selDepth = 0;
RootProgress rootProgress;
uint32_t nextPollAt = PollInterval;

namespace {

// Longest note line: the variation text of an iteration and its prefix.
constexpr int LogLineSize = 4200;

}  // namespace

int64_t RemainingMs() {
    if (searchLimits.untimed) return 1;
    const int budget = searchLimits.timeAllotment < searchLimits.timeCeiling ? searchLimits.timeAllotment
                                                                             : searchLimits.timeCeiling;
    return static_cast<int64_t>(searchLimits.searchStart) + budget - ClockMs();
}

void SearchLog(const char* format, ...) {
    if (searchHooks.logLine == nullptr) return;
    char line[LogLineSize];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    searchHooks.logLine(line);
}

}  // namespace kavrin
