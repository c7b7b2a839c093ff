#include "search/alphabeta.h"

#include "search/node.h"

namespace kavrin {

int checkCount[2];
int deepestFullWidthPly = DeepestFullWidthPly;

int16_t AlphaBeta(int depth, int ply, int16_t alpha, int16_t beta, uint8_t nullAllowed) {
    PlyRecord* const node = currentPly;
    // A line that has used up the move stack goes on in the quiescence
    // search, which stands pat when even that has no room.
    if (node->moveListEnd == nullptr && !MoveStackHasRoom()) return Quiesce(0, ply, alpha, beta);

    // Step 1. Transposition table. A deep enough entry decides the node unless
    // its move would repeat the position; otherwise it narrows the window,
    // except in the root's children while an aspiration re-search runs.
    if (LoadTableEntry(node, depth)) {
        if (EntryCutsOff(node, alpha, beta)) {
            if (RepetitionAfter(node->hashMove) == 0) return node->ttScore;
        } else if (aspirationState == 0 || depth != iterationDepth) {
            NarrowWindow(node, alpha, beta);
        }
    }

    // Step 2. Node state.
    const int side = sideToMove;
    int16_t best = -ScoreMax;
    uint32_t bound = BoundUpper;
    ComputeCheckers(node);
    const bool inCheck = node->checkers != 0;

    // Step 3. Null move: pass, and if even that holds beta, so will a move.
    // Not in check, not without pieces, not twice in a row.
    if (nullAllowed && !inCheck && board.nonPawnMaterial[side] != 0) {
        const int r = (depth > 6 && board.nonPawnMaterial[side] >= 9) ? 3 : 2;
        // An entry that promises a fail low makes the pass pointless.
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
            if (PollDue() && SearchMustStop(false)) return -ScoreMax;
            if (v >= beta) return v;
        }
    }

    // Step 4. Internal iterative deepening on this ply: leaves the list
    // generated and scored, and a hash move in the table.
    if (node->ttDepth < depth - 2) {
        AlphaBeta(depth - 2, ply, alpha, beta, nullAllowed);
        if (const TTEntry* e = ProbeTT()) node->hashMove = EntryMove(*e);
    }

    // Step 5. Check extension, from the second check of this side on the path.
    CheckCountScope checkScope;
    int extension = 0;
    if (inCheck) {
        if (checkCount[side] > 0) extension = 1;
        checkScope.Enter(checkCount[side]);
    }

    // Step 6. Move list (already there after internal deepening).
    MoveEntry* const start = (node - 1)->moveListEnd;
    if (node->moveListEnd == nullptr) {
        node->moveListEnd = inCheck ? GenerateEvasions(start, node) : GenerateAll(start);
        SaveForMake(node);
    }
    MoveEntry* const end = node->moveListEnd;

    // Step 7. Ordering pass: hash move, then the killers.
    MarkOrderingMoves(start, end, node->hashMove, node->killer1, node->killer2);

    // Step 8. Move loop.
    MovePicker picker{start, end, nullptr, node->orderKeys, side};
    Move bestMove = 0;
    const int nd = depth + extension;
    const ChildSearch child{nd - 1, ply + 1, 1, nd <= 1 || ply >= deepestFullWidthPly};
    while (MoveEntry* entry = picker.Next()) {
        const Move move = entry->move;
        ++nodeCount;
        MakeMove(move, node);
        PrefetchTT();
        ++currentPly;
        const int16_t v = SearchChild(move, side, child, alpha, beta, bound == BoundUpper);
        --currentPly;
        UnmakeMove(move, node);

        // Step 9. Poll. An aborting node leaves nextPollAt behind, so every
        // node above it polls at once and unwinds too; the score is not used.
        if (PollDue()) {
            if (SearchMustStop(true)) return best;
            nextPollAt += PollInterval;
        }

        // Step 10. Score, window and cutoff.
        entry->score = v;
        if (v > best) {
            if (v > alpha) {
                if (v >= beta) {
                    RecordCutoff(node, side, move, depth, v);
                    return v;
                }
                alpha = v;
                bound = BoundExact;
            }
            best = v;
            bestMove = move;
        }
    }

    // Step 11. End of list: mate, stalemate or the best move found.
    if (best == -ScoreMax) return NoLegalMoveScore(ply, depth, inCheck);
    StoreTT(best, bound, depth, bestMove);
    return best;
}

}  // namespace kavrin
