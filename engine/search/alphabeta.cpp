#include "search/alphabeta.h"

#include <cstring>

#include "board/board.h"
#include "board/makemove.h"
#include "board/movegen.h"
#include "board/perft.h"
#include "driver/clock.h"
#include "driver/engine_state.h"
#include "driver/input.h"
#include "search/quiesce.h"
#include "search/root.h"
#include "search/tt.h"

namespace kavrin {

HistoryTable historyTable;
int checkCount[2];
uint32_t nextPollAt = PollInterval;
int deepestFullWidthPly = DeepestFullWidthPly;

void ClearHistoryTable() { std::memset(historyTable, 0, sizeof(historyTable)); }

bool PollDue() {
    const uint32_t ahead = nodeCount - nextPollAt;
    return ahead != 0 && ahead < 0x80000000u;
}

int64_t RemainingMs() {
    if (engineState.mode == Pondering) return 1;
    return static_cast<int64_t>(engineState.searchStart) + engineState.timeAllotment - ClockMs();
}

void MarkOrderingMoves(MoveEntry* start, MoveEntry* end, Move hashMove, Move killer1, Move killer2) {
    for (MoveEntry* m = start; m < end; ++m) {
        if (m->move == hashMove) {
            m->score = HashMoveScore;
        } else if (m->move == killer1) {
            m->score = Killer1Score;
        } else if (m->move == killer2) {
            m->score = Killer2Score;
        }
    }
}

MoveEntry* MovePicker::Next() {
    if (cursor >= end) return nullptr;
    if (!quietStart) {
        MoveEntry* pick = cursor;
        for (MoveEntry* m = cursor + 1; m < end; ++m) {
            if (m->score > pick->score) pick = m;
        }
        const MoveEntry chosen = *pick;
        *pick = *cursor;
        *cursor = chosen;
        // Lists longer than the key room keep the score order throughout.
        if (chosen.score >= QuietPhaseThreshold || end - cursor > OrderKeysSize) return cursor++;
        // Only quiet moves and even or losing exchanges remain: key them once.
        quietStart = cursor;
        for (MoveEntry* m = cursor; m < end; ++m) {
            keys[m - quietStart] = historyTable[side][m->move & HistoryMoveMask] +
                                   static_cast<uint32_t>(m->score + static_cast<int>(HistoryKeyBias));
        }
    }
    uint32_t* const cursorKey = keys + (cursor - quietStart);
    uint32_t* pickKey = cursorKey;
    const uint32_t* const endKey = keys + (end - quietStart);
    for (uint32_t* k = cursorKey + 1; k < endKey; ++k) {
        if (*k > *pickKey) pickKey = k;
    }
    MoveEntry* const pick = quietStart + (pickKey - keys);
    const uint32_t key = *pickKey;
    *pickKey = *cursorKey;
    *cursorKey = key;
    const MoveEntry chosen = *pick;
    *pick = *cursor;
    *cursor = chosen;
    return cursor++;
}

int16_t AlphaBeta(int depth, int ply, int16_t alpha, int16_t beta, uint8_t nullAllowed) {
    PlyRecord* const node = currentPly;
    // A line that has used up the move stack goes on in the quiescence
    // search, which stands pat when even that has no room.
    if (node->moveListEnd == nullptr && !MoveStackHasRoom()) return Quiesce(0, ply, alpha, beta);

    // 1. Table: cutoff unless the hash move would repeat; else narrow.
    if (const TTEntry* e = ProbeTT()) {
        node->hashMove = EntryMove(*e);
        node->ttDepth = static_cast<uint8_t>(EntryDepth(*e));
        node->ttScore = EntryScore(*e);
        node->ttBound = EntryBound(*e);
        if (node->ttDepth >= depth) {
            const int16_t score = node->ttScore;
            const uint32_t ttBound = node->ttBound;
            const bool cutoff = ttBound == BoundExact || (ttBound == BoundLower && score >= beta) ||
                                (ttBound == BoundUpper && score <= alpha);
            if (cutoff) {
                if (RepetitionAfter(node->hashMove) == 0) return score;
            } else if (aspirationState == 0 || depth != iterationDepth) {
                if (ttBound == BoundLower && score > alpha) alpha = score;
                if (ttBound == BoundUpper && score < beta) beta = score;
            }
        }
    } else {
        node->hashMove = 0;
        node->ttDepth = 0;
    }

    // 2.
    const int side = sideToMove;
    int16_t best = -ScoreMax;
    uint32_t bound = BoundUpper;
    int extension = 0;
    ComputeCheckers(node);
    const bool inCheck = node->checkers != 0;

    // 3. Null move.
    if (nullAllowed && !inCheck && board.nonPawnMaterial[side] != 0) {
        const int r = (depth > 6 && board.nonPawnMaterial[side] >= 9) ? 3 : 2;
        const bool promisesFailLow = node->ttDepth > 0 && node->ttDepth >= depth - r - 1 && node->ttScore < beta &&
                                     (node->ttBound == BoundUpper || node->ttBound == BoundExact);
        if (!promisesFailLow) {
            if (node->moveListEnd == nullptr) node->moveListEnd = (node - 1)->moveListEnd;
            MakeNullMove(node);
            ++currentPly;
            currentPly->moveListEnd = nullptr;
            const int16_t nullBeta = static_cast<int16_t>(-beta + 1);
            int16_t v;
            if (depth > r + 1) {
                v = static_cast<int16_t>(-AlphaBeta(depth - r - 1, ply + 1, static_cast<int16_t>(-beta), nullBeta, 0));
            } else {
                v = static_cast<int16_t>(-Quiesce(0, ply + 1, static_cast<int16_t>(-beta), nullBeta));
            }
            --currentPly;
            UnmakeNullMove(node);
            node->moveListEnd = nullptr;
            // The clock only; input waits for the next poll of the move loop.
            if (PollDue()) {
                if (engineState.stopSearch) return -ScoreMax;
                if (RemainingMs() <= 0 && iterationDepth > 2) {
                    engineState.stopSearch = true;
                    return -ScoreMax;
                }
                engineState.stopSearch = false;
            }
            if (v >= beta) return v;
        }
    }

    // 4. Internal iterative deepening on this ply: leaves the list generated
    // and scored, and a hash move in the table.
    if (node->ttDepth < depth - 2) {
        AlphaBeta(depth - 2, ply, alpha, beta, nullAllowed);
        if (const TTEntry* e = ProbeTT()) node->hashMove = EntryMove(*e);
    }

    // 5. Check extension from the second check of this side on the path.
    if (inCheck) {
        if (checkCount[side] > 0) extension = 1;
        ++checkCount[side];
    }

    // 6. Move list (already there after internal deepening).
    MoveEntry* const start = (node - 1)->moveListEnd;
    if (node->moveListEnd == nullptr) {
        node->moveListEnd = inCheck ? GenerateEvasions(start, node) : GenerateAll(start);
        SaveForMake(node);
    }
    MoveEntry* const end = node->moveListEnd;

    // 7. Ordering pass.
    MarkOrderingMoves(start, end, node->hashMove, node->killer1, node->killer2);

    // 8. Move loop.
    MovePicker picker{start, end, nullptr, node->orderKeys, side};
    Move bestMove = 0;
    const int nd = depth + extension;
    while (MoveEntry* entry = picker.Next()) {
        const Move move = entry->move;
        ++nodeCount;
        MakeMove(move, node);
        PrefetchTT();
        ++currentPly;
        int16_t v;
        if (IsKingAttacked(move, side)) {
            v = -ScoreMax;
        } else if (DrawCheck(1) != 0) {
            v = 0;
        } else {
            currentPly->moveListEnd = nullptr;
            const int16_t childAlpha = static_cast<int16_t>(-beta);
            const int16_t childBeta = static_cast<int16_t>(-alpha);
            if (nd <= 1 || ply >= deepestFullWidthPly) {
                v = static_cast<int16_t>(-Quiesce(0, ply + 1, childAlpha, childBeta));
            } else if (bound == BoundUpper) {
                v = static_cast<int16_t>(-AlphaBeta(nd - 1, ply + 1, childAlpha, childBeta, 1));
            } else {
                v = static_cast<int16_t>(-AlphaBeta(nd - 1, ply + 1, static_cast<int16_t>(-alpha - 1), childBeta, 1));
                if (alpha < v && v < beta) {
                    v = static_cast<int16_t>(-AlphaBeta(nd - 1, ply + 1, childAlpha, childBeta, 1));
                }
            }
        }
        --currentPly;
        UnmakeMove(move, node);

        // e. Poll; an aborting node leaves nextPollAt behind, so every node
        // above it polls at once and unwinds too.
        if (PollDue()) {
            if (engineState.stopSearch || (RemainingMs() <= 0 && iterationDepth > 2) || InputPending()) {
                engineState.stopSearch = true;
                if (inCheck) --checkCount[side];
                return best;
            }
            nextPollAt += PollInterval;
        }

        // f.
        entry->score = v;
        if (v > best) {
            if (v > alpha) {
                if (v >= beta) {
                    // 9. Cutoff.
                    if (inCheck) --checkCount[side];
                    if (MoveKindOf(move) == Quiet || IsCastling(move)) {
                        if (move != node->killer1) {
                            node->killer2 = node->killer1;
                            node->killer1 = move;
                        }
                    }
                    historyTable[side][move & HistoryMoveMask] += static_cast<uint32_t>(depth * depth);
                    StoreTT(v, BoundLower, depth, move);
                    return v;
                }
                alpha = v;
                bound = BoundExact;
            }
            best = v;
            bestMove = move;
        }
    }

    // 10. End of list: mate, stalemate or the best move found.
    if (inCheck) --checkCount[side];
    if (best == -ScoreMax) {
        if (inCheck) {
            const int16_t mated = static_cast<int16_t>(ply - MateValue);
            StoreTT(mated, BoundExact, depth, ResultCheckmated);
            return mated;
        }
        StoreTT(0, BoundExact, depth, ResultStalemate);
        return 0;
    }
    StoreTT(best, bound, depth, bestMove);
    return best;
}

}  // namespace kavrin
