// The root search, iterative deepening with its aspiration window, and the
// principal variation read back from the table.
#pragma once

#include <cstdint>

#include "board/types.h"

namespace kavrin {

// Every search starts with this iteration (or deeper, from the table).
constexpr int FirstIterationDepth = 2;
constexpr int AspirationHalfWidth = 30;
constexpr int16_t WideWindow = MateValue;        // -8100 .. 8100
constexpr int16_t FailHighCeiling = MateValue - 1;
// bestScore of a search that has found nothing yet.
constexpr int16_t NoScore = -9999;
// Longest variation shown, in moves.
constexpr int PvMovesShown = 12;
constexpr int PvTextSize = 4096;

// The depth of the iteration in progress.
extern int iterationDepth;
// -1 while a fail-low re-search runs, +1 while a fail-high one runs, else 0.
extern int aspirationState;
// Variation of the last finished iteration, as text and as moves.
extern char PvText[PvTextSize];
extern Move pvMoves[PvMovesShown];
extern int pvLength;

// Searches the Board's position within searchLimits, reporting through
// searchHooks; returns the move to play or a result marker (also left in
// searchResult), or 0 when there is nothing to search or no room for a
// search line.
Move IterativeDeepening();
// Score of the root for the side to move; leaves the best move first in the
// root list (the bottom of the move stack).
int16_t RootSearch(int16_t alpha, int16_t beta);
// Writes up to n moves of the variation stored in the table, each followed
// by a blank, then a NUL; stops at the first table move that is not a legal
// move of its position. The moves also go to moves when it is given (room
// for n). Returns the number of moves.
int BuildPvText(char* out, int n, Move* moves = nullptr);

}  // namespace kavrin
