// Setting up a position from FEN text.
#pragma once

#include <cstdint>

namespace kavrin {

// En-passant square of the last position read (0 if none). No key was XORed
// in for it, so the first move after the read toggles its key into hashKey
// for good; the position check needs to know it.
extern uint8_t readEpSquare;

// Most pieces of one colour, king included, on a playable Board.
constexpr int MaxPiecesPerSide = 16;

// Plies without capture or pawn move at which a game is drawn.
constexpr int FiftyMoveLimitPlies = 100;

// The text of a new game.
constexpr const char* InitialFen = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -";

// Reads the placement, side to move, castling and en-passant fields of text
// (NUL-terminated) into the Board, resets the history and the game snapshot,
// and sets boardPlayable (one king of each colour and at most
// MaxPiecesPerSide pieces a side). Returns false, leaving the previous
// position untouched, when a field is malformed or the text ends before the
// en-passant field. The move counters are not read: rest, when given, points
// at the text after the en-passant field. What the search learned about
// earlier positions is the caller's to discard (ResetSearchState).
bool ReadFen(const char* text, const char** rest = nullptr);

// Sets the plies since the last capture or pawn move of the position just
// read (the fifth field of a FEN); a count beyond the fifty-move limit is
// taken as the limit.
void SetFiftyMoveCounter(int plies);

}  // namespace kavrin
