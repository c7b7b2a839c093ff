// kavrin-uci's session with an interface: the engine it drives, the option
// values, the books, the position in force, the "go" under way, the input and
// the output. The search's main thread reports to it (uci/go.cpp).
#pragma once

#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "book/book.h"
#include "book/polyglot_book.h"
#include "search/control.h"
#include "search/engine.h"
#include "search/tablebase.h"
#include "uci/input.h"
#include "uci/limits.h"
#include "uci/options.h"
#include "uci/reply.h"

namespace kavrin {

// The position in force: the text of its set-up and the moves played since,
// to restore it when a new set-up fails.
struct PositionInForce {
    std::string fen;
    int fullMove = 1;
    int startSide = White;
    std::vector<Move> moves;
};

// The books of the session and what is known of them.
struct UciBooks {
    // The book folder found at start, the default of Book Folder.
    std::string defaultFolder;
    bool folderStale = true;  // Book Folder changed since the last load
    bool folderLoaded = false;
    bool fileStale = false;  // Book File changed since it was last opened
    // Both books of the folder (a megabyte of index: not on the stack).
    std::unique_ptr<BookSet> folder = std::make_unique<BookSet>();
    PolyglotBook file;
};

// The "go" in force and what has happened to it so far. The command loop
// owns it; the search thread reads the request and the start, and keeps the
// progress lines.
struct GoState {
    GoRequest request;
    int startMs = 0;             // when "go" arrived
    int side = White;            // to move at the root
    bool active = false;         // the "bestmove" is still owed
    bool searching = false;      // a search was started for it
    Move decided = 0;            // a book move, or the answer of a "go" that needs no search
    bool holdsBestMove = false;  // infinite or pondering: "bestmove" waits for stop or ponderhit
    bool released = false;       // "stop" or "ponderhit" (or "quit") came
    bool stopReceived = false;   // "stop": the lines after it belong to the next commands
    bool quit = false;
    // Lines to choose the move from at random, and how far (the strength limit).
    int choiceSpreadCp = 0;
    // The root moves the search was given: those of "searchmoves", or those
    // the tables keep; none: every legal move.
    Move rootMoves[MaxGeneratedMoves];
    int rootMoveCount = 0;
    // The root in the Syzygy tables: its moves ranked, the kept ones first.
    bool rootInTables = false;
    TbRootRanking tbRanking;
    // Written by the search thread, read by the loop once the search ended.
    bool reported = false;   // an "info" line went out
    int lastProgressMs = 0;  // the last line of search progress
};

class UciSession final : public SearchReporter {
  public:
    explicit UciSession(Engine& driven);
    ~UciSession();
    UciSession(const UciSession&) = delete;
    UciSession& operator=(const UciSession&) = delete;

    Position& Game() { return engine.Game(); }

    Engine& engine;
    UciOutput out;
    UciOptions options;
    UciBooks books;
    PositionInForce current;
    GoState go;
    // Standard input (a megabyte of buffer: not on the stack).
    std::unique_ptr<UciInput> input = std::make_unique<UciInput>();
    // The search thread rings it when a search has ended; the loop waits on
    // it. Opened by the first "go".
    int wakeRead = -1;
    int wakeWrite = -1;
    // Random numbers for the strength limit's choice.
    std::mt19937_64 random;

    // The search's reports (uci/go.cpp).
    void IterationDone(const IterationReport& report) override;
    void LogLine(const char* line) override;
    bool StopRequested() override;
    void RootMoveStarted(int depth, Move move, int number) override;
    void SearchFinished() override;
};

}  // namespace kavrin
