// The search's front door: the limits a front end sets before a search, the
// result the search leaves, its stop flag and node count, and the hooks
// through which it reports to whichever front end runs it. The search never
// knows which protocol is talking.
#pragma once

#include <cstdint>

#include "board/types.h"

namespace kavrin {

// Limits of the next search; the front end sets them before IterativeDeepening.
struct SearchLimits {
    int maxDepth = 0;        // deepest iteration the search may start (at most MaxDepth)
    int timeAllotment = 0;   // milliseconds from searchStart
    int timeCeiling = 0x7FFFFFFF;  // milliseconds from searchStart that no extension of the allotment passes
    int searchStart = 0;     // ClockMs() reading at which the allotment began
    int movesToGo = 35;      // moves to the next time control; a fail low buys time only while more than 4 remain
    bool untimed = false;    // no time limit: only the front end or maxDepth ends the search
    bool pondering = false;  // searching on the opponent's time; the iterations are marked so in the log
    // When rootMoveCount is not 0, the root searches only these moves.
    const Move* rootMoves = nullptr;
    int rootMoveCount = 0;
};

// What the last search found.
struct SearchResult {
    Move bestMove = 0;      // the move to play or a result marker; 0 when nothing was found
    int16_t bestScore = 0;  // its score for the side to move
};

// One finished iteration.
struct IterationReport {
    int depth;
    int16_t score;
    uint32_t nodes;       // moves made by the root and full-width searches so far
    int elapsedMs;        // since searchStart
    const char* pvText;   // the variation read back from the table, each move followed by a blank
    const Move* pv;       // its moves, pvLength of them
    int pvLength;
    int selDepth;         // deepest ply reached so far
    bool pondering;
};

// Calls from the search to its front end. Any of them may be left empty.
struct SearchHooks {
    // After every finished iteration.
    void (*iterationDone)(const IterationReport& report) = nullptr;
    // One line of the search's own notes, without its line end.
    void (*logLine)(const char* line) = nullptr;
    // Asked at each periodic poll of the full-width search: true ends the
    // search (the engine's interface has sent something).
    bool (*stopRequested)() = nullptr;
};

extern SearchLimits searchLimits;
extern SearchResult searchResult;
extern SearchHooks searchHooks;
// Set when the search must end; the front end clears it before a search.
extern bool stopSearch;
// Moves made by the root and full-width searches since the search began (32
// bits, wrapping), and by the quiescence search (statistics only).
extern uint32_t nodeCount;
extern uint64_t quiesceMoveCount;
// Deepest ply any node of the search has reached.
extern int selDepth;

// Where the current iteration stands at the root.
struct RootProgress {
    int movesSearched;  // root moves finished in this iteration
    int moveCount;      // moves of the root list
    Move current;       // the move being searched
};
extern RootProgress rootProgress;

// Moves made between two periodic polls.
constexpr uint32_t PollInterval = 16384;
// nodeCount value after which the next poll is due.
extern uint32_t nextPollAt;

// True once nodeCount has passed nextPollAt. The difference is taken modulo
// 2^32, so a wrapping counter still compares correctly.
inline bool PollDue() {
    const uint32_t ahead = nodeCount - nextPollAt;
    return ahead != 0 && ahead < 0x80000000u;
}

// Milliseconds left of the allotment, at most up to the ceiling (1 when the
// search is untimed).
int64_t RemainingMs();

// Writes a line through the logLine hook, formatted as printf would.
void SearchLog(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace kavrin
