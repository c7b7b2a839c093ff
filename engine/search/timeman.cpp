#include "search/timeman.h"

namespace kavrin {

int MovesToGo(int movesPerControl, uint16_t ply) {
    if (movesPerControl <= 0) return DefaultMovesToGo;
    int movesPlayed = ply >> 1;
    return movesPerControl - movesPlayed % movesPerControl;
}

int TimeAllotment(int remainingCs, int movesToGo, int incrementMs) {
    int share = remainingCs / movesToGo;
    if (share >= LargeShareCs) {
        share -= LargeShareMarginCs;
    } else if (share >= SmallShareCs) {
        share -= SmallShareMarginCs;
    }
    // Centiseconds to milliseconds; on the last move before the control a
    // tenth of the share is kept back. Unsigned arithmetic gives the wrap.
    uint32_t factor = movesToGo == 1 ? 9u : 10u;
    uint32_t ms = static_cast<uint32_t>(share) * factor + static_cast<uint32_t>(incrementMs);
    return static_cast<int>(ms);
}

}  // namespace kavrin
