#include "search/reductions.h"

#include <cmath>

namespace kavrin {

ReductionTable MakeReductionTable(double base, double divisor) {
    ReductionTable table{};
    for (int depth = 1; depth < ReductionTableSize; ++depth) {
        for (int move = 1; move < ReductionTableSize; ++move) {
            const double plies = base + std::log(depth) * std::log(move) / divisor;
            table.plies[depth][move] = static_cast<uint8_t>(std::clamp(plies, 0.0, 32.0));
        }
    }
    return table;
}

}  // namespace kavrin
