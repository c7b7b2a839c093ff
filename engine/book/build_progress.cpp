#include "book/build_progress.h"

#include <unistd.h>

#include <cstdio>

#include "system/clock.h"

namespace kavrin {

namespace {

// How often the line is shown: on a terminal, and elsewhere.
constexpr int TerminalEveryMs = 250;
constexpr int LogEveryMs = 10000;

}  // namespace

BuildProgress::BuildProgress() : terminal_(isatty(2) != 0), started_(ClockMs()) {}

bool BuildProgress::Due() {
    const int now = ClockMs();
    if (shownAt_ < 0) shownAt_ = now;  // the first line after a first interval
    if (now - shownAt_ < (terminal_ ? TerminalEveryMs : LogEveryMs)) return false;
    shownAt_ = now;
    return true;
}

void BuildProgress::Reading(const GameReadCounts& counts, uint64_t fileBytes, uint64_t fileSize) {
    if (!Due()) return;
    const int elapsed = ClockMs() - started_;
    const unsigned long long games = counts.converted + counts.skipped + counts.leftOut;
    const unsigned long long perSecond = elapsed > 0 ? games * 1000 / static_cast<unsigned>(elapsed) : 0;
    char share[16] = "";
    if (fileSize > 0) std::snprintf(share, sizeof share, "%3d%% ", static_cast<int>(fileBytes * 100 / fileSize));
    std::fprintf(stderr, "%skavrin-book: reading %s%llu games, %llu positions, %llu games/s, %llu runs%s",
                 terminal_ ? "\r" : "", share, games, static_cast<unsigned long long>(counts.positions), perSecond,
                 static_cast<unsigned long long>(runs_), terminal_ ? "  " : "\n");
    lineOpen_ = terminal_;
}

void BuildProgress::Merging(uint64_t done, uint64_t total) {
    if (total == 0 || !Due()) return;
    std::fprintf(stderr, "%skavrin-book: merging %llu runs %3d%%%s", terminal_ ? "\r" : "",
                 static_cast<unsigned long long>(runs_), static_cast<int>(done * 100 / total), terminal_ ? "  " : "\n");
    lineOpen_ = terminal_;
}

void BuildProgress::Done() {
    if (lineOpen_) std::fprintf(stderr, "\n");
    lineOpen_ = false;
    shownAt_ = -1;
}

}  // namespace kavrin
