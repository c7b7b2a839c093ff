// Time control: "level" and "time" turn the interface's clock figures into
// the milliseconds the next search may use.
#pragma once

#include <cstdint>

#include "driver/input.h"

namespace kavrin {

// Moves assumed to the control when the whole game is one period.
constexpr int DefaultMovesToGo = 33;
// Per-move shares from these many centiseconds on keep a safety margin back.
constexpr int LargeShareCs = 500;
constexpr int LargeShareMarginCs = 100;
constexpr int SmallShareCs = 220;
constexpr int SmallShareMarginCs = 50;
// Remaining own time that "test" assumes: in effect no limit.
constexpr int TestRemainingCs = 999999999;

// Moves to the next control for a period of movesPerControl moves at game ply
// gamePly; DefaultMovesToGo when the whole game is one period (0, or a
// negative count, which no interface sends).
int MovesToGo(int movesPerControl, uint16_t gamePly);

// Milliseconds for one move with remainingCs centiseconds left and movesToGo
// moves to the control. Computed in 32-bit two's-complement arithmetic, so an
// extreme remaining time wraps exactly as the original budget did.
int TimeAllotment(int remainingCs, int movesToGo, int incrementMs);

// "time": sets movesToGo and timeAllotment from the own remaining time.
void ApplyRemainingTime(int remainingCs);

// "level": moves per period, and the increment in whole seconds.
void SetMovesPerControl(int moves);
void SetIncrementSeconds(int seconds);

// Reads the items of "level" (moves, base time word, increment) and applies
// them; reading stops at the first item that is not there, and what was not
// read keeps its previous value.
void ReadLevelItems(WordSource& source);

// Reads the items of "time": the own time, then the opponent's time only when
// the next word is "otim". Any other word is the next command: it is left in
// nextWord and the result is true. A missing own time changes nothing.
bool ReadTimeItems(WordSource& source, char nextWord[CommandBufferSize]);

}  // namespace kavrin
