// The search's front door: the limits a front end sets before a search, the
// result the search leaves, what the threads of a search share, and the
// reporter through which it reports to whichever front end runs it. The
// search never knows which protocol is talking.
#pragma once

#include <atomic>
#include <cstdint>

#include "board/types.h"
#include "search/profile.h"

namespace kavrin {

// The clock of the side to move, as a front end gives it that leaves the
// time of each move to the search (kavrin-uci).
struct MoveClock {
    int remainingMs = -1;  // -1: not given
    int incrementMs = 0;
    int movesToGo = 0;    // 0: not given (the rest of the game is one period)
    int moveTimeMs = -1;  // a fixed time for the move; -1: not given
    int overheadMs = 0;   // what every move loses on its way to the interface
};

// What the full-width search of a profile that probes the Syzygy tables
// probes (search/tablebase.h): positions of at most `pieces` pieces, kings
// included (0: none), reached with at least `depth` plies to go (at any
// depth when they have fewer pieces than `pieces`), under the fifty-move
// rule or not.
struct TablebaseProbes {
    int pieces = 0;
    int depth = 1;
    bool fiftyMoveRule = true;
};

// Moves made between two periodic polls.
constexpr uint64_t PollInterval = 16384;

// Limits of a search, set by the front end before it starts.
struct SearchLimits {
    SearchProfile profile = SearchProfile::Classic;
    int maxDepth = 0;              // deepest iteration the search may start (at most MaxDepth)
    int timeAllotment = 0;         // milliseconds from searchStart
    int timeCeiling = 0x7FFFFFFF;  // milliseconds from searchStart that no extension of the allotment passes
    int searchStart = 0;           // ClockMs() reading at which the allotment began
    int movesToGo = 35;            // moves to the next time control; a fail low buys time only while more than 4 remain
    bool untimed = false;          // no time limit: only the front end or maxDepth ends the search
    bool pondering = false;        // searching on the opponent's time; the iterations are marked so in the log
    // When rootMoveCount is not 0, the root searches only these moves.
    const Move* rootMoves = nullptr;
    int rootMoveCount = 0;
    // Root moves each iteration ranks: its best, then the best of the others,
    // and so on (at most the legal root moves).
    int lines = 1;
    // A search resumed from the root's table entry starts no deeper than
    // maxDepth, so that a depth-limited search always finishes an iteration.
    bool resumeWithinMaxDepth = false;
    // The main thread plans the move's time from moveClock when the search
    // starts (or a ponder search learns that its move was played), and
    // decides after each iteration whether another may start
    // (search/timeman.h); the time fields above are then the plan's.
    bool plansTime = false;
    MoveClock moveClock;
    // Moves the search may make, all threads together; 0: no limit.
    uint64_t nodes = 0;
    // Moves made between two looks at the clock and the front end
    // (PollInterval; tests and fuzzing look more often).
    uint64_t pollInterval = PollInterval;
    // An iteration that shows a mate in this many moves ends the search; 0:
    // no mate search.
    int mate = 0;
    // The tablebase probes of the search; none unless the front end asks.
    TablebaseProbes tablebases;
};

// Most lines an iteration may rank.
constexpr int MaxSearchLines = 256;

// What a search found.
struct SearchResult {
    Move bestMove = 0;  // the move to play or a result marker; 0 when nothing was found
    int bestScore = 0;  // its score for the side to move
};

// One line of a finished iteration: the iteration reports its lines in
// order, best first.
struct IterationReport {
    int depth;
    int score;           // of this line
    uint64_t nodes;      // moves made by the main thread's root and full-width searches so far
    int elapsedMs;       // since searchStart
    const char* pvText;  // the variation read back from the table for the root, each move followed by a blank
    const Move* pv;      // the line: its root move, then the variation after it as far as the game goes on
    int pvLength;
    int selDepth;  // deepest ply reached so far
    bool pondering;
    int line;       // 1 for the best line
    int lineCount;  // lines of the iteration
};

// What the search's main thread tells its front end, and asks it. A front
// end implements the calls it needs; the others do nothing. Every call comes
// from the thread that runs the main worker.
class SearchReporter {
  public:
    // After every finished iteration, once for each of its lines.
    virtual void IterationDone(const IterationReport& /*report*/) {}
    // One line of the search's own notes, without its line end.
    virtual void LogLine(const char* /*line*/) {}
    // Asked at each periodic poll of the full-width search: true ends the
    // search (the engine's interface has sent something).
    virtual bool StopRequested() { return false; }
    // When each root move's search begins: the iteration's depth, the move
    // and its number in the list (from 1).
    virtual void RootMoveStarted(int /*depth*/, Move /*move*/, int /*number*/) {}
    // A search started to run on its own thread has ended on every thread.
    virtual void SearchFinished() {}

  protected:
    ~SearchReporter() = default;
};

class TranspositionTable;
class SearchThreads;

// What every thread of one search shares: the table, the limits, frozen
// while it runs (each thread keeps a copy of them), the main thread's
// reporter, and the flags that end the search on every thread and that turn
// a ponder search into the search of the engine's move.
struct SearchShared {
    SearchShared(TranspositionTable& searchTable, const SearchThreads& searchThreads)
        : table(searchTable), threads(searchThreads) {}
    TranspositionTable& table;
    // The threads, whose moves the main thread counts for a node limit.
    const SearchThreads& threads;
    SearchLimits limits;
    SearchReporter* reporter = nullptr;
    std::atomic<bool> stop{false};
    // The move a ponder search assumed was played, at ponderHitMs: the main
    // thread plans the move's time from then on.
    std::atomic<bool> ponderHit{false};
    std::atomic<int> ponderHitMs{0};
};

// Where the current iteration stands at the root.
struct RootProgress {
    int movesSearched;  // root moves finished in this iteration
    int moveCount;      // moves of the root list
    Move current;       // the move being searched
};

// Which window the root search is in: the aspiration window, or the
// re-search that follows it failing low or high.
enum class Aspiration : int8_t { Window = 0, FailLow = -1, FailHigh = 1 };

}  // namespace kavrin
