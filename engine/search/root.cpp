#include "search/root.h"

#include <algorithm>
#include <climits>
#include <cstdio>

#include "board/legal.h"
#include "board/movetext.h"
#include "search/node.h"
#include "system/clock.h"

namespace kavrin {

int iterationDepth = FirstIterationDepth;
int aspirationState = 0;
char PvText[PvTextSize];
Move pvMoves[PvMovesShown];
int pvLength = 0;

namespace {

PlyRecord* const rootRecord = plyStack;
MoveEntry* const rootList = moveStack;

// Quiescence plies below the deepest full-width ply.
constexpr int QuiescePlies = DeepestPly - DeepestFullWidthPly;
static_assert(QuiescePlies == -QuiesceDepthLimit, "the full-width limit leaves the quiescence search its eight plies");
// Longest text BuildPvText can write: its moves, then the longest fixed text.
static_assert(PvMovesShown * MoveTextSize + 32 < PvTextSize, "the variation text fits its buffer");

// Moves the search line may make before the position history is full.
int HistoryRoom() { return HistorySize - 1 - HistoryIndex(); }

// Fits the deepest line into the position history left by the game: the
// node at the deepest ply makes one move more.
void SetLineLimits() {
    deepestSearchPly = std::min(DeepestPly, HistoryRoom() - 1);
    deepestFullWidthPly = std::min(DeepestFullWidthPly, deepestSearchPly - QuiescePlies);
}

char* WriteText(char* out, const char* text) {
    while (*text) *out++ = *text++;
    *out = '\0';
    return out;
}

int PvStep(char* out, int n, Move* moves) {
    *out = '\0';
    if (n == 0) return 0;
    const TTEntry* e = ProbeTT();
    if (!e) {
        WriteText(out, "NOE ");
        return 0;
    }
    const Move m = EntryMove(*e);
    if (m == 0 || MoveKindOf(m) == MarkerKind) {
        switch (m) {
            case ResultCheckmated: WriteText(out, "# "); break;
            case ResultStalemate: WriteText(out, "1/2 - 1/2 (stalemate)"); break;
            case ResultRepetition: WriteText(out, "1/2 - 1/2 (repetition)"); break;
            case NullMoveMarker: WriteText(out, "NULL"); break;
            default: std::snprintf(out, 16, "ERROR: %x", static_cast<unsigned>(m)); break;
        }
        return 0;
    }
    // Only a legal move is played.
    if (!IsLegalMove(m)) return 0;
    PlyRecord* const ply = currentPly;
    SaveForMake(ply);
    MakeMove(m, ply);
    if (moves) *moves++ = m;
    char* next = MoveToText(out, m);
    *next++ = ' ';
    *next = '\0';
    ++currentPly;
    const int deeper = PvStep(next, n - 1, moves);
    --currentPly;
    UnmakeMove(m, ply);
    return deeper + 1;
}

// Leaves only the moves the front end chose in the root list, in their order;
// returns the new end.
MoveEntry* KeepChosenRootMoves(MoveEntry* end) {
    if (searchLimits.rootMoveCount == 0) return end;
    MoveEntry* kept = rootList;
    for (MoveEntry* e = rootList; e < end; ++e) {
        if (std::find(searchLimits.rootMoves, searchLimits.rootMoves + searchLimits.rootMoveCount, e->move) !=
            searchLimits.rootMoves + searchLimits.rootMoveCount)
            *kept++ = *e;
    }
    return kept;
}

void LogFen() {
    if (searchHooks.logLine == nullptr) return;
    char fen[FenTextSize];
    WriteFen(fen);
    SearchLog("-FEN:\t%s", fen);
}

void ReportIteration(int16_t score) {
    if (searchHooks.iterationDone == nullptr) return;
    const IterationReport report{iterationDepth, score,    nodeCount, ClockMs() - searchLimits.searchStart,
                                 PvText,         pvMoves,  pvLength,  selDepth,
                                 searchLimits.pondering};
    searchHooks.iterationDone(report);
}

}  // namespace

int BuildPvText(char* out, int n, Move* moves) {
    // Every move of the text needs one more position in the history.
    return PvStep(out, std::min(n, HistoryRoom()), moves);
}

int16_t RootSearch(int16_t alpha, int16_t beta) {
    PlyRecord* const root = rootRecord;
    const int side = sideToMove;

    // Step 1. Transposition table: a cutoff only for the move already first in
    // the list; no narrowing while an aspiration re-search runs.
    if (LoadTableEntry(root, iterationDepth)) {
        if (EntryCutsOff(root, alpha, beta)) {
            if (root->hashMove == rootList[0].move) return root->ttScore;
        } else if (aspirationState == 0) {
            NarrowWindow(root, alpha, beta);
        }
    }

    // Step 2. The root list is generated once per search and keeps the
    // previous iteration's scores.
    int16_t best = -ScoreMax;
    uint32_t bound = BoundUpper;
    const bool inCheck = root->checkers != 0;
    if (root->moveListEnd == nullptr) {
        root->moveListEnd = KeepChosenRootMoves(inCheck ? GenerateEvasions(rootList, root) : GenerateAll(rootList));
        SaveForMake(root);
    }
    MoveEntry* const end = root->moveListEnd;
    rootProgress = RootProgress{0, static_cast<int>(end - rootList), 0};

    // Step 3. Ordering, as in the full-width search.
    MarkOrderingMoves(rootList, end, root->hashMove, root->killer1, root->killer2);
    MovePicker picker{rootList, end, nullptr, root->orderKeys, side};
    MoveEntry* bestEntry = nullptr;
    // Iteration 1, or too little history left for the full-width search: the
    // children get the quiescence search only.
    const ChildSearch child{iterationDepth - 1, 1, 2, iterationDepth == 1 || deepestFullWidthPly < 1};

    while (MoveEntry* entry = picker.Next()) {
        // Step 4. Search the move.
        const Move move = entry->move;
        rootProgress.current = move;
        ++nodeCount;
        MakeMove(move, root);
        ++currentPly;
        const int16_t v = SearchChild(move, side, child, alpha, beta, bound == BoundUpper);
        --currentPly;
        UnmakeMove(move, root);

        // Step 5. Stop flag and clock after every root move.
        if (SearchMustStop(false)) return best;
        ++rootProgress.movesSearched;

        // Step 6. Score and window; a cutoff puts the refuting move first.
        entry->score = v;
        if (v > best) {
            best = v;
            bestEntry = entry;
            if (v > alpha) {
                if (v >= beta) {
                    RecordCutoff(root, side, move, iterationDepth, v);
                    std::swap(*entry, rootList[0]);
                    return v;
                }
                alpha = v;
                bound = BoundExact;
            }
        }
    }

    // Step 7. No legal move: mate or stalemate at the root, its marker first.
    if (best == -ScoreMax) {
        root->moveListEnd = nullptr;
        const int16_t score = NoLegalMoveScore(0, iterationDepth, inCheck);
        rootList[0] = MoveEntry{score, inCheck ? ResultCheckmated : ResultStalemate};
        return score;
    }
    // Step 8. The best move goes first, also after a fail low.
    StoreTT(best, bound, iterationDepth, bestEntry->move);
    std::swap(*bestEntry, rootList[0]);
    return best;
}

Move IterativeDeepening() {
    SearchResult& result = searchResult;
    currentPly = rootRecord;

    // Step 1. Nothing to search, or the root is already drawn.
    result.bestMove = 0;
    result.bestScore = NoScore;
    pvLength = 0;
    if (!PositionPlayable()) return 0;
    if (const Move draw = DrawCheck(2)) {
        result.bestMove = draw;
        result.bestScore = 0;
        return draw;
    }
    // No room left in the position history for even one search ply: no
    // move; the front end refuses to play.
    SetLineLimits();
    if (deepestSearchPly < 1) {
        SearchLog("---------- no history room for a search");
        return 0;
    }

    // Step 2. Per-search counters.
    nodeCount = 0;
    quiesceMoveCount = 0;
    selDepth = 0;
    rootProgress = RootProgress{};
    checkCount[Black] = checkCount[White] = 0;
    rootList[0].move = 0;
    nextPollAt = PollInterval;
    rootRecord->moveListEnd = nullptr;
    iterationDepth = FirstIterationDepth;
    aspirationState = 0;
    int alpha = -WideWindow;
    int beta = WideWindow;
    int mateIterations = 0;
    bool extraTime = false;
    int entryAllotment = searchLimits.timeAllotment;
    const int maxDepth = std::min(searchLimits.maxDepth, MaxDepth);

    // Step 3. Resume from the root's table entry.
    if (const TTEntry* e = ProbeTT()) {
        result.bestMove = EntryMove(*e);
        result.bestScore = EntryScore(*e);
        const int16_t score = EntryScore(*e);
        if (EntryDepth(*e) >= 2) {
            if (EntryBound(*e) == BoundExact) {
                alpha = score - AspirationHalfWidth;
                beta = score + AspirationHalfWidth;
                iterationDepth = EntryDepth(*e);
            } else if (EntryBound(*e) == BoundLower) {
                if (score > -WideWindow) alpha = score;
            } else if (score < WideWindow) {
                beta = score;
            }
        }
        if (RepetitionAfter(result.bestMove) > 0) {
            iterationDepth = FirstIterationDepth;
            SearchLog("---------- repetition after hash!!!");
        }
        if (alpha > MateScoreThreshold) {
            beta = WideWindow;
            iterationDepth = FirstIterationDepth;
            SearchLog("---------- mate score from hash!!! m:%u", static_cast<unsigned>(result.bestMove));
            if (alpha >= MateValue) SearchLog("------------------------- WARNING: %d", alpha);
        }
    } else {
        // "No hash move at the start."
        SearchLog("---------- brak hm na poczatku!!!");
    }

    // Steps 4 and 5. The root position in the log; the root's checkers.
    LogFen();
    ComputeCheckers(rootRecord);

    // The budget is tripled for the rest of an iteration that failed low;
    // every way out of the iteration gives it back.
    auto restoreTime = [&] {
        if (extraTime) {
            searchLimits.timeAllotment = entryAllotment;
            extraTime = false;
        }
    };

    // Step 6. Iterations.
    while (iterationDepth <= maxDepth) {
        // Step 6a. Search inside the aspiration window.
        int16_t s = RootSearch(static_cast<int16_t>(alpha), static_cast<int16_t>(beta));
        // Step 6b. A fail low re-searches downwards (with more time while the
        // time control is far), a fail high upwards, then the whole window.
        if (s <= alpha) {
            aspirationState = -1;
            if (searchLimits.movesToGo > 4 && !extraTime) {
                entryAllotment = searchLimits.timeAllotment;
                extraTime = true;
                searchLimits.timeAllotment =
                    static_cast<int>(std::min<int64_t>(3 * static_cast<int64_t>(entryAllotment), INT_MAX));
            }
            const int16_t ceiling = static_cast<int16_t>(s + 1);
            int16_t s2 = RootSearch(static_cast<int16_t>(-WideWindow), ceiling);
            if (s2 <= -WideWindow || s2 >= ceiling) s2 = RootSearch(static_cast<int16_t>(-WideWindow), FailHighCeiling);
            s = s2;
            aspirationState = 0;
        } else if (s >= beta) {
            aspirationState = 1;
            const int16_t floor = static_cast<int16_t>(s - 1);
            int16_t s2 = RootSearch(floor, FailHighCeiling);
            if (s2 <= floor || s2 >= FailHighCeiling) s2 = RootSearch(static_cast<int16_t>(-WideWindow), FailHighCeiling);
            s = s2;
            aspirationState = 0;
        }
        // Steps 6c and 6d. An interrupted or overdue iteration is not used.
        if (stopSearch || SearchMustStop(false)) {
            restoreTime();
            break;
        }
        // Steps 6e to 6g. The iteration's move and score.
        result.bestMove = rootList[0].move;
        result.bestScore = rootList[0].score;
        if (result.bestMove == ResultStalemate) {
            SearchLog("-----STALEMATED---");
            restoreTime();
            break;
        }
        restoreTime();
        // Steps 6h to 6k. The variation, the log and the front end's report.
        if (searchLimits.pondering) SearchLog("-PONDER:");
        pvLength = BuildPvText(PvText, std::min(iterationDepth, PvMovesShown), pvMoves);
        SearchLog("-E: %d:\t%d\t%s", iterationDepth, static_cast<int>(s), PvText);
        ReportIteration(s);
        // Step 6l. The fourth iteration that shows a mate ends the search.
        if (s <= iterationDepth - MateValue || s >= MateValue - iterationDepth) {
            SearchLog("--- MATE: %d", static_cast<int>(s));
            if (++mateIterations > 3) break;
        }
        // Step 6m. The next window.
        alpha = std::max(s - AspirationHalfWidth, -static_cast<int>(WideWindow));
        beta = std::min(s + AspirationHalfWidth, static_cast<int>(WideWindow));
        ++iterationDepth;
    }

    // Steps 7 and 8. A root without a table entry after the search is worth a note.
    if (!ProbeTT()) {
        SearchLog("**************************************************** WARNING "
                  "*****************************************************************");
    }
    return result.bestMove;
}

}  // namespace kavrin
