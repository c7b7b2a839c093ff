// Setting up a position from FEN text (with optional "bm"/"am" operations).
#pragma once

#include <cstdint>

namespace kavrin {

// En-passant square of the last position read (0 if none). No key was XORed
// in for it, so the first move after the read toggles its key into hashKey
// for good; the position check needs to know it.
extern uint8_t readEpSquare;

// Most pieces of one colour, king included, on a playable Board.
constexpr int MaxPiecesPerSide = 16;

// The text of a new game.
constexpr const char* InitialFen = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -";

// Reads the placement, side to move, castling and en-passant fields of text
// (NUL-terminated) into the Board, resets the history, the game snapshot and
// the search state, and sets boardPlayable (one king of each colour and at
// most MaxPiecesPerSide pieces a side). Returns false, leaving the previous
// position untouched, when a field is malformed or the text ends before the
// en-passant field. When an "am"/"bm" operation names no legal move the
// position is read, a warning printed, and the result is false.
bool ReadFen(const char* text);

}  // namespace kavrin
