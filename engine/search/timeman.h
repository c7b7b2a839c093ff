// The engine's time rule: how much of the remaining clock one move may use.
#pragma once

#include <cstdint>

namespace kavrin {

// Moves assumed to the control when the whole game is one period.
constexpr int DefaultMovesToGo = 33;
// Per-move shares from these many centiseconds on keep a safety margin back.
constexpr int LargeShareCs = 500;
constexpr int LargeShareMarginCs = 100;
constexpr int SmallShareCs = 220;
constexpr int SmallShareMarginCs = 50;

// Moves to the next control for a period of movesPerControl moves at game ply
// gamePly; DefaultMovesToGo when the whole game is one period (0, or a
// negative count, which no interface sends).
int MovesToGo(int movesPerControl, uint16_t gamePly);

// Milliseconds for one move with remainingCs centiseconds left and movesToGo
// moves to the control. Computed in 32-bit two's-complement arithmetic, so an
// extreme remaining time wraps exactly as the original budget did.
int TimeAllotment(int remainingCs, int movesToGo, int incrementMs);

}  // namespace kavrin
