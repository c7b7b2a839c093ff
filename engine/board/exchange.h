// Static exchange scoring of a capture (or a promoting push) for move ordering.
#pragma once

#include <cstdint>

#include "board/board.h"
#include "board/types.h"

namespace kavrin {

// Returned for a king capture onto a square the enemy attacks; the
// generators drop such a move.
constexpr int16_t KingCaptureRefused = -32767;

// Plays out the captures on destination after mover (a piece code of the side
// to move) arrives there from origin, x-ray attackers included, and maps the
// outcome into the ordering bands: about -9500 for a gain, just above -30000
// for an even exchange, below -30000 for a loss. rookLike and bishopLike are
// the rooks and queens, and the bishops and queens, of both colours. Reads
// the position only.
int16_t ExchangeScore(const Position& pos, int mover, int origin, int destination, Bitboard rookLike,
                      Bitboard bishopLike);

}  // namespace kavrin
