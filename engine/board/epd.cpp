#include "board/epd.h"

namespace kavrin {

bool ScanEpdOperation(const char*, char moveText[EpdMoveTextSize]) {
    moveText[0] = '\0';
    return false;
}

bool CheckEpdMove(const char*) { return true; }

}  // namespace kavrin
