// Coordinate move text, four-field FEN output and the board diagram: the
// Board's own text forms, for the front ends, the readers and the log.
#pragma once

#include <cstdint>

#include "board/board.h"
#include "board/types.h"

namespace kavrin {

// Longest coordinate move text with its NUL (e7e8q).
constexpr int MoveTextSize = 6;
// Longest four-field FEN with its NUL.
constexpr int FenTextSize = 82;

// Kinds 4..7 for a promotion letter of either case (q, n, r, b), else 0.
int PromotionKind(char letter);

// Writes the coordinate text of m (castling as the king's two-square move,
// promotions with a lower-case letter) and a NUL; returns the NUL's address.
char* MoveToText(char* out, Move m);
// Decodes the first four or five characters of text against the position's
// game snapshot, promotion letters in lower case; 0 when the text is no
// coordinate move. Legality is not examined: that is IsLegalMove's.
Move TextToMove(const Position& pos, const char* text);
// The same against the position's Board; promotion letters of either case.
Move TextToMoveOnBoard(const Position& pos, const char* text);
// Writes placement, side, castling and en-passant fields of the position and
// a NUL; returns the NUL's address.
char* WriteFen(const Position& pos, char* out);
// Prints the diagram of 64 piece codes on standard output, rank 8 first.
void PrintBoard(const uint8_t pieces[64]);

}  // namespace kavrin
