#include "search/quiesce.h"

#include "search/eval.h"
#include "search/node.h"

namespace kavrin {

int deepestSearchPly = DeepestPly;

bool MoveStackHasRoom() {
    const MoveEntry* start = (currentPly - 1)->moveListEnd;
    return (moveStack + MoveStackSize) - start >= MaxGeneratedMoves;
}

int16_t Quiesce(int depth, int ply, int16_t alpha, int16_t beta) {
    PlyRecord* const node = currentPly;
    const int side = sideToMove;
    if (ply > selDepth) selDepth = ply;

    // Step 1. Transposition table: every entry is deep enough here (depth <= 0).
    if (LoadTableEntry(node, depth)) {
        if (EntryCutsOff(node, alpha, beta)) return node->ttScore;
        NarrowWindow(node, alpha, beta);
    }

    // Step 2. The list starts where the previous ply's list ended; a line that
    // has used up the move stack stands pat.
    if (!MoveStackHasRoom()) return Evaluate();
    MoveEntry* const start = (node - 1)->moveListEnd;

    // Step 3. Only a side that met a check on the main-search path looks for one.
    const bool checkAware = checkCount[side] != 0;
    if (checkAware) {
        ComputeCheckers(node);
    } else {
        node->checkers = 0;
    }

    // Step 4. Evasions without stand-pat, or stand-pat and captures.
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

    // Step 5. Save the Board for the moves of this ply.
    SaveForMake(node);

    // Step 6. Ordering: the hash move first; the killers keep their exchange
    // score and are raised above their peers.
    for (MoveEntry* m = start; m < end; ++m) {
        if (m->move == node->hashMove) {
            m->score = HashMoveScore;
        } else if (m->move == node->killer1) {
            m->score = static_cast<int16_t>(m->score + QuiesceKiller1Bonus);
        } else if (m->move == node->killer2) {
            m->score = static_cast<int16_t>(m->score + QuiesceKiller2Bonus);
        }
    }

    // Step 7. Move loop, best score first (no history phase here).
    uint32_t bound = BoundUpper;
    Move bestMove = 0;
    for (MoveEntry* cursor = start; cursor < end; ++cursor) {
        SelectBest(cursor, end);
        const Move move = cursor->move;

        // The previous move left a king capturable: it was illegal.
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

        // Any refuting move becomes a killer here, captures included.
        if (l > best) {
            if (l > alpha) {
                if (l >= beta) {
                    RecordKiller(node, move);
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

    // Step 8. Results by the kind of node: only a check-aware node can find
    // itself mated, and one that was not in check stores only a real move.
    if (!checkAware) {
        StoreTT(best, bound, 0, bestMove);
        return best;
    }
    if (node->checkers) {
        if (best == -ScoreMax) return NoLegalMoveScore(ply, 0, true);
        StoreTT(best, bound, 1, bestMove);
        return best;
    }
    if (bestMove != 0) StoreTT(best, bound, 0, bestMove);
    return best;
}

}  // namespace kavrin
