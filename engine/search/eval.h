// Static evaluation with its pawn-structure cache.
#pragma once

#include <cstdint>

#include "board/board.h"
#include "search/pawnhash.h"

namespace kavrin {

// Score of the position for the side to move, in hundredths of a pawn; the
// pawn structure's share comes from pawns, or goes into it.
int Evaluate(const Position& pos, PawnCache& pawns);

}  // namespace kavrin
