// The threads of a search: the main thread's worker and the helpers', which
// search the same root at the same time and share the transposition table.
// The main thread alone reads the clock, reports and decides the move; when
// it ends, the helpers end too.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "board/board.h"
#include "search/control.h"
#include "search/worker.h"

namespace kavrin {

// Most threads a search may have.
constexpr int MaxSearchThreads = 256;

class SearchThreads {
  public:
    // The threads of the searches that use table, each with a pawn cache of
    // 2^pawnCacheBits entries.
    explicit SearchThreads(TranspositionTable& table, int pawnCacheBits = PawnHashBits);
    ~SearchThreads();
    SearchThreads(const SearchThreads&) = delete;
    SearchThreads& operator=(const SearchThreads&) = delete;

    // Sets the number of threads, 1 to MaxSearchThreads (the main one and
    // count - 1 helpers); a new worker starts with empty tables. No search
    // may run meanwhile.
    void SetCount(int count);
    int Count() const { return static_cast<int>(workers.size()); }

    SearchWorker& Main() { return *workers[0]; }
    SearchShared& Shared() { return shared; }

    // Every worker's history counters, killers and pawn cache; and the
    // history counters alone, after a game move.
    void ClearTables();
    void ClearHistories();

    // Searches root within limits on the calling thread as the main thread,
    // the helpers on their own threads, reporting to reporter (none when
    // nullptr); returns when all have ended, with the main thread's move (or
    // result marker, or 0).
    Move Search(const Position& root, const SearchLimits& limits, SearchReporter* reporter);

    // The same on a thread of its own: returns at once; the reporter hears
    // SearchFinished on that thread once every thread of the search has
    // ended.
    void StartSearch(const Position& root, const SearchLimits& limits, SearchReporter* reporter);
    // Ends the running search on every thread (from any thread).
    void Stop() { shared.stop.store(true, std::memory_order_relaxed); }
    // The move the running ponder search assumed was played at clockMs: its
    // main thread plans the move's time from then on (from any thread).
    void PonderHit(int clockMs);
    // Whether the last search ended early: stopped by the front end or the
    // clock, not by its depth or a mate.
    bool StoppedEarly() const { return stoppedEarly; }
    // Whether a search started with StartSearch has not yet ended.
    bool Searching();
    // Blocks until the search started with StartSearch has ended.
    void WaitForSearch();

    // Moves made by the root and full-width searches of all threads: the
    // main thread's as they stand (call it there), the others' as of their
    // last poll.
    uint64_t TotalNodes() const;
    // Positions found in the Syzygy tables by all threads, counted the same way.
    uint64_t TotalTbHits() const;

  private:
    // Helper index searches each round after round `seen`, until helpersQuit.
    void HelperLoop(int index, uint64_t seen);
    void SearchLoop();
    Move RunSearch();
    void Prepare(const Position& rootPosition, const SearchLimits& limits, SearchReporter* reporter);
    void StopHelperThreads();

    SearchShared shared;
    const int pawnCacheBits;
    std::vector<std::unique_ptr<SearchWorker>> workers;
    // The root every thread copies at its start.
    Position root;

    std::mutex mutex;
    std::condition_variable wake;      // a search or the end for the helpers and the search thread
    std::condition_variable finished;  // a helper or the search thread ended its search
    std::vector<std::thread> helpers;  // of workers 1..count-1
    std::thread searchThread;          // runs the main worker for StartSearch
    uint64_t helperRound = 0;          // counts the searches handed to the helpers
    int helpersRunning = 0;
    bool searchRequested = false;
    bool searching = false;
    bool helpersQuit = false;  // the helper threads leave
    bool quitting = false;     // the search thread leaves
    bool stoppedEarly = false;
};

}  // namespace kavrin
