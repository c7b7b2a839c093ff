// Recomputes the position from scratch and compares it with the incremental
// state; debug builds run it after every make and unmake.
#pragma once

#include "board/board.h"

namespace kavrin {

// True when bitboards, occupancies (plain and rotated), piece array, king
// squares, material counters, both keys and the current history key agree
// with each other. On false, *why (if given) names the first disagreement.
bool CheckPosition(const Position& pos, const char** why = nullptr);

// Prints the disagreement and the position to standard error and aborts.
[[noreturn]] void ReportBrokenPosition(const Position& pos, const char* why, const char* file, int line);

}  // namespace kavrin

#ifdef KAVRIN_POSITION_CHECK
#define KAVRIN_CHECK_POSITION(pos)                                              \
    do {                                                                        \
        const char* kavrinWhy = nullptr;                                        \
        if (!::kavrin::CheckPosition(pos, &kavrinWhy))                          \
            ::kavrin::ReportBrokenPosition(pos, kavrinWhy, __FILE__, __LINE__); \
    } while (false)
#else
#define KAVRIN_CHECK_POSITION(pos) \
    do {                           \
    } while (false)
#endif
