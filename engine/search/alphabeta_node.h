// The full-width node of the search below the root, for every profile.
#pragma once

#include <algorithm>

#include "board/exchange_balance.h"
#include "search/alphabeta.h"
#include "search/eval.h"
#include "search/node.h"
#include "search/reductions.h"
#include "search/tablebase.h"
#include "search/tb_position.h"

namespace kavrin {

template <class P>
int SearchWorker::AlphaBeta(int depth, int ply, int alpha, int beta, bool nullAllowed) {
    constexpr const SearchParameters& Params = P::Parameters;
    static_assert(!P::CorrectionHistory || P::StaticScore, "the correction corrects the static score");
    static_assert(!P::FollowUpHistory || P::ContinuationHistory, "the follow-up history extends the continuation");
    static_assert(!(P::ContinuationHistory || P::CounterMove) || P::GravityHistory,
                  "continuations and counter moves are learnt with the gravity histories");
    SearchPly& node = plies[ply];
    // A line that has used up the move stack goes on in the quiescence
    // search, which stands pat when even that has no room.
    if (node.moveListEnd == nullptr && !MoveStackHasRoom(ply)) return Quiesce<P>(0, ply, alpha, beta);
    // A window of more than one point: a node on the principal variation.
    [[maybe_unused]] const bool pvNode = beta - alpha > 1;

    // The pass of step 3 and the hash move search the next positions first:
    // their buckets load while this one does.
    if (nullAllowed && pos.board.nonPawnMaterial[pos.sideToMove] != 0) table.PrefetchAfterNull(pos);

    // A node searched without its hash move (the singular test of step 4a)
    // reads its entry for the order only, and keeps nothing in the table.
    [[maybe_unused]] Move excluded = 0;
    if constexpr (P::SingularExtension) excluded = node.excluded;

    // Step 1. Transposition table. A deep enough entry decides the node unless
    // its move would repeat the position; otherwise it narrows the window.
    // (Only the root holds its window while an aspiration re-search runs.)
    const bool deepEnough = LoadTableEntry<P>(node, depth, ply);
    if (node.hashMove != 0) table.PrefetchAfter(pos, node.hashMove);
    if (deepEnough && excluded == 0) {
        if (EntryCutsOff(node, alpha, beta)) {
            if (RepetitionAfter(pos, node.hashMove) == 0) return node.ttScore;
        } else {
            NarrowWindow(node, alpha, beta);
        }
    }

    // Step 1b. Syzygy tables. A position right after a capture or a pawn
    // move (the fifty-move counter at 0), without castling rights and with
    // few enough pieces, has its win, draw or loss in the WDL tables. A
    // result that settles the window goes into the table and decides the
    // node; otherwise, on the principal variation, a win is the node's floor
    // and a loss its ceiling.
    int best = -ScoreMax;
    [[maybe_unused]] int ceiling = ScoreMax;
    if constexpr (P::ProbesTablebases) {
        const TablebaseProbes& probes = limits.tablebases;
        if (probes.pieces > 0 && pos.historyTop->fiftyCounter == 0 && pos.board.castling == 0 && excluded == 0) {
            const int pieces = PieceCount(pos.board);
            TbWdl wdl;
            if (pieces <= probes.pieces && (pieces < probes.pieces || depth >= probes.depth) && ProbeWdl(pos, wdl)) {
                ++tbHits;
                const int score = TbScore(wdl, ply, probes.fiftyMoveRule);
                const Bound tbBound = TbBound(wdl, probes.fiftyMoveRule);
                if (tbBound == Bound::Exact || (tbBound == Bound::Lower ? score >= beta : score <= alpha)) {
                    StoreNode<P>(ply, score, tbBound, std::min(depth + TbEntryDepthBonus, MaxDepth), 0);
                    return score;
                }
                if (pvNode) {
                    if (tbBound == Bound::Lower) {
                        best = score;
                        alpha = std::max(alpha, score);
                    } else {
                        ceiling = score;
                    }
                }
            }
        }
    }

    // Step 2. Node state.
    const int side = pos.sideToMove;
    Bound bound = Bound::Upper;
    ComputeCheckers(pos, node.check);
    const bool inCheck = node.check.checkers != 0;
    UndoRecord& nodeUndo = undo[ply];

    // Step 2a. The static score, and whether it improves on the one of the
    // side's previous node.
    [[maybe_unused]] int staticScore = NoStaticScore;
    [[maybe_unused]] int rawStaticScore = NoStaticScore;  // before its correction
    [[maybe_unused]] bool improving = false;
    if constexpr (P::StaticScore) {
        if (!inCheck) {
            pawns.Prefetch(pos.board.pawnKey);
            staticScore = rawStaticScore = StaticEvaluation<P>();
            if constexpr (P::CorrectionHistory) staticScore = CorrectedScore(side, rawStaticScore);
        }
        node.staticScore = staticScore;
        const int earlier = ply >= 2 ? plies[ply - 2].staticScore : NoStaticScore;
        improving = !inCheck && (earlier == NoStaticScore || staticScore > earlier);
    }

    // Step 2b. Reverse futility: a static score far enough above beta holds
    // at this depth.
    if constexpr (P::ReverseFutility) {
        if (!pvNode && !inCheck && excluded == 0 && depth <= Params.reverseFutilityDepth &&
            beta > -MateScoreThreshold &&
            staticScore - Params.reverseFutilityMargin * (depth - (improving ? 1 : 0)) >= beta &&
            staticScore < MateScoreThreshold)
            return staticScore;
    }

    // Step 3. Null move: pass, and if even that holds beta, so will a move.
    // Not in check, not without pieces, not twice in a row.
    bool passAllowed = nullAllowed && !inCheck && excluded == 0 && pos.board.nonPawnMaterial[side] != 0;
    if constexpr (P::AdaptiveNullMove) passAllowed = passAllowed && !pvNode && staticScore >= beta;
    if (passAllowed) {
        int r = (depth > 6 && pos.board.nonPawnMaterial[side] >= 9) ? 3 : 2;
        if constexpr (P::AdaptiveNullMove)
            r = Params.nullBase + depth / Params.nullDepthDivisor +
                std::min((staticScore - beta) / Params.nullEvalDivisor, Params.nullEvalPlies);
        // An entry that promises a fail low makes the pass pointless.
        const bool promisesFailLow = node.ttDepth > 0 && node.ttDepth >= depth - r - 1 && node.ttScore < beta &&
                                     (node.ttBound == Bound::Upper || node.ttBound == Bound::Exact);
        if (!promisesFailLow) {
            if (node.moveListEnd == nullptr) node.moveListEnd = plies[ply - 1].moveListEnd;
            if constexpr (P::ContinuationHistory || P::CounterMove) {
                node.continuation = nullptr;
                node.movedPiece = 0;
            }
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
            if (v >= beta) {
                // A pass proves no mate.
                if constexpr (P::AdaptiveNullMove) return v > MateScoreThreshold ? beta : v;
                return v;
            }
        }
    }

    // Step 4. Without a hash move: a ply less (iterative reduction), or
    // internal iterative deepening on this ply, which leaves the list
    // generated and scored, and a hash move in the table.
    if constexpr (P::IterativeReduction) {
        if (depth >= Params.iterativeReductionDepth && node.hashMove == 0) --depth;
    } else if (node.ttDepth < depth - 2 && excluded == 0) {
        AlphaBeta<P>(depth - 2, ply, alpha, beta, nullAllowed);
        if (TTEntry e; table.Probe(pos, e)) node.hashMove = EntryMove(e);
    }

    // Step 4a. Singular extension. The node searches itself without its hash
    // move, half as deep, against the entry's lower bound less a margin: when
    // every other move stays below it, the hash move is the only good one and
    // gets a ply more; when even the lowered bound beats beta, another move
    // will too, and the node fails high. (Not after internal deepening, whose
    // move list the test would reorder.)
    [[maybe_unused]] int singularExtension = 0;
    if constexpr (P::SingularExtension) {
        if (excluded == 0 && depth >= Params.singularDepth && node.hashMove != 0 && node.moveListEnd == nullptr &&
            node.ttDepth >= depth - 3 && node.ttBound != Bound::Upper && node.ttScore > -MateScoreThreshold &&
            node.ttScore < MateScoreThreshold) {
            const int singularBeta = node.ttScore - Params.singularMargin * depth;
            const Move hashMove = node.hashMove;
            const uint8_t ttDepth = node.ttDepth;
            const int ttScore = node.ttScore;
            const Bound ttBound = node.ttBound;
            node.excluded = hashMove;
            const int v = AlphaBeta<P>((depth - 1) / 2, ply, singularBeta - 1, singularBeta, false);
            node.excluded = 0;
            // The test's own list and entry are not this node's.
            node.moveListEnd = nullptr;
            node.hashMove = hashMove;
            node.ttDepth = ttDepth;
            node.ttScore = ttScore;
            node.ttBound = ttBound;
            if (v < singularBeta) {
                singularExtension = 1;
            } else if (singularBeta >= beta) {
                return singularBeta;
            }
        }
    }

    // Step 5. Check extension: every check, or from the second check of this
    // side on the path.
    CheckCountScope checkScope;
    int extension = 0;
    if (inCheck) {
        if (P::CheckExtension || checkCount[side] > 0) extension = 1;
        checkScope.Enter(checkCount[side]);
    }

    // Step 6. Move list (already there after internal deepening).
    MoveEntry* const start = plies[ply - 1].moveListEnd;
    if (node.moveListEnd == nullptr) {
        node.moveListEnd = inCheck ? GenerateEvasions(pos, start, node.check) : GenerateAll(pos, start);
        SaveForMake(pos, nodeUndo);
    }
    MoveEntry* const end = node.moveListEnd;

    // Step 7. Ordering pass: hash move, then the killers (and the counter
    // move of the move before).
    Move counterMove = 0;
    if constexpr (P::CounterMove) {
        const SearchPly& up = plies[ply - 1];
        if (up.movedPiece != 0) counterMove = gravity->counter[up.movedPiece][up.movedTo];
    }
    MarkOrderingMoves(start, end, node.hashMove, node.killer1, node.killer2, counterMove);

    // Step 8. Move loop.
    Move bestMove = 0;
    int legalMoves = 0;
    const int nd = depth + extension;
    // A frontier node's children get the quiescence search only; below it
    // the history counters cannot change the order.
    const bool frontier = nd <= 1 || ply >= deepestFullWidthPly;
    HistoryKeys historyKeys{history[side]};
    if constexpr (P::GravityHistory) {
        historyKeys = HistoryKeys{nullptr, gravity->quiet[side], nullptr, nullptr, &pos.board};
        if constexpr (P::ContinuationHistory) {
            historyKeys.previous = ContinuationUp(ply, 1);
            if constexpr (P::FollowUpHistory) historyKeys.beforePrevious = ContinuationUp(ply, 2);
        }
    }
    MovePicker picker{
        pos, table, start, end, node.orderKeys, historyKeys, frontier ? LookAhead::Always : LookAhead::WhileFixed};
    // A legal move was skipped without a search (see step 8a).
    bool skippedLegal = false;
    // The quiet moves searched, which lose history when another refutes the
    // node.
    [[maybe_unused]] Move quietsTried[MaxQuietsTried];
    [[maybe_unused]] int quietsTriedCount = 0;
    while (MoveEntry* const entry = picker.Next()) {
        const Move move = entry->move;
        if constexpr (P::SingularExtension) {
            if (move == excluded) continue;
        }
        [[maybe_unused]] const bool isQuiet = !IsCaptureKind(MoveKindOf(move)) && !IsPromotion(move);
        // A quiet move that is not the hash move: a candidate for pruning.
        [[maybe_unused]] const bool quiet = isQuiet && move != node.hashMove;

        // Step 8a. Moves not worth a search are skipped; the node only notes
        // whether it skipped a legal one while it knows of none.
        bool skip = false;
        if constexpr (P::SkipsMoves) skip = P::SkipMove(MoveChoice{pos, move, depth, ply, legalMoves, inCheck});
        // Late move pruning and futility: only quiet moves, only once a move
        // has kept the node from a mate.
        if constexpr (P::LateMovePruning || P::FutilityPruning) {
            if (quiet && !inCheck && legalMoves > 0 && best > -MateScoreThreshold) {
                if constexpr (P::LateMovePruning)
                    skip = skip || (depth <= Params.lateMovePruningDepth &&
                                    legalMoves >= (Params.lateMovePruningBase + depth * depth) / (improving ? 1 : 2));
                if constexpr (P::FutilityPruning)
                    skip = skip || (depth <= Params.futilityDepth &&
                                    staticScore + Params.futilityBase + Params.futilityPerDepth * depth <= alpha);
            }
        }
        // Exchange pruning: any move but the hash move, on the same terms.
        if constexpr (P::ExchangePruning) {
            if (!skip && move != node.hashMove && !inCheck && legalMoves > 0 && best > -MateScoreThreshold &&
                depth <= Params.exchangePruningDepth) {
                const int margin =
                    isQuiet ? Params.exchangeQuietMargin * depth : Params.exchangeCaptureMargin * depth * depth;
                skip = !ExchangeAtLeast(pos, move, -margin);
            }
        }
        // A quiet move that gives check is searched all the same: it may mate,
        // which neither its number in the list nor its exchange tells.
        if constexpr (P::LateMovePruning || P::FutilityPruning || P::ExchangePruning) {
            if (skip && isQuiet && legalMoves > 0) {
                MakeMove(pos, move, nodeUndo);
                skip = IsKingAttacked(pos, move, side) || !IsKingAttacked(pos, 0, side ^ 1);
                UnmakeMove(pos, move, nodeUndo);
            }
        }
        if (skip) {
            if (legalMoves == 0 && !skippedLegal) {
                MakeMove(pos, move, nodeUndo);
                skippedLegal = !IsKingAttacked(pos, move, side);
                UnmakeMove(pos, move, nodeUndo);
            }
            continue;
        }

        if constexpr (P::ContinuationHistory || P::CounterMove) {
            node.movedPiece = pos.board.pieceOn[MoveFrom(move)];
            node.movedTo = static_cast<uint8_t>(MoveTo(move));
            if constexpr (P::ContinuationHistory)
                node.continuation = &gravity->continuation[node.movedPiece][node.movedTo];
        }
        ++nodes;
        MakeMove(pos, move, nodeUndo);
        // (An ordinary move or capture had its bucket fetched already.)
        if (MoveKindOf(move) > Capture) table.Prefetch(pos);
        // A move that leaves the king attacked is illegal and scores -ScoreMax.
        int v = -ScoreMax;
        if (!IsKingAttacked(pos, move, side)) {
            ++legalMoves;
            // Until a move has raised alpha the child gets the whole window
            // (the first move only, in the profiles that search the others
            // with a null window first).
            ChildSearch child{nd - 1, ply + 1, 1, frontier, alpha, beta, bound == Bound::Upper};
            if constexpr (P::FirstMoveWindow) child.fullWindow = legalMoves == 1;
            if constexpr (P::SingularExtension) {
                if (move == node.hashMove) child.depth += singularExtension;
            }
            // Step 8b. Late quiet moves are searched shallower first.
            if constexpr (P::LateMoveReductions) {
                if (quiet && !inCheck && !frontier && depth >= Params.reductionDepth &&
                    legalMoves >= Params.reductionFromMove && move != node.killer1 && move != node.killer2) {
                    int r = LateMoveReduction<P>(depth, legalMoves);
                    r += pvNode ? 0 : 1;
                    if constexpr (P::ReductionsByImproving) r -= improving ? 1 : 0;
                    child.reduction = std::clamp(r, 0, child.depth - 1);
                }
            }
            v = SearchChild<P>(child);
        }
        UnmakeMove(pos, move, nodeUndo);

        // Step 9. Poll. An aborting node leaves nextPollAt behind, so every
        // node above it polls at once and unwinds too; the score is not used.
        if (PollDue()) {
            if (SearchMustStop(true)) return best;
            nextPollAt += limits.pollInterval;
        }

        // Step 10. Score, window and cutoff. Under a table loss no move
        // scores above the loss, not even one that would cut off.
        if constexpr (P::ProbesTablebases) v = std::min(v, ceiling);
        entry->score = static_cast<int16_t>(v);
        if (v > best) {
            if (v > alpha) {
                if (v >= beta) {
                    if constexpr (P::SingularExtension) {
                        if (excluded != 0) return v;
                    }
                    if constexpr (P::GravityHistory) {
                        if (isQuiet)
                            RewardQuietMove(ply, side, move, depth, quietsTried, quietsTriedCount,
                                            P::FollowUpHistory, P::CounterMove);
                    }
                    if constexpr (P::CorrectionHistory) {
                        if (!inCheck && isQuiet)
                            UpdateCorrection(side, rawStaticScore, staticScore, v, Bound::Lower, depth);
                    }
                    RecordCutoff<P>(node, ply, side, move, depth, v);
                    return v;
                }
                alpha = v;
                bound = Bound::Exact;
            }
            best = v;
            bestMove = move;
        }
        if constexpr (P::GravityHistory) {
            if (isQuiet && v != -ScoreMax && quietsTriedCount < MaxQuietsTried) quietsTried[quietsTriedCount++] = move;
        }
    }

    // Step 11. End of list: mate, stalemate or the best move found. A node
    // that skipped every legal move knows nothing above alpha and keeps
    // nothing in the table.
    // Without its hash move a node may have none left: that move is singular.
    if (legalMoves == 0) return skippedLegal || excluded != 0 ? alpha : NoLegalMoveScore<P>(ply, depth, inCheck);
    if constexpr (P::ProbesTablebases) best = std::min(best, ceiling);
    if constexpr (P::SingularExtension) {
        if (excluded != 0) return best;
    }
    if constexpr (P::CorrectionHistory) {
        if (!inCheck && (bestMove == 0 || (!IsCaptureKind(MoveKindOf(bestMove)) && !IsPromotion(bestMove))))
            UpdateCorrection(side, rawStaticScore, staticScore, best, bound, depth);
    }
    StoreNode<P>(ply, best, bound, depth, bestMove);
    return best;
}

}  // namespace kavrin
