#include "uci/reply.h"

#include <cstdarg>
#include <cstdio>

namespace kavrin {

namespace {

// One whole line on standard output, flushed at once: the interface waits
// for it.
void PrintLine(const char* prefix, const char* format, va_list args) {
    std::fputs(prefix, stdout);
    std::vprintf(format, args);
    std::putchar('\n');
    std::fflush(stdout);
}

}  // namespace

void Reply(const char* format, ...) {
    va_list args;
    va_start(args, format);
    PrintLine("", format, args);
    va_end(args);
}

void InfoString(const char* format, ...) {
    va_list args;
    va_start(args, format);
    PrintLine("info string ", format, args);
    va_end(args);
}

}  // namespace kavrin
