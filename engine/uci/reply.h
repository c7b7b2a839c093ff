// Lines to the UCI interface and to the log: each written whole and sent at
// once. The command loop and the search thread both write; a line never
// mixes with another.
#pragma once

#include <cstdarg>
#include <mutex>
#include <string>

namespace kavrin {

class UciOutput {
  public:
    // Writes one line (the line end is added) and flushes it.
    void Reply(const char* format, ...) __attribute__((format(printf, 2, 3)));
    // "info string " and the text: a message for the user.
    void InfoString(const char* format, ...) __attribute__((format(printf, 2, 3)));
    // One line of the log file, when one is open.
    void LogLine(const std::string& line);

  private:
    void PrintLine(const char* prefix, const char* format, va_list args);
    // Held while a line is written, to standard output or to the log.
    std::mutex mutex;
};

}  // namespace kavrin
