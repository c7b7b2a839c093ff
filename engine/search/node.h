// Pieces shared by the three kinds of search node (the root, the full-width
// nodes and the quiescence nodes): the table probe, the search of a child,
// the cutoff bookkeeping, the score of a node without a legal move and the
// periodic poll. Where the nodes differ, the caller says how.
#pragma once

#include <cstdint>

#include "board/board.h"
#include "board/makemove.h"
#include "board/movegen.h"
#include "search/tablebase.h"
#include "search/worker.h"

namespace kavrin {

// A score as the table keeps it for a node at ply, and back. Profiles that
// keep mate distances from the node store a mate as seen from the node, so
// that it reads right at any ply; those that probe the tables do the same
// with tablebase wins and losses; the classic profile stores scores as they
// are. (ScoreMax, the capture of a king, is no mate and stays as it is.)
template <class P>
constexpr int ScoreToTable(int score, int ply) {
    if constexpr (P::MateDistanceInTable) {
        if (score > MateScoreThreshold && score <= MateValue) return score + ply;
        if (score < -MateScoreThreshold && score >= -MateValue) return score - ply;
    }
    if constexpr (P::ProbesTablebases) {
        if (IsTbScore(score)) return score > 0 ? score + ply : score - ply;
    }
    return score;
}
template <class P>
constexpr int ScoreFromTable(int score, int ply) {
    if constexpr (P::MateDistanceInTable) {
        if (score > MateScoreThreshold && score <= MateValue) return score - ply;
        if (score < -MateScoreThreshold && score >= -MateValue) return score + ply;
    }
    if constexpr (P::ProbesTablebases) {
        if (IsTbScore(score)) return score > 0 ? score - ply : score + ply;
    }
    return score;
}

// Stores the node's result in the table.
template <class P>
inline void SearchWorker::StoreNode(int ply, int score, Bound bound, int depth, Move move) {
    table.Store(pos, ScoreToTable<P>(score, ply), bound, depth, move);
}

// Copies the position's table entry into the node's record (hashMove and
// ttDepth 0 on a miss). True when an entry at least depth deep was found: its
// score may then decide the node or narrow its window.
template <class P>
inline bool SearchWorker::LoadTableEntry(SearchPly& node, int depth, int ply) {
    TTEntry e;
    if (!table.Probe(pos, e)) {
        node.hashMove = 0;
        node.ttDepth = 0;
        return false;
    }
    node.hashMove = EntryMove(e);
    node.ttDepth = static_cast<uint8_t>(EntryDepth(e));
    node.ttScore = ScoreFromTable<P>(EntryScore(e), ply);
    node.ttBound = EntryBound(e);
    return node.ttDepth >= depth;
}

// Whether the loaded entry settles the window: an exact score, a lower bound
// at or above beta, or an upper bound at or below alpha.
inline bool EntryCutsOff(const SearchPly& node, int alpha, int beta) {
    return node.ttBound == Bound::Exact || (node.ttBound == Bound::Lower && node.ttScore >= beta) ||
           (node.ttBound == Bound::Upper && node.ttScore <= alpha);
}

// Narrows the window to the loaded entry's bound.
inline void NarrowWindow(const SearchPly& node, int& alpha, int& beta) {
    if (node.ttBound == Bound::Lower && node.ttScore > alpha) alpha = node.ttScore;
    if (node.ttBound == Bound::Upper && node.ttScore < beta) beta = node.ttScore;
}

// Score, from the mover's side, of the legal move just made; the child's
// record is the ply child.ply. A drawn position scores 0.
template <class P>
inline int SearchWorker::SearchChild(const ChildSearch& child) {
    if (DrawCheck(pos, child.repetitions) != 0) return 0;
    plies[child.ply].moveListEnd = nullptr;
    const int alpha = child.alpha;
    const int beta = child.beta;
    if (child.quiesce) return -Quiesce<P>(0, child.ply, -beta, -alpha);
    // A reduced move gets a shallower null-window search first, whatever
    // window it would have had: a move that beats alpha even so is searched
    // again at full depth.
    if constexpr (P::LateMoveReductions) {
        if (child.reduction > 0) {
            const int v = -AlphaBeta<P>(child.depth - child.reduction, child.ply, -alpha - 1, -alpha, true);
            if (v <= alpha) return v;
        }
    }
    if (child.fullWindow) return -AlphaBeta<P>(child.depth, child.ply, -beta, -alpha, true);
    int v = -AlphaBeta<P>(child.depth, child.ply, -alpha - 1, -alpha, true);
    if (alpha < v && v < beta) v = -AlphaBeta<P>(child.depth, child.ply, -beta, -alpha, true);
    return v;
}

// A move that refuted its node becomes the first killer; the old first
// killer becomes the second.
inline void RecordKiller(SearchPly& node, Move move) {
    if (move != node.killer1) {
        node.killer2 = node.killer1;
        node.killer1 = move;
    }
}

// Bookkeeping of a root or full-width cutoff: quiet moves and castlings
// become killers, the move's history counter grows by depth squared, and the
// table keeps the lower bound.
template <class P>
inline void SearchWorker::RecordCutoff(SearchPly& node, int ply, int side, Move move, int depth, int score) {
    if (MoveKindOf(move) == Quiet || IsCastling(move)) RecordKiller(node, move);
    if constexpr (!P::GravityHistory) history[side][move & HistoryMoveMask] += static_cast<uint32_t>(depth * depth);
    StoreNode<P>(ply, score, Bound::Lower, depth, move);
}

// Score of a node whose every move proved illegal: mated at ply when in
// check, stalemate otherwise; the table keeps it with its marker.
template <class P>
inline int SearchWorker::NoLegalMoveScore(int ply, int depth, bool inCheck) {
    if (inCheck) {
        const int mated = ply - MateValue;
        StoreNode<P>(ply, mated, Bound::Exact, depth, ResultCheckmated);
        return mated;
    }
    StoreNode<P>(ply, 0, Bound::Exact, depth, ResultStalemate);
    return 0;
}

// The check count of a node in check, taken back on every way out of it.
struct CheckCountScope {
    int* count = nullptr;
    void Enter(int& c) {
        count = &c;
        ++c;
    }
    ~CheckCountScope() {
        if (count) --*count;
    }
};

// True when the search must end now, and then the shared stop flag is set:
// the flag is already set, or the allotment is spent from the third
// iteration on, or, when askFrontEnd, the front end asks for it (input is
// waiting) or the node limit is reached. The root and the null move look at
// the clock only; the move loop asks the front end too, after taking a
// ponder hit. Only the main thread has a clock and a front end; the others
// publish their node count here.
inline bool SearchWorker::SearchMustStop(bool askFrontEnd) {
    if (!IsMain()) {
        publishedNodes.store(nodes, std::memory_order_relaxed);
        publishedTbHits.store(tbHits, std::memory_order_relaxed);
    } else if (askFrontEnd && limits.plansTime) {
        TakePonderHit();
    }
    if (shared.stop.load(std::memory_order_relaxed) || (RemainingMs() <= 0 && iterationDepth > 2) ||
        (askFrontEnd && reporter != nullptr && reporter->StopRequested()) ||
        (askFrontEnd && limits.nodes != 0 && IsMain() && NodeLimitReached())) {
        shared.stop.store(true, std::memory_order_relaxed);
        return true;
    }
    return false;
}

// True when the move stack above the list of ply - 1 has room for one more
// list of any length.
inline bool SearchWorker::MoveStackHasRoom(int ply) const {
    const MoveEntry* start = plies[ply - 1].moveListEnd;
    return (moveStack + MoveStackSize) - start >= MaxGeneratedMoves;
}

}  // namespace kavrin
