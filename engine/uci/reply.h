// Lines to the UCI interface and to the log: each written whole and sent at
// once. The command loop and the search thread both write; a line never
// mixes with another.
#pragma once

#include <string>

namespace kavrin {

// Writes one line (the line end is added) and flushes it.
void Reply(const char* format, ...) __attribute__((format(printf, 1, 2)));
// "info string " and the text: a message for the user.
void InfoString(const char* format, ...) __attribute__((format(printf, 1, 2)));
// One line of the log file, when one is open.
void LogLine(const std::string& line);

}  // namespace kavrin
