#include "board/legal.h"

#include "board/board.h"
#include "board/makemove.h"
#include "board/movegen.h"

namespace kavrin {

namespace {

// The gate's own ply record and move list; the search's are never touched.
PlyRecord gatePly;
MoveEntry gateMoves[MaxGeneratedMoves];

// The moves of the Board position, evasions when in check, written at list;
// gatePly is made ready for making them.
MoveEntry* GenerateForGate(MoveEntry* list) {
    ComputeCheckers(&gatePly);
    MoveEntry* const end = gatePly.checkers ? GenerateEvasions(list, &gatePly) : GenerateAll(list);
    SaveForMake(&gatePly);
    return end;
}

// Makes the generated move m and takes it back. The trial writes the current
// history entry and the next one: both are put back afterwards. When the
// history has no entry left, the current one is copied one place down for
// the trial, so that an over-long game can still have its moves judged.
bool LeavesKingAttacked(Move m) {
    HistoryEntry* const top = historyTop;
    HistoryEntry* const trialTop = top >= history + HistorySize - 1 ? top - 1 : top;
    const HistoryEntry saved[2] = {trialTop[0], trialTop[1]};
    trialTop[0] = top[0];
    historyTop = trialTop;
    const int mover = sideToMove;
    MakeMove(m, &gatePly);
    const bool attacked = IsKingAttacked(m, mover);
    UnmakeMove(m, &gatePly);
    historyTop = top;
    trialTop[0] = saved[0];
    trialTop[1] = saved[1];
    return attacked;
}

}  // namespace

Legality CheckMove(Move m) {
    if (m == 0 || MoveKindOf(m) == MarkerKind || !PositionPlayable()) return Legality::NotGenerated;
    MoveEntry* const end = GenerateForGate(gateMoves);
    for (const MoveEntry* e = gateMoves; e != end; ++e) {
        if (e->move == m) return LeavesKingAttacked(m) ? Legality::LeavesKingAttacked : Legality::Legal;
    }
    return Legality::NotGenerated;
}

MoveEntry* GenerateLegalMoves(MoveEntry* out) {
    if (!PositionPlayable()) return out;
    MoveEntry* const end = GenerateForGate(out);
    MoveEntry* kept = out;
    for (const MoveEntry* e = out; e != end; ++e) {
        if (!LeavesKingAttacked(e->move)) *kept++ = *e;
    }
    return kept;
}

Move FirstLegalMove() {
    MoveEntry list[MaxGeneratedMoves];
    return GenerateLegalMoves(list) != list ? list[0].move : 0;
}

}  // namespace kavrin
