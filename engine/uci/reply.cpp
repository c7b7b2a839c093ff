#include "uci/reply.h"

#include <cstdarg>
#include <cstdio>

namespace kavrin {

void Reply(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::vprintf(format, args);
    va_end(args);
    std::putchar('\n');
    std::fflush(stdout);
}

void InfoString(const char* format, ...) {
    std::fputs("info string ", stdout);
    va_list args;
    va_start(args, format);
    std::vprintf(format, args);
    va_end(args);
    std::putchar('\n');
    std::fflush(stdout);
}

}  // namespace kavrin
