// Time control: "level" and "time" turn the interface's clock figures into
// the milliseconds the next search may use.
#pragma once

#include <cstdint>

#include "driver/input.h"

namespace kavrin {

class XboardSession;

// Remaining own time that "test" assumes: in effect no limit.
constexpr int TestRemainingCs = 999999999;

// "time": sets movesToGo and timeAllotment from the own remaining time.
void ApplyRemainingTime(XboardSession& session, int remainingCs);

// "level": moves per period, and the increment in whole seconds.
void SetMovesPerControl(XboardSession& session, int moves);
void SetIncrementSeconds(XboardSession& session, int seconds);

// Of a fixed time per move, the part kept back for the move to reach the
// interface, which flags the engine the moment the time is up: a tenth, and
// at most this much.
constexpr int MoveTimeReserveMs = 1000;
constexpr int MoveTimeReserveDivisor = 10;

// "st": a fixed time per move in whole seconds, in place of the clock's
// allotment until the next "level" or "new"; below 1 the clock decides again.
void SetSecondsPerMove(XboardSession& session, int seconds);
// Before a search for the engine's own move: with a time per move, the
// allotment and the ceiling that no extension passes are that time less its
// reserve; otherwise the allotment is the clock's and there is no ceiling.
void ApplyMoveTime(XboardSession& session);

// Reads the items of "level" (moves, base time word, increment) and applies
// them; reading stops at the first item that is not there, and what was not
// read keeps its previous value.
void ReadLevelItems(XboardSession& session, WordSource& source);

// Reads the items of "time": the own time, then the opponent's time only when
// the next word is "otim". Any other word is the next command: it is left in
// nextWord and the result is true. A missing own time changes nothing.
bool ReadTimeItems(XboardSession& session, WordSource& source, char nextWord[CommandBufferSize]);

}  // namespace kavrin
