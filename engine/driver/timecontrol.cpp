#include "driver/timecontrol.h"

#include <cstring>

#include "board/board.h"
#include "driver/engine_state.h"
#include "search/control.h"
#include "search/timeman.h"

namespace kavrin {

void ApplyRemainingTime(int remainingCs) {
    int m = MovesToGo(engineState.movesPerControl, gamePly);
    searchLimits.movesToGo = m;
    searchLimits.timeAllotment = TimeAllotment(remainingCs, m, engineState.incrementMs);
}

void SetMovesPerControl(int moves) { engineState.movesPerControl = moves; }

void SetIncrementSeconds(int seconds) {
    // Whole seconds only; an increment too large for the millisecond field is
    // taken as the largest that fits.
    if (seconds < 1) {
        engineState.incrementMs = 0;
    } else if (seconds > 2000000) {
        engineState.incrementMs = 2000000000;
    } else {
        engineState.incrementMs = seconds * 1000;
    }
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
