// The xboard front end's own state: what it does with an incoming move, the
// time control it was given, the limits of its next search and the reply it
// ponders on. The game position is search/game.h's gamePosition.
#pragma once

#include <cstdint>

#include "board/board.h"
#include "board/types.h"
#include "search/control.h"

namespace kavrin {

// Analyzing: the engine searches the game position without end and plays
// nothing; moves are recorded as in Force.
enum EngineMode : int { Force = 0, Thinking = 1, Pondering = 2, Playing = 3, Quit = 4, Analyzing = 5 };

struct EngineState {
    EngineMode mode = Playing;
    bool ponderEnabled = true;
    int movesPerControl = 35;
    int incrementMs = 0;
    Move ponderMove = 0;
    // Thinking lines on standard output ("post", "nopost").
    bool postThinking = true;
    // Milliseconds per move ("st"); 0: the clock decides.
    int moveTimeMs = 0;
    // Deepest iteration a search may start ("sd").
    int depthLimit = MaxDepth;
    // The ponder or analysis search has more to do on the Board position: it
    // was stopped by input, or the position or the mode has changed since.
    bool searchUnfinished = false;
};

extern EngineState engineState;
// The limits of the next search: the time control sets its clock fields, and
// every search of the game starts from them.
extern SearchLimits searchLimits;
// What the assumed reply needs to be taken back while the engine ponders.
extern UndoRecord ponderUndo;

}  // namespace kavrin
