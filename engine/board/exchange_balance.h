// The material balance of an exchange on one square, measured against a
// threshold, for the search's pruning (the move order has its own scoring,
// board/exchange.h).
#pragma once

#include "board/board.h"
#include "board/types.h"

namespace kavrin {

// Whether move, followed by the captures on its destination that each side
// chooses to make (always with its least valuable attacker, x-rays included,
// either side free to stop), leaves the side to move at least threshold ahead
// in PieceValue units. A promotion counts the piece it makes less the pawn,
// an en-passant capture its pawn, castling nothing. A king captures only where
// no enemy piece is left to take it back; pins are not looked at. Reads the
// position only.
bool ExchangeAtLeast(const Position& pos, Move move, int threshold);

}  // namespace kavrin
