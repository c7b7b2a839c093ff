#include "uci/limits.h"

namespace kavrin {

MoveClock ClockOf(const GoRequest& request, int side, int overheadMs) {
    return MoveClock{request.remainingMs[side], request.incrementMs[side], request.movesToGo, request.moveTimeMs,
                     overheadMs};
}

}  // namespace kavrin
