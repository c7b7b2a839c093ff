#include "search/root.h"

#include <algorithm>
#include <climits>
#include <cstdio>

#include "board/board.h"
#include "board/legal.h"
#include "board/makemove.h"
#include "board/movegen.h"
#include "board/movetext.h"
#include "board/perft.h"
#include "driver/engine_state.h"
#include "driver/log.h"
#include "search/alphabeta.h"
#include "search/quiesce.h"
#include "search/tt.h"

namespace kavrin {

int iterationDepth = 2;
int aspirationState = 0;
char PvText[PvTextSize];

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

void PvStep(char* out, int n) {
    *out = '\0';
    if (n == 0) return;
    const TTEntry* e = ProbeTT();
    if (!e) {
        WriteText(out, "NOE ");
        return;
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
        return;
    }
    // Only a legal move is played.
    if (!IsLegalMove(m)) return;
    PlyRecord* const ply = currentPly;
    SaveForMake(ply);
    MakeMove(m, ply);
    char* next = MoveToText(out, m);
    *next++ = ' ';
    *next = '\0';
    ++currentPly;
    PvStep(next, n - 1);
    --currentPly;
    UnmakeMove(m, ply);
}

void LogFen() {
    char fen[FenTextSize];
    WriteFen(fen);
    logStream << "-FEN:\t" << fen << std::endl;
}

}  // namespace

void BuildPvText(char* out, int n) {
    // Every move of the text needs one more position in the history.
    PvStep(out, std::min(n, HistoryRoom()));
}

int16_t RootSearch(int16_t alpha, int16_t beta) {
    PlyRecord* const root = rootRecord;
    const int side = sideToMove;

    // 1. Table: a cutoff only for the move already first in the list.
    if (const TTEntry* e = ProbeTT()) {
        root->hashMove = EntryMove(*e);
        root->ttDepth = static_cast<uint8_t>(EntryDepth(*e));
        root->ttScore = EntryScore(*e);
        root->ttBound = EntryBound(*e);
        if (root->ttDepth >= iterationDepth) {
            const int16_t score = root->ttScore;
            const uint32_t ttBound = root->ttBound;
            const bool cutoff = ttBound == BoundExact || (ttBound == BoundLower && score >= beta) ||
                                (ttBound == BoundUpper && score <= alpha);
            if (cutoff) {
                if (root->hashMove == rootList[0].move) return score;
            } else if (aspirationState == 0) {
                if (ttBound == BoundLower && score > alpha) alpha = score;
                if (ttBound == BoundUpper && score < beta) beta = score;
            }
        }
    } else {
        root->hashMove = 0;
        root->ttDepth = 0;
    }

    // 2. The root list is generated once per search.
    int16_t best = -ScoreMax;
    uint32_t bound = BoundUpper;
    const bool inCheck = root->checkers != 0;
    if (root->moveListEnd == nullptr) {
        root->moveListEnd = inCheck ? GenerateEvasions(rootList, root) : GenerateAll(rootList);
        SaveForMake(root);
    }
    MoveEntry* const end = root->moveListEnd;

    // 3. Ordering.
    MarkOrderingMoves(rootList, end, root->hashMove, root->killer1, root->killer2);
    MovePicker picker{rootList, end, nullptr, root->orderKeys, side};
    MoveEntry* bestEntry = nullptr;
    // Too little history left for the full-width search: the children get
    // the quiescence search only.
    const bool quiesceChildren = iterationDepth == 1 || deepestFullWidthPly < 1;

    while (MoveEntry* entry = picker.Next()) {
        const Move move = entry->move;
        // 4.
        ++nodeCount;
        MakeMove(move, root);
        ++currentPly;
        int16_t v;
        if (IsKingAttacked(move, side)) {
            v = -ScoreMax;
        } else if (DrawCheck(2) != 0) {
            v = 0;
        } else {
            currentPly->moveListEnd = nullptr;
            const int16_t childAlpha = static_cast<int16_t>(-beta);
            const int16_t childBeta = static_cast<int16_t>(-alpha);
            if (quiesceChildren) {
                v = static_cast<int16_t>(-Quiesce(0, 1, childAlpha, childBeta));
            } else if (bound == BoundUpper) {
                v = static_cast<int16_t>(-AlphaBeta(iterationDepth - 1, 1, childAlpha, childBeta, 1));
            } else {
                v = static_cast<int16_t>(-AlphaBeta(iterationDepth - 1, 1, static_cast<int16_t>(-alpha - 1), childBeta, 1));
                if (alpha < v && v < beta) v = static_cast<int16_t>(-AlphaBeta(iterationDepth - 1, 1, childAlpha, childBeta, 1));
            }
        }
        --currentPly;
        UnmakeMove(move, root);

        // 5. Stop flag and clock after every root move.
        if (engineState.stopSearch) return best;
        if (RemainingMs() <= 0 && iterationDepth > 2) {
            engineState.stopSearch = true;
            return best;
        }

        // 6.
        entry->score = v;
        if (v > best) {
            best = v;
            bestEntry = entry;
            if (v > alpha) {
                if (v >= beta) {
                    // 7. Cutoff: the refuting move goes first.
                    if (MoveKindOf(move) == Quiet || IsCastling(move)) {
                        if (move != root->killer1) {
                            root->killer2 = root->killer1;
                            root->killer1 = move;
                        }
                    }
                    historyTable[side][move & HistoryMoveMask] += static_cast<uint32_t>(iterationDepth * iterationDepth);
                    StoreTT(v, BoundLower, iterationDepth, move);
                    std::swap(*entry, rootList[0]);
                    return v;
                }
                alpha = v;
                bound = BoundExact;
            }
        }
    }

    // 8. No legal move: mate or stalemate at the root.
    if (best == -ScoreMax) {
        root->moveListEnd = nullptr;
        if (inCheck) {
            rootList[0] = MoveEntry{static_cast<int16_t>(-MateValue), ResultCheckmated};
            StoreTT(static_cast<int16_t>(-MateValue), BoundExact, iterationDepth, ResultCheckmated);
            return static_cast<int16_t>(-MateValue);
        }
        rootList[0] = MoveEntry{0, ResultStalemate};
        StoreTT(0, BoundExact, iterationDepth, ResultStalemate);
        return 0;
    }
    StoreTT(best, bound, iterationDepth, bestEntry->move);
    std::swap(*bestEntry, rootList[0]);
    return best;
}

Move IterativeDeepening() {
    EngineState& state = engineState;
    currentPly = rootRecord;

    // 1. Nothing to search, or the root is already drawn.
    state.bestMove = 0;
    state.bestScore = -9999;
    if (!PositionPlayable()) return 0;
    if (const Move draw = DrawCheck(2)) {
        state.bestMove = draw;
        state.bestScore = 0;
        return draw;
    }
    // No room left in the position history for even one search ply: no
    // move; the driver refuses to play.
    SetLineLimits();
    if (deepestSearchPly < 1) {
        logStream << "---------- no history room for a search" << std::endl;
        return 0;
    }

    // 2. Per-search counters.
    nodeCount = 0;
    quiesceMoveCount = 0;
    checkCount[Black] = checkCount[White] = 0;
    rootList[0].move = 0;
    nextPollAt = PollInterval;
    rootRecord->moveListEnd = nullptr;
    iterationDepth = 2;
    aspirationState = 0;
    int alpha = -WideWindow;
    int beta = WideWindow;
    int mateIterations = 0;
    bool extraTime = false;
    int entryAllotment = state.timeAllotment;
    const int maxDepth = std::min(state.maxDepth, DeepestIteration);

    // 3. Resume from the root's table entry.
    if (const TTEntry* e = ProbeTT()) {
        state.bestMove = EntryMove(*e);
        state.bestScore = EntryScore(*e);
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
        if (RepetitionAfter(state.bestMove) > 0) {
            iterationDepth = 2;
            logStream << "---------- repetition after hash!!!" << std::endl;
        }
        if (alpha > MateValue - 50) {
            beta = WideWindow;
            iterationDepth = 2;
            logStream << "---------- mate score from hash!!! m:" << static_cast<unsigned>(state.bestMove) << std::endl;
            if (alpha >= MateValue) logStream << "------------------------- WARNING: " << alpha << std::endl;
        }
    } else {
        logStream << "---------- brak hm na poczatku!!!" << std::endl;
    }

    // 4., 5.
    LogFen();
    ComputeCheckers(rootRecord);

    // The budget is tripled for the rest of an iteration that failed low;
    // every way out of the iteration gives it back.
    auto restoreTime = [&] {
        if (extraTime) {
            state.timeAllotment = entryAllotment;
            extraTime = false;
        }
    };

    // 6. Iterations.
    while (iterationDepth <= maxDepth) {
        int16_t s = RootSearch(static_cast<int16_t>(alpha), static_cast<int16_t>(beta));
        if (s <= alpha) {
            aspirationState = -1;
            if (state.movesToGo > 4 && !extraTime) {
                entryAllotment = state.timeAllotment;
                extraTime = true;
                state.timeAllotment = static_cast<int>(std::min<int64_t>(3 * static_cast<int64_t>(entryAllotment), INT_MAX));
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
        if (state.stopSearch) {
            restoreTime();
            break;
        }
        state.stopSearch = RemainingMs() <= 0 && iterationDepth > 2;
        if (state.stopSearch) {
            restoreTime();
            break;
        }
        state.bestMove = rootList[0].move;
        state.bestScore = rootList[0].score;
        if (state.bestMove == ResultStalemate) {
            logStream << "-----STALEMATED---" << std::endl;
            restoreTime();
            break;
        }
        restoreTime();
        if (state.mode == Pondering) logStream << "-PONDER:" << std::endl;
        BuildPvText(PvText, std::min(iterationDepth, PvMovesShown));
        logStream << "-E: " << iterationDepth << ":\t" << s << "\t" << PvText << std::endl;
        if (state.mode != Pondering) {
            std::printf("    %d     %d     %d     %d  %s\n", iterationDepth, static_cast<int>(s), 0,
                        static_cast<int>(nodeCount), PvText);
            std::fflush(stdout);
        }
        if (s <= iterationDepth - MateValue || s >= MateValue - iterationDepth) {
            logStream << "--- MATE: " << s << std::endl;
            if (++mateIterations > 3) break;
        }
        alpha = std::max(s - AspirationHalfWidth, -static_cast<int>(WideWindow));
        beta = std::min(s + AspirationHalfWidth, static_cast<int>(WideWindow));
        ++iterationDepth;
    }

    // 7., 8.
    if (!ProbeTT()) {
        logStream << "**************************************************** WARNING "
                     "*****************************************************************"
                  << std::endl;
    }
    return state.bestMove;
}

}  // namespace kavrin
