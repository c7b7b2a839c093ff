#include "notation/epd.h"

#include <cstdio>

#include "notation/san.h"

namespace kavrin {

bool ScanEpdOperation(const char* text, char moveText[EpdMoveTextSize]) {
    moveText[0] = '\0';
    // Only the first 'a' or 'b' after the fields is looked at, wherever it stands.
    const char* p = text;
    while (*p != '\0' && *p != 'a' && *p != 'b') ++p;
    if (*p == '\0' || p[1] != 'm' || p[2] != ' ' || p[3] == '\0') return false;
    p += 3;

    int n = 0;
    while (n < EpdMoveTextSize - 1 && p[n] != '\0' && p[n] != ';' && p[n] != ' ') {
        moveText[n] = p[n];
        ++n;
    }
    moveText[n] = '\0';
    // An operation must be closed by ';' or a blank; a longer move text or one
    // running to the end of the line is not an operation.
    return p[n] == ';' || p[n] == ' ';
}

bool CheckEpdOperation(Position& pos, const char* operations) {
    char moveText[EpdMoveTextSize];
    if (operations == nullptr || !ScanEpdOperation(operations, moveText)) return true;
    if (ParseSan(pos, moveText) != 0) return true;
    std::printf("Warning cannot recognize move: %s\r\n", moveText);
    return false;
}

}  // namespace kavrin
