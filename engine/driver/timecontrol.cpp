#include "driver/timecontrol.h"

#include <algorithm>
#include <cstring>

#include "board/board.h"
#include "driver/engine_state.h"
#include "search/control.h"
#include "search/game.h"
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

void ApplyRemainingTime(int remainingCs) {
    int m = MovesToGo(engineState.movesPerControl, gamePosition.gamePly);
    searchLimits.movesToGo = m;
    searchLimits.timeAllotment = TimeAllotment(remainingCs, m, engineState.incrementMs);
}

void SetMovesPerControl(int moves) { engineState.movesPerControl = moves; }

void SetIncrementSeconds(int seconds) { engineState.incrementMs = WholeSecondsToMs(seconds); }

void SetSecondsPerMove(int seconds) { engineState.moveTimeMs = WholeSecondsToMs(seconds); }

void ApplyMoveTime() {
    if (engineState.moveTimeMs == 0) {
        searchLimits.timeCeiling = SearchLimits{}.timeCeiling;
        return;
    }
    const int reserve = std::min(engineState.moveTimeMs / MoveTimeReserveDivisor, MoveTimeReserveMs);
    searchLimits.timeAllotment = engineState.moveTimeMs - reserve;
    searchLimits.timeCeiling = searchLimits.timeAllotment;
}

void ReadLevelItems(WordSource& source) {
    int moves = 0;
    if (!ReadNumber(source, moves)) return;
    SetMovesPerControl(moves);
    // The base time in any form ("5", "0:30"): "time" gives the real clock.
    char base[CommandBufferSize];
    if (!ReadWord(source, base)) return;
    int incrementSeconds = 0;
    if (ReadNumber(source, incrementSeconds)) SetIncrementSeconds(incrementSeconds);
}

bool ReadTimeItems(WordSource& source, char nextWord[CommandBufferSize]) {
    int ownCs = 0;
    if (!ReadNumber(source, ownCs)) return false;
    ApplyRemainingTime(ownCs);
    if (!ReadWord(source, nextWord)) return false;
    if (std::strcmp(nextWord, "otim") != 0) return true;
    // The opponent's time is read and not used.
    int opponentCs = 0;
    ReadNumber(source, opponentCs);
    return false;
}

}  // namespace kavrin
