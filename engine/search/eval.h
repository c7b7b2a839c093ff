// Static evaluation with its pawn-structure cache.
#pragma once

#include <cstdint>

namespace kavrin {

// Score of the Board for the side to move, in hundredths of a pawn.
int16_t Evaluate();

}  // namespace kavrin
