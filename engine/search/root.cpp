#include "search/root.h"

#include <algorithm>
#include <climits>
#include <cstdarg>
#include <cstdio>

#include "board/legal.h"
#include "board/movetext.h"
#include "search/node.h"
#include "search/threads.h"
#include "system/clock.h"

namespace kavrin {

namespace {

// Quiescence plies below the deepest full-width ply.
constexpr int QuiescePlies = DeepestPly - DeepestFullWidthPly;
static_assert(QuiescePlies == -QuiesceDepthLimit, "the full-width limit leaves the quiescence search its eight plies");
// Longest text BuildPvText can write: its moves, then the longest fixed text.
static_assert(PvMovesShown * MoveTextSize + 32 < PvTextSize, "the variation text fits its buffer");
// Longest note line: the variation text of an iteration and its prefix.
constexpr int LogLineSize = PvTextSize + 104;

// Moves the search line may make before the position history is full.
int HistoryRoom(const Position& pos) { return HistorySize - 1 - pos.HistoryIndex(); }

char* WriteText(char* out, const char* text) {
    while (*text) *out++ = *text++;
    *out = '\0';
    return out;
}

}  // namespace

int64_t SearchWorker::RemainingMs() const {
    if (limits.untimed) return 1;
    const int budget = limits.timeAllotment < limits.timeCeiling ? limits.timeAllotment : limits.timeCeiling;
    return static_cast<int64_t>(limits.searchStart) + budget - ClockMs();
}

void SearchWorker::Log(const char* format, ...) {
    if (reporter == nullptr) return;
    char line[LogLineSize];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    reporter->LogLine(line);
}

// Fits the deepest line into the position history left by the game: the
// node at the deepest ply makes one move more.
void SearchWorker::SetLineLimits() {
    deepestSearchPly = std::min(DeepestPly, HistoryRoom(pos) - 1);
    deepestFullWidthPly = std::min(DeepestFullWidthPly, deepestSearchPly - QuiescePlies);
}

int SearchWorker::PvStep(char* out, int n, int ply, Move* moves, bool toGameEnd) {
    *out = '\0';
    if (n == 0) return 0;
    TTEntry e;
    if (!table.Probe(pos, e)) {
        WriteText(out, "NOE ");
        return 0;
    }
    const Move m = EntryMove(e);
    if (m == 0 || MoveKindOf(m) == MarkerKind) {
        switch (m) {
            case ResultCheckmated:
                WriteText(out, "# ");
                break;
            case ResultStalemate:
                WriteText(out, "1/2 - 1/2 (stalemate)");
                break;
            case ResultRepetition:
                WriteText(out, "1/2 - 1/2 (repetition)");
                break;
            case NullMoveMarker:
                WriteText(out, "NULL");
                break;
            default:
                std::snprintf(out, 16, "ERROR: %x", static_cast<unsigned>(m));
                break;
        }
        return 0;
    }
    // Only a legal move is played.
    if (!IsLegalMove(pos, m)) return 0;
    UndoRecord& plyUndo = undo[ply];
    SaveForMake(pos, plyUndo);
    MakeMove(pos, m, plyUndo);
    if (moves) *moves++ = m;
    char* next = MoveToText(out, m);
    *next++ = ' ';
    *next = '\0';
    // A line shown to the interface ends where the game would: at a draw
    // by rule (a mated position has no move to go on with).
    const int deeper = toGameEnd && LawfulDrawCheck(pos) != 0 ? 0 : PvStep(next, n - 1, ply + 1, moves, toGameEnd);
    UnmakeMove(pos, m, plyUndo);
    return deeper + 1;
}

int SearchWorker::BuildPvText(char* out, int n, Move* moves) {
    // Every move of the text needs one more position in the history.
    return PvStep(out, std::min(n, HistoryRoom(pos)), 0, moves, false);
}

int SearchWorker::CountLegalRootMoves() {
    MoveEntry legal[MaxGeneratedMoves];
    const MoveEntry* const end = GenerateLegalMoves(pos, legal);
    if (limits.rootMoveCount == 0) return static_cast<int>(end - legal);
    int count = 0;
    for (const MoveEntry* e = legal; e != end; ++e)
        count += std::find(limits.rootMoves, limits.rootMoves + limits.rootMoveCount, e->move) !=
                 limits.rootMoves + limits.rootMoveCount;
    return count;
}

void SearchWorker::RecordLine(int number, int score) {
    RootLine& line = lines[number];
    line.depth = iterationDepth;
    line.score = score;
    line.selDepth = selDepth;
    const Move m = moveStack[number].move;
    line.moves[0] = m;
    line.length = 1;
    // A mated root has its marker and no move to play after it.
    if (MoveKindOf(m) == MarkerKind) return;
    // The variation after the move, as far as the game goes on; the root's
    // record is the one its moves are made with.
    const int room = std::min({iterationDepth, LineMovesShown, HistoryRoom(pos)}) - 1;
    UndoRecord& rootUndo = undo[0];
    SaveForMake(pos, rootUndo);
    MakeMove(pos, m, rootUndo);
    if (room > 0 && LawfulDrawCheck(pos) == 0) {
        char text[LineMovesShown * (MoveTextSize + 1) + 32];
        line.length += PvStep(text, room, 1, line.moves + 1, true);
    }
    UnmakeMove(pos, m, rootUndo);
}

bool SearchWorker::RankOtherLines() {
    for (lineIndex = 1; lineIndex < linesWanted; ++lineIndex) {
        const int s = RootSearch(-WideWindow, WideWindow);
        if (shared.stop.load(std::memory_order_relaxed) || SearchMustStop(false)) {
            lineIndex = 0;
            return false;
        }
        RecordLine(lineIndex, s);
    }
    lineIndex = 0;
    // Best first: a later line may have scored above an earlier one. The
    // root list keeps the same order for the next iteration.
    int order[MaxSearchLines];
    for (int i = 0; i < linesWanted; ++i) order[i] = i;
    std::stable_sort(order, order + linesWanted, [&](int a, int b) { return lines[a].score > lines[b].score; });
    RootLine sortedLines[MaxSearchLines];
    MoveEntry sortedEntries[MaxSearchLines];
    for (int i = 0; i < linesWanted; ++i) {
        sortedLines[i] = lines[order[i]];
        sortedEntries[i] = MoveEntry{static_cast<int16_t>(lines[order[i]].score), moveStack[order[i]].move};
    }
    for (int i = 0; i < linesWanted; ++i) {
        lines[i] = sortedLines[i];
        moveStack[i] = sortedEntries[i];
    }
    lineCount = linesWanted;
    result.bestMove = lines[0].moves[0];
    result.bestScore = lines[0].score;
    return true;
}

// Leaves only the moves the front end chose in the root list, in their order;
// returns the new end.
MoveEntry* SearchWorker::KeepChosenRootMoves(MoveEntry* end) {
    if (limits.rootMoveCount == 0) return end;
    MoveEntry* kept = moveStack;
    for (MoveEntry* e = moveStack; e < end; ++e) {
        if (std::find(limits.rootMoves, limits.rootMoves + limits.rootMoveCount, e->move) !=
            limits.rootMoves + limits.rootMoveCount)
            *kept++ = *e;
    }
    return kept;
}

void SearchWorker::LogFen() {
    if (reporter == nullptr) return;
    char fen[FenTextSize];
    WriteFen(pos, fen);
    Log("-FEN:\t%s", fen);
}

void SearchWorker::ReportIteration() {
    if (reporter == nullptr) return;
    const int elapsed = ClockMs() - limits.searchStart;
    for (int i = 0; i < lineCount; ++i) {
        const RootLine& line = lines[i];
        const IterationReport report{iterationDepth, line.score,       nodes, elapsed,  pvText, line.moves, line.length,
                                     line.selDepth,  limits.pondering, i + 1, lineCount};
        reporter->IterationDone(report);
    }
}

void SearchWorker::TakePonderHit() {
    if (!shared.ponderHit.exchange(false, std::memory_order_acquire)) return;
    limits.pondering = false;
    timeManagement.Start(limits, shared.ponderHitMs.load(std::memory_order_relaxed));
}

bool SearchWorker::NodeLimitReached() const { return shared.threads.TotalNodes() >= limits.nodes; }

bool SearchWorker::IterationEndsSearch() {
    const int score = result.bestScore;
    const bool mateFound = limits.mate > 0 && score > MateScoreThreshold && (MateValue - score + 1) / 2 <= limits.mate;
    const bool nodesSpent = limits.nodes != 0 && NodeLimitReached();
    const bool timeSpent =
        limits.plansTime && !limits.pondering && !timeManagement.StartsAnother(ClockMs(), result.bestMove, score);
    return mateFound || nodesSpent || timeSpent;
}

int SearchWorker::RootSearch(int alpha, int beta) {
    SearchPly& root = plies[0];
    MoveEntry* const rootList = moveStack;
    // The moves of the line being ranked: those not ranked above it.
    MoveEntry* const first = rootList + lineIndex;
    const bool bestLine = lineIndex == 0;
    const int side = pos.sideToMove;

    // Step 1. Transposition table: a cutoff only for the move already first in
    // the list; no narrowing while an aspiration re-search runs. The table
    // speaks of the best move only.
    if (LoadTableEntry(root, iterationDepth) && bestLine) {
        if (EntryCutsOff(root, alpha, beta)) {
            if (root.hashMove == rootList[0].move) return root.ttScore;
        } else if (aspiration == Aspiration::Window) {
            NarrowWindow(root, alpha, beta);
        }
    }

    // Step 2. The root list is generated once per search and keeps the
    // previous iteration's scores.
    int best = -ScoreMax;
    Bound bound = Bound::Upper;
    const bool inCheck = root.check.checkers != 0;
    UndoRecord& rootUndo = undo[0];
    if (root.moveListEnd == nullptr) {
        root.moveListEnd =
            KeepChosenRootMoves(inCheck ? GenerateEvasions(pos, rootList, root.check) : GenerateAll(pos, rootList));
        SaveForMake(pos, rootUndo);
    }
    MoveEntry* const end = root.moveListEnd;
    rootProgress = RootProgress{0, static_cast<int>(end - rootList), 0};

    // Step 3. Ordering, as in the full-width search.
    MarkOrderingMoves(first, end, root.hashMove, root.killer1, root.killer2);
    MovePicker picker{pos, table, first, end, root.orderKeys, history[side], LookAhead::None};
    MoveEntry* bestEntry = nullptr;
    int legalMoves = 0;
    // Iteration 1, or too little history left for the full-width search: the
    // children get the quiescence search only.
    const bool quiesceChildren = iterationDepth == 1 || deepestFullWidthPly < 1;

    while (MoveEntry* entry = picker.Next()) {
        // Step 4. Search the move.
        const Move move = entry->move;
        rootProgress.current = move;
        if (reporter != nullptr)
            reporter->RootMoveStarted(iterationDepth, move, lineIndex + rootProgress.movesSearched + 1);
        ++nodes;
        MakeMove(pos, move, rootUndo);
        int v = -ScoreMax;
        if (!IsKingAttacked(pos, move, side)) {
            ++legalMoves;
            v = SearchChild(ChildSearch{iterationDepth - 1, 1, 2, quiesceChildren, alpha, beta, bound == Bound::Upper});
        }
        UnmakeMove(pos, move, rootUndo);

        // Step 5. Stop flag and clock after every root move.
        if (SearchMustStop(false)) return best;
        ++rootProgress.movesSearched;

        // Step 6. Score and window; a cutoff puts the refuting move first.
        entry->score = static_cast<int16_t>(v);
        if (v > best) {
            best = v;
            bestEntry = entry;
            if (v > alpha) {
                if (v >= beta) {
                    if (bestLine) RecordCutoff(root, side, move, iterationDepth, v);
                    std::swap(*entry, *first);
                    return v;
                }
                alpha = v;
                bound = Bound::Exact;
            }
        }
    }

    // Step 7. No legal move: mate or stalemate at the root, its marker first.
    // (A line below the best ranks only legal moves.)
    if (legalMoves == 0 && !bestLine) return best;
    if (legalMoves == 0) {
        root.moveListEnd = nullptr;
        const int score = NoLegalMoveScore(0, iterationDepth, inCheck);
        rootList[0] = MoveEntry{static_cast<int16_t>(score), inCheck ? ResultCheckmated : ResultStalemate};
        return score;
    }
    // Step 8. The best move goes first, also after a fail low.
    if (bestLine) table.Store(pos, best, bound, iterationDepth, bestEntry->move);
    std::swap(*bestEntry, *first);
    return best;
}

Move SearchWorker::Search(const Position& root) {
    CopyPositionFrom(pos, root);
    limits = shared.limits;
    if (IsMain()) {
        reporter = shared.reporter;
        if (limits.plansTime && !limits.pondering) timeManagement.Start(limits, limits.searchStart);
    } else {
        // Helpers keep no clock and tell nobody: the main thread ends them.
        reporter = nullptr;
        limits.untimed = true;
    }
    return IterativeDeepening();
}

Move SearchWorker::IterativeDeepening() {
    // Step 1. Nothing to search, or the root is already drawn.
    result.bestMove = 0;
    result.bestScore = NoScore;
    pvLength = 0;
    nodes = 0;
    publishedNodes.store(0, std::memory_order_relaxed);
    if (!PositionPlayable(pos)) return 0;
    if (const Move draw = DrawCheck(pos, 2)) {
        result.bestMove = draw;
        result.bestScore = 0;
        return draw;
    }
    // No room left in the position history for even one search ply: no
    // move; the front end refuses to play.
    SetLineLimits();
    if (deepestSearchPly < 1) {
        Log("---------- no history room for a search");
        return 0;
    }

    // Step 2. Per-search counters.
    quiesceMoves = 0;
    selDepth = 0;
    rootProgress = RootProgress{};
    checkCount[Black] = checkCount[White] = 0;
    moveStack[0].move = 0;
    nextPollAt = PollInterval;
    plies[0].moveListEnd = nullptr;
    lineIndex = 0;
    lineCount = 0;
    linesWanted = limits.lines > 1 ? std::max(1, std::min({limits.lines, MaxSearchLines, CountLegalRootMoves()})) : 1;
    iterationDepth = FirstIterationDepth;
    aspiration = Aspiration::Window;
    int alpha = -WideWindow;
    int beta = WideWindow;
    int mateIterations = 0;
    bool extraTime = false;
    int entryAllotment = limits.timeAllotment;
    const int maxDepth = std::min(limits.maxDepth, MaxDepth);

    // Step 3. Resume from the root's table entry.
    if (TTEntry e; table.Probe(pos, e)) {
        result.bestMove = EntryMove(e);
        result.bestScore = EntryScore(e);
        const int score = EntryScore(e);
        if (EntryDepth(e) >= 2) {
            if (EntryBound(e) == Bound::Exact) {
                alpha = score - AspirationHalfWidth;
                beta = score + AspirationHalfWidth;
                iterationDepth = EntryDepth(e);
                if (limits.resumeWithinMaxDepth) iterationDepth = std::min(iterationDepth, maxDepth);
            } else if (EntryBound(e) == Bound::Lower) {
                if (score > -WideWindow) alpha = score;
            } else if (score < WideWindow) {
                beta = score;
            }
        }
        if (RepetitionAfter(pos, result.bestMove) > 0) {
            iterationDepth = FirstIterationDepth;
            Log("---------- repetition after hash!!!");
        }
        if (alpha > MateScoreThreshold) {
            beta = WideWindow;
            iterationDepth = FirstIterationDepth;
            Log("---------- mate score from hash!!! m:%u", static_cast<unsigned>(result.bestMove));
            if (alpha >= MateValue) Log("------------------------- WARNING: %d", alpha);
        }
    } else {
        // "No hash move at the start."
        Log("---------- brak hm na poczatku!!!");
    }

    // Steps 4 and 5. The root position in the log; the root's checkers.
    LogFen();
    ComputeCheckers(pos, plies[0].check);

    // The budget is tripled for the rest of an iteration that failed low;
    // every way out of the iteration gives it back.
    auto restoreTime = [&] {
        if (extraTime) {
            limits.timeAllotment = entryAllotment;
            extraTime = false;
        }
    };

    // Step 6. Iterations.
    while (iterationDepth <= maxDepth) {
        // Step 6a. Search inside the aspiration window.
        int s = RootSearch(alpha, beta);
        // Step 6b. A fail low re-searches downwards (with more time while the
        // time control is far), a fail high upwards, then the whole window.
        if (s <= alpha) {
            aspiration = Aspiration::FailLow;
            if (limits.movesToGo > 4 && !extraTime) {
                entryAllotment = limits.timeAllotment;
                extraTime = true;
                limits.timeAllotment =
                    static_cast<int>(std::min<int64_t>(3 * static_cast<int64_t>(entryAllotment), INT_MAX));
            }
            const int ceiling = s + 1;
            int s2 = RootSearch(-WideWindow, ceiling);
            if (s2 <= -WideWindow || s2 >= ceiling) s2 = RootSearch(-WideWindow, FailHighCeiling);
            s = s2;
            aspiration = Aspiration::Window;
        } else if (s >= beta) {
            aspiration = Aspiration::FailHigh;
            const int floor = s - 1;
            int s2 = RootSearch(floor, FailHighCeiling);
            if (s2 <= floor || s2 >= FailHighCeiling) s2 = RootSearch(-WideWindow, FailHighCeiling);
            s = s2;
            aspiration = Aspiration::Window;
        }
        // Steps 6c and 6d. An interrupted or overdue iteration is not used.
        if (shared.stop.load(std::memory_order_relaxed) || SearchMustStop(false)) {
            restoreTime();
            break;
        }
        // Steps 6e to 6g. The iteration's move and score.
        result.bestMove = moveStack[0].move;
        result.bestScore = moveStack[0].score;
        if (result.bestMove == ResultStalemate) {
            Log("-----STALEMATED---");
            restoreTime();
            break;
        }
        restoreTime();
        // Steps 6h to 6k. The variation, the log and the front end's report.
        if (limits.pondering) Log("-PONDER:");
        pvLength = BuildPvText(pvText, std::min(iterationDepth, PvMovesShown), pvMoves);
        Log("-E: %d:\t%d\t%s", iterationDepth, s, pvText);
        RecordLine(0, s);
        lineCount = 1;
        // Stopped while ranking the other lines, the iteration's best line is
        // still complete and is the move the search plays: it is shown alone.
        const bool allLinesRanked = linesWanted == 1 || RankOtherLines();
        ReportIteration();
        if (!allLinesRanked) break;
        // Step 6l. The fourth iteration that shows a mate ends the search.
        if (s <= iterationDepth - MateValue || s >= MateValue - iterationDepth) {
            Log("--- MATE: %d", s);
            if (++mateIterations > 3) break;
        }
        // A search that keeps its own clock or limits may want no more.
        if (IsMain() && IterationEndsSearch()) {
            shared.stop.store(true, std::memory_order_relaxed);
            break;
        }
        // Step 6m. The next window.
        alpha = std::max(s - AspirationHalfWidth, -WideWindow);
        beta = std::min(s + AspirationHalfWidth, WideWindow);
        ++iterationDepth;
    }

    // Steps 7 and 8. A root without a table entry after the search is worth a note.
    if (TTEntry e; !table.Probe(pos, e)) {
        Log("**************************************************** WARNING "
            "*****************************************************************");
    }
    if (!IsMain()) publishedNodes.store(nodes, std::memory_order_relaxed);
    return result.bestMove;
}

}  // namespace kavrin
