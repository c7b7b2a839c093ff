#include "uci/reply.h"

#include <cstdarg>
#include <cstdio>
#include <mutex>

#include "system/log.h"

namespace kavrin {

namespace {

// Held while a line is written, to standard output or to the log.
std::mutex outputMutex;

// One whole line on standard output, flushed at once: the interface waits
// for it.
void PrintLine(const char* prefix, const char* format, va_list args) {
    const std::lock_guard<std::mutex> lock(outputMutex);
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

void LogLine(const std::string& line) {
    const std::lock_guard<std::mutex> lock(outputMutex);
    if (logStream.is_open()) logStream << line << std::endl;
}

}  // namespace kavrin
