// Setting up a position from FEN text.
#pragma once

#include <cstdint>

#include "board/board.h"

namespace kavrin {

// Most pieces of one colour, king included, on a playable Board.
constexpr int MaxPiecesPerSide = 16;

// Plies without capture or pawn move at which a game is drawn.
constexpr int FiftyMoveLimitPlies = 100;

// The text of a new game.
constexpr const char* InitialFen = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -";

// Reads the placement, side to move, castling and en-passant fields of text
// (NUL-terminated) into the position's Board, resets its history, game ply
// and game snapshot, and sets playable (one king of each colour and at most
// MaxPiecesPerSide pieces a side). Returns false, leaving the previous
// position untouched, when a field is malformed or the text ends before the
// en-passant field. The move counters are not read: rest, when given, points
// at the text after the en-passant field. What the search learned about
// earlier positions is the caller's to discard (ResetSearchState).
bool ReadFen(Position& pos, const char* text, const char** rest = nullptr);

// Sets the plies since the last capture or pawn move of the position just
// read (the fifth field of a FEN); a count beyond the fifty-move limit is
// taken as the limit.
void SetFiftyMoveCounter(Position& pos, int plies);

}  // namespace kavrin
