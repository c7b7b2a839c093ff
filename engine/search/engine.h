// One engine: the transposition table, the search threads that share it, the
// game position its front end plays, and the options of its searches. Each
// front end holds one; nothing of it is shared with another engine in the
// same process.
#pragma once

#include <cstddef>

#include "board/board.h"
#include "board/types.h"
#include "search/control.h"
#include "search/pawnhash.h"
#include "search/tb_files.h"
#include "search/threads.h"
#include "search/tt.h"

namespace kavrin {

// The options of an engine's searches, which its front end lets the user set
// (the number of threads and the table's size are the threads' and the
// table's own).
struct EngineOptions {
    // Root moves each iteration ranks and shows, the best first.
    int lines = 1;
    // The search every search of the engine runs.
    SearchProfile profile = SearchProfile::Classic;
    // The Syzygy probes of its searches (the tables themselves are the
    // process's, search/tablebase.h): the least depth of a probe, the most
    // pieces of a position probed, and whether the fifty-move rule turns
    // wins and losses that it would cut short into draws.
    int tbProbeDepth = 1;
    int tbProbeLimit = TbMaxPieces;
    bool tbFiftyMoveRule = true;
};

// The probes a search with these options makes in the tables loaded now:
// none without tables; at any depth the positions with fewer pieces than
// the limit when the limit is above the largest table.
TablebaseProbes SearchProbes(const EngineOptions& options);

class Engine {
  public:
    // An engine with one search thread and a table of tableMegabytes MB; its
    // threads' pawn caches have 2^pawnCacheBits entries. (The defaults are
    // the programs'; tests and fuzzing make small engines.)
    explicit Engine(size_t tableMegabytes = TTDefaultMegabytes, int pawnCacheBits = PawnHashBits);
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    // The game position: the Board every command and game move works on. A
    // search copies it and leaves it as it was.
    Position& Game() { return game; }
    const Position& Game() const { return game; }
    TranspositionTable& Table() { return table; }
    const TranspositionTable& Table() const { return table; }
    SearchThreads& Threads() { return threads; }
    const SearchThreads& Threads() const { return threads; }
    EngineOptions& Options() { return options; }
    const EngineOptions& Options() const { return options; }

    // Discards everything the search learned about earlier positions: the
    // table, and every search thread's history counters, killers and pawn
    // cache. No search may run meanwhile.
    void ResetSearchState();
    // Puts the engine back as it was made, but for its sizes: an empty
    // table, fresh thread tables, an empty game position, the default
    // options. No search may run meanwhile.
    void Reset();

    // Plays m into the game (it must be legal): the Board, the game ply and
    // snapshot move on, and the search threads' history counters start
    // afresh. False when m is 0.
    bool PlayGameMove(Move m);
    // The table's move for pos, when it is a legal move; else 0.
    Move TablePonderMove(Position& pos) const;

    // Searches the game position with the engine's profile, on the calling
    // thread as the main thread (see SearchThreads::Search), or on a thread
    // of its own.
    Move Search(SearchLimits limits, SearchReporter* reporter) {
        limits.profile = options.profile;
        return threads.Search(game, limits, reporter);
    }
    void StartSearch(SearchLimits limits, SearchReporter* reporter) {
        StartSearchWith(options.profile, limits, reporter);
    }
    // The same with a profile of the caller's choice.
    void StartSearchWith(SearchProfile profile, SearchLimits limits, SearchReporter* reporter) {
        limits.profile = profile;
        threads.StartSearch(game, limits, reporter);
    }

  private:
    // The table comes first: the threads are built over it.
    TranspositionTable table;
    SearchThreads threads;
    Position game;
    EngineOptions options;
};

}  // namespace kavrin
