// The "bm" and "am" operations that may follow the fields of a position text.
#pragma once

#include "board/board.h"

namespace kavrin {

constexpr int EpdMoveTextSize = 10;  // nine characters and the NUL

// Scans the text after the en-passant field for an "am" or "bm" operation;
// true when one was accepted, its move text copied into moveText.
bool ScanEpdOperation(const char* text, char moveText[EpdMoveTextSize]);
// The text after a position's fields (ReadFen gives it): true when it holds
// no "am"/"bm" operation or when the operation's move can be read in the
// position; otherwise a warning is printed and the result is false.
bool CheckEpdOperation(Position& pos, const char* operations);

}  // namespace kavrin
