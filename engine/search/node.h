// Pieces shared by the three kinds of search node (the root, the full-width
// nodes and the quiescence nodes): the table probe, the search of a child,
// the cutoff bookkeeping, the score of a node without a legal move and the
// periodic poll. Where the nodes differ, the caller says how.
#pragma once

#include <cstdint>

#include "board/board.h"
#include "board/makemove.h"
#include "board/movegen.h"
#include "search/alphabeta.h"
#include "search/control.h"
#include "search/movepick.h"
#include "search/quiesce.h"
#include "search/root.h"
#include "search/tt.h"

namespace kavrin {

// Copies the position's table entry into the node's record (hashMove and
// ttDepth 0 on a miss). True when an entry at least depth deep was found: its
// score may then decide the node or narrow its window.
inline bool LoadTableEntry(PlyRecord* node, int depth) {
    const TTEntry* e = ProbeTT();
    if (e == nullptr) {
        node->hashMove = 0;
        node->ttDepth = 0;
        return false;
    }
    node->hashMove = EntryMove(*e);
    node->ttDepth = static_cast<uint8_t>(EntryDepth(*e));
    node->ttScore = EntryScore(*e);
    node->ttBound = EntryBound(*e);
    return node->ttDepth >= depth;
}

// Whether the loaded entry settles the window: an exact score, a lower bound
// at or above beta, or an upper bound at or below alpha.
inline bool EntryCutsOff(const PlyRecord* node, int16_t alpha, int16_t beta) {
    return node->ttBound == BoundExact || (node->ttBound == BoundLower && node->ttScore >= beta) ||
           (node->ttBound == BoundUpper && node->ttScore <= alpha);
}

// Narrows the window to the loaded entry's bound.
inline void NarrowWindow(const PlyRecord* node, int16_t& alpha, int16_t& beta) {
    if (node->ttBound == BoundLower && node->ttScore > alpha) alpha = node->ttScore;
    if (node->ttBound == BoundUpper && node->ttScore < beta) beta = node->ttScore;
}

// How a node searches below its moves.
struct ChildSearch {
    int depth;        // remaining depth of the children
    int ply;          // ply of the children
    int repetitions;  // occurrences DrawCheck looks for: 2 at the root, 1 below
    bool quiesce;     // the children get the quiescence search only
};

// Score, from the mover's side, of move, just made by mover with currentPly
// on the child's record. An illegal move scores -ScoreMax and a drawn
// position 0. Until a move has raised alpha (fullWindow) the child gets the
// whole window; later moves get a null window first and are searched again
// with the whole window when they land inside it.
inline int16_t SearchChild(Move move, int mover, const ChildSearch& child, int16_t alpha, int16_t beta,
                           bool fullWindow) {
    if (IsKingAttacked(move, mover)) return -ScoreMax;
    if (DrawCheck(child.repetitions) != 0) return 0;
    currentPly->moveListEnd = nullptr;
    const int16_t childAlpha = static_cast<int16_t>(-beta);
    const int16_t childBeta = static_cast<int16_t>(-alpha);
    if (child.quiesce) return static_cast<int16_t>(-Quiesce(0, child.ply, childAlpha, childBeta));
    if (fullWindow) return static_cast<int16_t>(-AlphaBeta(child.depth, child.ply, childAlpha, childBeta, 1));
    int16_t v = static_cast<int16_t>(-AlphaBeta(child.depth, child.ply, static_cast<int16_t>(-alpha - 1), childBeta, 1));
    if (alpha < v && v < beta) v = static_cast<int16_t>(-AlphaBeta(child.depth, child.ply, childAlpha, childBeta, 1));
    return v;
}

// A move that refuted its node becomes the first killer; the old first
// killer becomes the second.
inline void RecordKiller(PlyRecord* node, Move move) {
    if (move != node->killer1) {
        node->killer2 = node->killer1;
        node->killer1 = move;
    }
}

// Bookkeeping of a root or full-width cutoff: quiet moves and castlings
// become killers, the move's history counter grows by depth squared, and the
// table keeps the lower bound.
inline void RecordCutoff(PlyRecord* node, int side, Move move, int depth, int16_t score) {
    if (MoveKindOf(move) == Quiet || IsCastling(move)) RecordKiller(node, move);
    historyTable[side][move & HistoryMoveMask] += static_cast<uint32_t>(depth * depth);
    StoreTT(score, BoundLower, depth, move);
}

// Score of a node whose every move proved illegal: mated at ply when in
// check, stalemate otherwise; the table keeps it with its marker.
inline int16_t NoLegalMoveScore(int ply, int depth, bool inCheck) {
    if (inCheck) {
        const int16_t mated = static_cast<int16_t>(ply - MateValue);
        StoreTT(mated, BoundExact, depth, ResultCheckmated);
        return mated;
    }
    StoreTT(0, BoundExact, depth, ResultStalemate);
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

// True when the search must end now, and then stopSearch is set: the flag is
// already set, or the allotment is spent from the third iteration on, or,
// when askFrontEnd, the front end asks for it (input is waiting). The root
// and the null move look at the clock only; the move loop asks the front end
// too.
inline bool SearchMustStop(bool askFrontEnd) {
    if (stopSearch || (RemainingMs() <= 0 && iterationDepth > 2) ||
        (askFrontEnd && searchHooks.stopRequested != nullptr && searchHooks.stopRequested())) {
        stopSearch = true;
        return true;
    }
    return false;
}

}  // namespace kavrin
