#include "board/legal.h"

#include "board/board.h"
#include "board/makemove.h"
#include "board/movegen.h"

namespace kavrin {

namespace {

// The moves of the position, evasions when in check, written at list; undo
// is made ready for making them.
MoveEntry* GenerateForGate(const Position& pos, MoveEntry* list, UndoRecord& undo) {
    CheckInfo check;
    ComputeCheckers(pos, check);
    MoveEntry* const end = check.checkers ? GenerateEvasions(pos, list, check) : GenerateAll(pos, list);
    SaveForMake(pos, undo);
    return end;
}

// Makes the generated move m and takes it back. The trial writes the current
// history entry and the next one: both are put back afterwards. When the
// history has no entry left, the current one is copied one place down for
// the trial, so that an over-long game can still have its moves judged.
bool LeavesKingAttacked(Position& pos, Move m, UndoRecord& undo) {
    HistoryEntry* const top = pos.historyTop;
    HistoryEntry* const trialTop = top >= pos.history + HistorySize - 1 ? top - 1 : top;
    const HistoryEntry saved[2] = {trialTop[0], trialTop[1]};
    trialTop[0] = top[0];
    pos.historyTop = trialTop;
    const int mover = pos.sideToMove;
    MakeMove(pos, m, undo);
    const bool attacked = IsKingAttacked(pos, m, mover);
    UnmakeMove(pos, m, undo);
    pos.historyTop = top;
    trialTop[0] = saved[0];
    trialTop[1] = saved[1];
    return attacked;
}

}  // namespace

Legality CheckMove(Position& pos, Move m) {
    if (m == 0 || MoveKindOf(m) == MarkerKind || !PositionPlayable(pos)) return Legality::NotGenerated;
    MoveEntry moves[MaxGeneratedMoves];
    UndoRecord undo;
    MoveEntry* const end = GenerateForGate(pos, moves, undo);
    for (const MoveEntry* e = moves; e != end; ++e) {
        if (e->move == m) return LeavesKingAttacked(pos, m, undo) ? Legality::LeavesKingAttacked : Legality::Legal;
    }
    return Legality::NotGenerated;
}

MoveEntry* GenerateLegalMoves(Position& pos, MoveEntry* out) {
    if (!PositionPlayable(pos)) return out;
    UndoRecord undo;
    MoveEntry* const end = GenerateForGate(pos, out, undo);
    MoveEntry* kept = out;
    for (const MoveEntry* e = out; e != end; ++e) {
        if (!LeavesKingAttacked(pos, e->move, undo)) *kept++ = *e;
    }
    return kept;
}

Move FirstLegalMove(Position& pos) {
    MoveEntry list[MaxGeneratedMoves];
    return GenerateLegalMoves(pos, list) != list ? list[0].move : 0;
}

}  // namespace kavrin
