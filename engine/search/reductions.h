// Late move reductions by depth and move number: base + ln(depth) ln(move
// number) / divisor plies, from a profile's parameters, computed once.
#pragma once

#include <algorithm>
#include <cstdint>

#include "search/profile.h"

namespace kavrin {

constexpr int ReductionTableSize = 64;

struct ReductionTable {
    uint8_t plies[ReductionTableSize][ReductionTableSize];
};

ReductionTable MakeReductionTable(double base, double divisor);

template <class P>
inline const ReductionTable reductionTableOf = MakeReductionTable(P::Parameters.reductionBase,
                                                                  P::Parameters.reductionDivisor);

template <class P>
int LateMoveReduction(int depth, int moveNumber) {
    return reductionTableOf<P>.plies[std::min(depth, ReductionTableSize - 1)]
                                    [std::min(moveNumber, ReductionTableSize - 1)];
}

}  // namespace kavrin
