#include "search/quiesce.h"

#include "board/board.h"
#include "board/makemove.h"
#include "board/movegen.h"
#include "search/alphabeta.h"
#include "search/eval.h"
#include "search/tt.h"

namespace kavrin {

int deepestSearchPly = DeepestPly;
uint64_t quiesceMoveCount = 0;

bool MoveStackHasRoom() {
    const MoveEntry* start = (currentPly - 1)->moveListEnd;
    return (moveStack + MoveStackSize) - start >= MaxGeneratedMoves;
}

int16_t Quiesce(int depth, int ply, int16_t alpha, int16_t beta) {
    PlyRecord* const node = currentPly;
    const int side = sideToMove;

    // 1. Table: every entry is deep enough here (depth <= 0).
    if (const TTEntry* e = ProbeTT()) {
        node->hashMove = EntryMove(*e);
        node->ttDepth = static_cast<uint8_t>(EntryDepth(*e));
        node->ttScore = EntryScore(*e);
        node->ttBound = EntryBound(*e);
        const int16_t score = node->ttScore;
        if (node->ttBound == BoundExact) return score;
        if (node->ttBound == BoundLower) {
            if (score >= beta) return score;
            if (score > alpha) alpha = score;
        } else {
            if (score <= alpha) return score;
            if (score < beta) beta = score;
        }
    } else {
        node->hashMove = 0;
        node->ttDepth = 0;
    }

    // 2. The list starts where the previous ply's list ended; a line that
    // has used up the move stack stands pat.
    if (!MoveStackHasRoom()) return Evaluate();
    MoveEntry* const start = (node - 1)->moveListEnd;

    // 3. Only a side that met a check on the main-search path looks for one.
    const bool checkAware = checkCount[side] != 0;
    if (checkAware) {
        ComputeCheckers(node);
    } else {
        node->checkers = 0;
    }

    // 4. Evasions without stand-pat, or stand-pat and captures.
    int16_t best;
    MoveEntry* end;
    if (node->checkers) {
        end = GenerateEvasions(start, node);
        best = -ScoreMax;
    } else {
        const int16_t stand = Evaluate();
        best = stand;
        if (stand > alpha) {
            if (stand >= beta) {
                StoreTT(stand, BoundLower, 0, 0);
                return stand;
            }
            alpha = stand;
        }
        end = GenerateCaptures(start);
    }
    node->moveListEnd = end;

    // 5. Save the Board for the moves of this ply.
    SaveForMake(node);

    // 6. Ordering: hash move first, killers raised.
    for (MoveEntry* m = start; m < end; ++m) {
        if (m->move == node->hashMove) {
            m->score = HashMoveScore;
        } else if (m->move == node->killer1) {
            m->score = static_cast<int16_t>(m->score + QuiesceKiller1Bonus);
        } else if (m->move == node->killer2) {
            m->score = static_cast<int16_t>(m->score + QuiesceKiller2Bonus);
        }
    }

    // 7. Move loop, best score first.
    uint32_t bound = BoundUpper;
    Move bestMove = 0;
    for (MoveEntry* cursor = start; cursor < end; ++cursor) {
        MoveEntry* pick = cursor;
        for (MoveEntry* m = cursor + 1; m < end; ++m) {
            if (m->score > pick->score) pick = m;
        }
        const MoveEntry chosen = *pick;
        *pick = *cursor;
        *cursor = chosen;
        const Move move = chosen.move;

        // b. The previous move left a king capturable: it was illegal.
        const int to = MoveTo(move);
        if (to == board.kingSquare[Black] || to == board.kingSquare[White]) {
            StoreTT(ScoreMax, BoundExact, 0, move);
            return ScoreMax;
        }

        MakeMove(move, node);
        PrefetchTT();
        ++quiesceMoveCount;
        ++currentPly;
        int16_t l;
        if (depth == QuiesceDepthLimit || ply >= deepestSearchPly) {
            l = static_cast<int16_t>(-Evaluate());
        } else if (board.totalMaterial < 4 && board.pawnCount[Black] + board.pawnCount[White] == 0) {
            l = 0;
        } else {
            l = static_cast<int16_t>(-Quiesce(depth - 1, ply + 1, static_cast<int16_t>(-beta), static_cast<int16_t>(-alpha)));
        }
        --currentPly;
        UnmakeMove(move, node);
        cursor->score = l;

        if (l > best) {
            if (l > alpha) {
                if (l >= beta) {
                    if (move != node->killer1) {
                        node->killer2 = node->killer1;
                        node->killer1 = move;
                    }
                    StoreTT(l, BoundLower, 0, move);
                    return l;
                }
                alpha = l;
                bound = BoundExact;
            }
            best = l;
            bestMove = move;
        }
    }

    // 8. Results by the kind of node.
    if (!checkAware) {
        StoreTT(best, bound, 0, bestMove);
        return best;
    }
    if (node->checkers) {
        if (best == -ScoreMax) {
            const int16_t mated = static_cast<int16_t>(ply - MateValue);
            StoreTT(mated, BoundExact, 0, ResultCheckmated);
            return mated;
        }
        StoreTT(best, bound, 1, bestMove);
        return best;
    }
    if (bestMove != 0) StoreTT(best, bound, 0, bestMove);
    return best;
}

}  // namespace kavrin
