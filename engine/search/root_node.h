// The root node and the iterations of the search, for every profile.
#pragma once

#include <algorithm>
#include <climits>

#include "search/node.h"
#include "search/root.h"
#include "search/threads.h"

namespace kavrin {

template <class P>
bool SearchWorker::RankOtherLines() {
    for (lineIndex = 1; lineIndex < linesWanted; ++lineIndex) {
        const int s = RootSearch<P>(-WideWindow, WideWindow);
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

template <class P>
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
    if (LoadTableEntry<P>(root, iterationDepth, 0) && bestLine) {
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
    MovePicker picker{pos, table, first, end, root.orderKeys, HistoryKeys{history[side]}, LookAhead::None};
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
        if constexpr (P::ContinuationHistory || P::CounterMove) {
            root.movedPiece = pos.board.pieceOn[MoveFrom(move)];
            root.movedTo = static_cast<uint8_t>(MoveTo(move));
            if constexpr (P::ContinuationHistory)
                root.continuation = &gravity->continuation[root.movedPiece][root.movedTo];
        }
        ++nodes;
        MakeMove(pos, move, rootUndo);
        int v = -ScoreMax;
        if (!IsKingAttacked(pos, move, side)) {
            ++legalMoves;
            ChildSearch child{iterationDepth - 1, 1, 2, quiesceChildren, alpha, beta, bound == Bound::Upper};
            if constexpr (P::FirstMoveWindow) child.fullWindow = legalMoves == 1;
            v = SearchChild<P>(child);
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
                    if (bestLine) RecordCutoff<P>(root, 0, side, move, iterationDepth, v);
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
        const int score = NoLegalMoveScore<P>(0, iterationDepth, inCheck);
        rootList[0] = MoveEntry{static_cast<int16_t>(score), inCheck ? ResultCheckmated : ResultStalemate};
        return score;
    }
    // Step 8. The best move goes first, also after a fail low.
    if (bestLine) StoreNode<P>(0, best, bound, iterationDepth, bestEntry->move);
    std::swap(*bestEntry, *first);
    return best;
}

template <class P>
Move SearchWorker::IterativeDeepening() {
    // Step 1. Nothing to search, or the root is already drawn.
    result.bestMove = 0;
    result.bestScore = NoScore;
    pvLength = 0;
    nodes = 0;
    publishedNodes.store(0, std::memory_order_relaxed);
    tbHits = 0;
    publishedTbHits.store(0, std::memory_order_relaxed);
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
    nextPollAt = limits.pollInterval;
    plies[0].moveListEnd = nullptr;
    plies[0].staticScore = NoStaticScore;
    if constexpr (P::GravityHistory || P::CorrectionHistory) gravityUsed = true;
    if constexpr (P::TaperedEvaluation) taperedPawnsUsed = true;
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
        int s = RootSearch<P>(alpha, beta);
        if constexpr (P::GrowingAspiration) {
            // Step 6b. A window that fails widens on its failing side, by
            // more each time, until the score lands inside it.
            int delta = P::Parameters.aspirationDelta;
            while ((s <= alpha || s >= beta) && !shared.stop.load(std::memory_order_relaxed)) {
                if (s <= alpha) {
                    aspiration = Aspiration::FailLow;
                    beta = (alpha + beta) / 2;
                    alpha = std::max(s - delta, -WideWindow);
                } else {
                    aspiration = Aspiration::FailHigh;
                    beta = std::min(s + delta, WideWindow);
                }
                delta += delta / 2;
                s = RootSearch<P>(alpha, beta);
            }
            aspiration = Aspiration::Window;
        } else if (s <= alpha) {
            // Step 6b. A fail low re-searches downwards (with more time while
            // the time control is far), a fail high upwards, then the whole
            // window.
            aspiration = Aspiration::FailLow;
            if (limits.movesToGo > 4 && !extraTime) {
                entryAllotment = limits.timeAllotment;
                extraTime = true;
                limits.timeAllotment =
                    static_cast<int>(std::min<int64_t>(3 * static_cast<int64_t>(entryAllotment), INT_MAX));
            }
            const int ceiling = s + 1;
            int s2 = RootSearch<P>(-WideWindow, ceiling);
            if (s2 <= -WideWindow || s2 >= ceiling) s2 = RootSearch<P>(-WideWindow, FailHighCeiling);
            s = s2;
            aspiration = Aspiration::Window;
        } else if (s >= beta) {
            aspiration = Aspiration::FailHigh;
            const int floor = s - 1;
            int s2 = RootSearch<P>(floor, FailHighCeiling);
            if (s2 <= floor || s2 >= FailHighCeiling) s2 = RootSearch<P>(-WideWindow, FailHighCeiling);
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
        const bool allLinesRanked = linesWanted == 1 || RankOtherLines<P>();
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
        const int halfWidth = P::GrowingAspiration ? P::Parameters.aspirationDelta : AspirationHalfWidth;
        alpha = std::max(s - halfWidth, -WideWindow);
        beta = std::min(s + halfWidth, WideWindow);
        ++iterationDepth;
    }

    // Steps 7 and 8. A root without a table entry after the search is worth a note.
    if (TTEntry e; !table.Probe(pos, e)) {
        Log("**************************************************** WARNING "
            "*****************************************************************");
    }
    if (!IsMain()) {
        publishedNodes.store(nodes, std::memory_order_relaxed);
        publishedTbHits.store(tbHits, std::memory_order_relaxed);
    }
    return result.bestMove;
}

}  // namespace kavrin
