// The "bm" and "am" operations of a position text.
#pragma once

namespace kavrin {

constexpr int EpdMoveTextSize = 10;  // nine characters and the NUL

// Scans the text after the en-passant field for an "am" or "bm" operation;
// true when one was accepted, its move text copied into moveText.
bool ScanEpdOperation(const char* text, char moveText[EpdMoveTextSize]);
// True when moveText names a legal move of the position just read.
bool CheckEpdMove(const char* moveText);

}  // namespace kavrin
