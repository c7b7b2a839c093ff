// The full-width node of the search below the root, for every profile.
#pragma once

#include "search/alphabeta.h"
#include "search/node.h"

namespace kavrin {

template <class P>
int SearchWorker::AlphaBeta(int depth, int ply, int alpha, int beta, bool nullAllowed) {
    SearchPly& node = plies[ply];
    // A line that has used up the move stack goes on in the quiescence
    // search, which stands pat when even that has no room.
    if (node.moveListEnd == nullptr && !MoveStackHasRoom(ply)) return Quiesce<P>(0, ply, alpha, beta);

    // The pass of step 3 and the hash move search the next positions first:
    // their buckets load while this one does.
    if (nullAllowed && pos.board.nonPawnMaterial[pos.sideToMove] != 0) table.PrefetchAfterNull(pos);

    // Step 1. Transposition table. A deep enough entry decides the node unless
    // its move would repeat the position; otherwise it narrows the window.
    // (Only the root holds its window while an aspiration re-search runs.)
    const bool deepEnough = LoadTableEntry(node, depth);
    if (node.hashMove != 0) table.PrefetchAfter(pos, node.hashMove);
    if (deepEnough) {
        if (EntryCutsOff(node, alpha, beta)) {
            if (RepetitionAfter(pos, node.hashMove) == 0) return node.ttScore;
        } else {
            NarrowWindow(node, alpha, beta);
        }
    }

    // Step 2. Node state.
    const int side = pos.sideToMove;
    int best = -ScoreMax;
    Bound bound = Bound::Upper;
    ComputeCheckers(pos, node.check);
    const bool inCheck = node.check.checkers != 0;
    UndoRecord& nodeUndo = undo[ply];

    // Step 3. Null move: pass, and if even that holds beta, so will a move.
    // Not in check, not without pieces, not twice in a row.
    if (nullAllowed && !inCheck && pos.board.nonPawnMaterial[side] != 0) {
        const int r = (depth > 6 && pos.board.nonPawnMaterial[side] >= 9) ? 3 : 2;
        // An entry that promises a fail low makes the pass pointless.
        const bool promisesFailLow = node.ttDepth > 0 && node.ttDepth >= depth - r - 1 && node.ttScore < beta &&
                                     (node.ttBound == Bound::Upper || node.ttBound == Bound::Exact);
        if (!promisesFailLow) {
            if (node.moveListEnd == nullptr) node.moveListEnd = plies[ply - 1].moveListEnd;
            MakeNullMove(pos, nodeUndo);
            plies[ply + 1].moveListEnd = nullptr;
            int v;
            if (depth > r + 1) {
                v = -AlphaBeta<P>(depth - r - 1, ply + 1, -beta, -beta + 1, false);
            } else {
                v = -Quiesce<P>(0, ply + 1, -beta, -beta + 1);
            }
            UnmakeNullMove(pos, nodeUndo);
            node.moveListEnd = nullptr;
            // The clock only; input waits for the next poll of the move loop.
            if (PollDue() && SearchMustStop(false)) return -ScoreMax;
            if (v >= beta) return v;
        }
    }

    // Step 4. Internal iterative deepening on this ply: leaves the list
    // generated and scored, and a hash move in the table.
    if (node.ttDepth < depth - 2) {
        AlphaBeta<P>(depth - 2, ply, alpha, beta, nullAllowed);
        if (TTEntry e; table.Probe(pos, e)) node.hashMove = EntryMove(e);
    }

    // Step 5. Check extension, from the second check of this side on the path.
    CheckCountScope checkScope;
    int extension = 0;
    if (inCheck) {
        if (checkCount[side] > 0) extension = 1;
        checkScope.Enter(checkCount[side]);
    }

    // Step 6. Move list (already there after internal deepening).
    MoveEntry* const start = plies[ply - 1].moveListEnd;
    if (node.moveListEnd == nullptr) {
        node.moveListEnd = inCheck ? GenerateEvasions(pos, start, node.check) : GenerateAll(pos, start);
        SaveForMake(pos, nodeUndo);
    }
    MoveEntry* const end = node.moveListEnd;

    // Step 7. Ordering pass: hash move, then the killers.
    MarkOrderingMoves(start, end, node.hashMove, node.killer1, node.killer2);

    // Step 8. Move loop.
    Move bestMove = 0;
    int legalMoves = 0;
    const int nd = depth + extension;
    // A frontier node's children get the quiescence search only; below it
    // the history counters cannot change the order.
    const bool frontier = nd <= 1 || ply >= deepestFullWidthPly;
    MovePicker picker{
        pos, table, start, end, node.orderKeys, history[side], frontier ? LookAhead::Always : LookAhead::WhileFixed};
    // A legal move was skipped without a search (see step 8a).
    bool skippedLegal = false;
    while (MoveEntry* const entry = picker.Next()) {
        const Move move = entry->move;

        // Step 8a. A profile may skip a move without searching it; the node
        // only notes whether it skipped a legal one while it knows of none.
        if constexpr (P::SkipsMoves) {
            if (P::SkipMove(MoveChoice{pos, move, depth, ply, legalMoves, inCheck})) {
                if (legalMoves == 0 && !skippedLegal) {
                    MakeMove(pos, move, nodeUndo);
                    skippedLegal = !IsKingAttacked(pos, move, side);
                    UnmakeMove(pos, move, nodeUndo);
                }
                continue;
            }
        }

        ++nodes;
        MakeMove(pos, move, nodeUndo);
        // (An ordinary move or capture had its bucket fetched already.)
        if (MoveKindOf(move) > Capture) table.Prefetch(pos);
        // A move that leaves the king attacked is illegal and scores -ScoreMax.
        int v = -ScoreMax;
        if (!IsKingAttacked(pos, move, side)) {
            ++legalMoves;
            // Until a move has raised alpha the child gets the whole window.
            v = SearchChild<P>(ChildSearch{nd - 1, ply + 1, 1, frontier, alpha, beta, bound == Bound::Upper});
        }
        UnmakeMove(pos, move, nodeUndo);

        // Step 9. Poll. An aborting node leaves nextPollAt behind, so every
        // node above it polls at once and unwinds too; the score is not used.
        if (PollDue()) {
            if (SearchMustStop(true)) return best;
            nextPollAt += PollInterval;
        }

        // Step 10. Score, window and cutoff.
        entry->score = static_cast<int16_t>(v);
        if (v > best) {
            if (v > alpha) {
                if (v >= beta) {
                    RecordCutoff(node, side, move, depth, v);
                    return v;
                }
                alpha = v;
                bound = Bound::Exact;
            }
            best = v;
            bestMove = move;
        }
    }

    // Step 11. End of list: mate, stalemate or the best move found. A node
    // that skipped every legal move knows nothing above alpha and keeps
    // nothing in the table.
    if (legalMoves == 0) return skippedLegal ? alpha : NoLegalMoveScore(ply, depth, inCheck);
    table.Store(pos, best, bound, depth, bestMove);
    return best;
}

}  // namespace kavrin
