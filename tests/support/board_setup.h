// Shared set-up of the board tests: a position read into the global Board,
// and square and move words from their names.
#pragma once

#include <string>

#include <gtest/gtest.h>

#include "board/types.h"

namespace kavrin::test {

// Reads fen (a failed read fails the test) and points the current ply record
// at the bottom of the stack.
void SetUpPosition(const char* fen);

// Square number from its name, e.g. "e4" (a8 = 0, h1 = 63).
constexpr int Sq(const char* name) { return SquareOf(name[0], name[1]); }
constexpr Move M(const char* from, const char* to, int kind) { return MakeMoveWord(Sq(from), Sq(to), kind); }

}  // namespace kavrin::test
