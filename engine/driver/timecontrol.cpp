#include "driver/timecontrol.h"

#include <algorithm>
#include <cstring>

#include "board/board.h"
#include "driver/engine_state.h"
#include "search/control.h"
#include "search/timeman.h"

namespace kavrin {

namespace {

// Whole seconds only; a count too large for the millisecond field is taken as
// the largest that fits, and one below 1 as none.
int WholeSecondsToMs(int seconds) {
    if (seconds < 1) return 0;
    if (seconds > 2000000) return 2000000000;
    return seconds * 1000;
}

}  // namespace

void ApplyRemainingTime(XboardSession& session, int remainingCs) {
    const int m = MovesToGo(session.state.movesPerControl, session.Game().gamePly);
    session.limits.movesToGo = m;
    session.limits.timeAllotment = TimeAllotment(remainingCs, m, session.state.incrementMs);
}

void SetMovesPerControl(XboardSession& session, int moves) { session.state.movesPerControl = moves; }

void SetIncrementSeconds(XboardSession& session, int seconds) { session.state.incrementMs = WholeSecondsToMs(seconds); }

void SetSecondsPerMove(XboardSession& session, int seconds) { session.state.moveTimeMs = WholeSecondsToMs(seconds); }

void ApplyMoveTime(XboardSession& session) {
    const int moveTimeMs = session.state.moveTimeMs;
    SearchLimits& limits = session.limits;
    if (moveTimeMs == 0) {
        limits.timeCeiling = SearchLimits{}.timeCeiling;
        return;
    }
    const int reserve = std::min(moveTimeMs / MoveTimeReserveDivisor, MoveTimeReserveMs);
    limits.timeAllotment = moveTimeMs - reserve;
    limits.timeCeiling = limits.timeAllotment;
}

void ReadLevelItems(XboardSession& session, WordSource& source) {
    int moves = 0;
    if (!ReadNumber(source, moves)) return;
    SetMovesPerControl(session, moves);
    // The base time in any form ("5", "0:30"): "time" gives the real clock.
    char base[CommandBufferSize];
    if (!ReadWord(source, base)) return;
    int incrementSeconds = 0;
    if (ReadNumber(source, incrementSeconds)) SetIncrementSeconds(session, incrementSeconds);
}

bool ReadTimeItems(XboardSession& session, WordSource& source, char nextWord[CommandBufferSize]) {
    int ownCs = 0;
    if (!ReadNumber(source, ownCs)) return false;
    ApplyRemainingTime(session, ownCs);
    if (!ReadWord(source, nextWord)) return false;
    if (std::strcmp(nextWord, "otim") != 0) return true;
    // The opponent's time is read and not used.
    int opponentCs = 0;
    ReadNumber(source, opponentCs);
    return false;
}

}  // namespace kavrin
