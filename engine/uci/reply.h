// Lines to the UCI interface: each written whole and sent at once.
#pragma once

namespace kavrin {

// Writes one line (the line end is added) and flushes it.
void Reply(const char* format, ...) __attribute__((format(printf, 1, 2)));
// "info string " and the text: a message for the user.
void InfoString(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace kavrin
