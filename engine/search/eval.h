// Static evaluation with its pawn-structure cache.
#pragma once

#include <cstdint>

namespace kavrin {

// Score of the Board for the side to move, in hundredths of a pawn.
int16_t Evaluate();
// The 64-entry piece-square table of a piece code's kind for the current
// totalMaterial (both colours of a kind share it; indexed by plain square).
const int16_t* PieceSquareTable(int code);
// Fills the phase selectors; called last by BuildTables.
void BuildPstSelectors();

}  // namespace kavrin
