// The xboard front end's session: the engine it drives, what it does with an
// incoming move, the time control it was given, the limits of its next
// search, the reply it ponders on, its input and its books. The game
// position is the engine's.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>

#include "board/board.h"
#include "board/types.h"
#include "book/book.h"
#include "driver/input.h"
#include "search/control.h"
#include "search/engine.h"

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

// Where the game's moves are taken back to: the position at its start, and
// that position's entry and place in the position history.
struct GameStart {
    Board board;
    HistoryEntry entry;
    int historyIndex;
    int side;
    uint16_t ply;
};

// One interface's session with an engine. It hears the engine's searches:
// their thinking lines, their notes for the log, and whether the interface
// has sent something that stops them.
class XboardSession final : public SearchReporter {
  public:
    // A session reading its commands from input (standard input for the
    // program).
    explicit XboardSession(Engine& driven, std::FILE* input = stdin);
    XboardSession(const XboardSession&) = delete;
    XboardSession& operator=(const XboardSession&) = delete;

    Position& Game() { return engine.Game(); }

    Engine& engine;
    EngineState state;
    // The limits of the next search: the time control sets its clock fields,
    // and every search of the game starts from them.
    SearchLimits limits;
    // What the assumed reply needs to be taken back while the engine ponders.
    UndoRecord ponderUndo{};
    CommandInput input;
    GameStart gameStart{};
    // Both books (a megabyte of index: not on the stack).
    std::unique_ptr<BookSet> books;

    // The search's reports (driver/thinking.cpp).
    void IterationDone(const IterationReport& report) override;
    void LogLine(const char* line) override;
    bool StopRequested() override;
};

}  // namespace kavrin
