#include "uci/reply.h"

#include <cstdarg>
#include <cstdio>
#include <mutex>

#include "system/log.h"

namespace kavrin {

// One whole line on standard output, flushed at once: the interface waits
// for it.
void UciOutput::PrintLine(const char* prefix, const char* format, va_list args) {
    const std::lock_guard<std::mutex> lock(mutex);
    std::fputs(prefix, stdout);
    std::vprintf(format, args);
    std::putchar('\n');
    std::fflush(stdout);
}

void UciOutput::Reply(const char* format, ...) {
    va_list args;
    va_start(args, format);
    PrintLine("", format, args);
    va_end(args);
}

void UciOutput::InfoString(const char* format, ...) {
    va_list args;
    va_start(args, format);
    PrintLine("info string ", format, args);
    va_end(args);
}

void UciOutput::LogLine(const std::string& line) {
    const std::lock_guard<std::mutex> lock(mutex);
    if (logStream.is_open()) logStream << line << std::endl;
}

}  // namespace kavrin
