// Standard algebraic move text (and coordinate text) resolved against the
// Board of a position.
#pragma once

#include "board/board.h"
#include "board/types.h"

namespace kavrin {

// Characters of a move text that are looked at; the rest is cut off.
constexpr int SanTextLimit = 9;

// Kinds 8..11 for a promotion letter of either case, else 0.
int CapturePromotionKind(char letter);

// The Move the text names for the side to move, or 0 when it cannot be read.
// Decoration ("x+#!?=-") is ignored; the result is not tested for legality
// except to choose between several pieces that could make it. The Board is
// left unchanged.
Move ParseSan(Position& pos, const char* text);

// Resolves a piece move or pawn capture: text starts with a piece letter or
// the pawn's file; candidates are restricted to originMask (pawns excepted).
// Of several candidates, the one whose move is legal is taken.
Move ResolvePieceMove(Position& pos, const char* text, int to, Bitboard originMask);

}  // namespace kavrin
