// The quiescence node, for every profile.
#pragma once

#include "board/exchange_balance.h"
#include "search/node.h"
#include "search/quiesce.h"

namespace kavrin {

template <class P>
int SearchWorker::Quiesce(int depth, int ply, int alpha, int beta) {
    SearchPly& node = plies[ply];
    const int side = pos.sideToMove;
    if (ply > selDepth) selDepth = ply;

    // The evaluation's pawn entry loads while the table is probed.
    pawns.Prefetch(pos.board.pawnKey);

    // Step 1. Transposition table: every entry is deep enough here (depth <= 0).
    const bool found = LoadTableEntry<P>(node, depth, ply);
    if (node.hashMove != 0) table.PrefetchAfter(pos, node.hashMove);
    if (found) {
        if (EntryCutsOff(node, alpha, beta)) return node.ttScore;
        NarrowWindow(node, alpha, beta);
    }

    // Step 2. The list starts where the previous ply's list ended; a line that
    // has used up the move stack stands pat.
    if (!MoveStackHasRoom(ply)) return StaticEvaluation<P>();
    MoveEntry* const start = plies[ply - 1].moveListEnd;

    // Step 3. Only a side that met a check on the main-search path looks for one.
    const bool checkAware = checkCount[side] != 0;
    if (checkAware) {
        ComputeCheckers(pos, node.check);
    } else {
        node.check.checkers = 0;
    }

    // Step 4. Evasions without stand-pat, or stand-pat and captures.
    int best;
    MoveEntry* end;
    if (node.check.checkers) {
        end = GenerateEvasions(pos, start, node.check);
        best = -ScoreMax;
    } else {
        const int stand = StaticEvaluation<P>();
        best = stand;
        if (stand > alpha) {
            if (stand >= beta) {
                StoreNode<P>(ply, stand, Bound::Lower, 0, 0);
                return stand;
            }
            alpha = stand;
        }
        end = GenerateCaptures(pos, start);
    }
    node.moveListEnd = end;
    // The lists are short: start loading every child's bucket now.
    for (const MoveEntry* m = start; m < end; ++m) table.PrefetchAfter(pos, m->move);

    // Step 5. Save the Board for the moves of this ply.
    UndoRecord& nodeUndo = undo[ply];
    SaveForMake(pos, nodeUndo);

    // Step 6. Ordering: the hash move first; the killers keep their exchange
    // score and are raised above their peers.
    for (MoveEntry* m = start; m < end; ++m) {
        if (m->move == node.hashMove) {
            m->score = HashMoveScore;
        } else if (m->move == node.killer1) {
            m->score = static_cast<int16_t>(m->score + QuiesceKiller1Bonus);
        } else if (m->move == node.killer2) {
            m->score = static_cast<int16_t>(m->score + QuiesceKiller2Bonus);
        }
    }

    // Step 7. Move loop, best score first (no history phase here).
    Bound bound = Bound::Upper;
    Move bestMove = 0;
    for (MoveEntry* cursor = start; cursor < end; ++cursor) {
        SelectBest(cursor, end);
        const Move move = cursor->move;

        // The previous move left a king capturable: it was illegal.
        const int to = MoveTo(move);
        if (to == pos.board.kingSquare[Black] || to == pos.board.kingSquare[White]) {
            StoreNode<P>(ply, ScoreMax, Bound::Exact, 0, move);
            return ScoreMax;
        }
        // Out of check, a capture that loses material is not worth a look.
        if constexpr (P::QuiesceExchangePruning)
            if (!node.check.checkers && !ExchangeAtLeast(pos, move, 0)) continue;

        MakeMove(pos, move, nodeUndo);
        if (MoveKindOf(move) > Capture) table.Prefetch(pos);
        ++quiesceMoves;
        int l;
        if (depth == QuiesceDepthLimit || ply >= deepestSearchPly) {
            l = -StaticEvaluation<P>();
        } else if (pos.board.totalMaterial < 4 && pos.board.pawnCount[Black] + pos.board.pawnCount[White] == 0) {
            l = 0;
        } else {
            l = -Quiesce<P>(depth - 1, ply + 1, -beta, -alpha);
        }
        UnmakeMove(pos, move, nodeUndo);
        cursor->score = static_cast<int16_t>(l);

        // Any refuting move becomes a killer here, captures included.
        if (l > best) {
            if (l > alpha) {
                if (l >= beta) {
                    RecordKiller(node, move);
                    StoreNode<P>(ply, l, Bound::Lower, 0, move);
                    return l;
                }
                alpha = l;
                bound = Bound::Exact;
            }
            best = l;
            bestMove = move;
        }
    }

    // Step 8. Results by the kind of node: only a check-aware node can find
    // itself mated, and one that was not in check stores only a real move.
    if (!checkAware) {
        StoreNode<P>(ply, best, bound, 0, bestMove);
        return best;
    }
    if (node.check.checkers) {
        if (best == -ScoreMax) return NoLegalMoveScore<P>(ply, 0, true);
        StoreNode<P>(ply, best, bound, 1, bestMove);
        return best;
    }
    if (bestMove != 0) StoreNode<P>(ply, best, bound, 0, bestMove);
    return best;
}

}  // namespace kavrin
