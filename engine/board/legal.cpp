#include "board/legal.h"

#include "board/board.h"
#include "board/makemove.h"
#include "board/movegen.h"
#include "board/tables.h"
#include "board/zobrist.h"

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
    if (!PositionPlayable(pos)) return 0;
    MoveEntry list[MaxGeneratedMoves];
    UndoRecord undo;
    const MoveEntry* const end = GenerateForGate(pos, list, undo);
    for (const MoveEntry* e = list; e != end; ++e) {
        if (!LeavesKingAttacked(pos, e->move, undo)) return e->move;
    }
    return 0;
}

Move LawfulDrawCheck(Position& pos) {
    if (const Move result = DrawCheck(pos, 2)) return result;
    // The stretch since the last capture or pawn move starts with a double
    // push, and its first position has the side to move of now.
    const int counter = pos.historyTop->fiftyCounter;
    const int start = pos.HistoryIndex() - counter;
    if (counter < 4 || counter % 2 != 0 || start < 1) return 0;
    Board& board = pos.board;
    const Move push = pos.history[start - 1].move;
    const int from = MoveFrom(push);
    const int to = MoveTo(push);
    if (MoveKindOf(push) != Quiet || (from - to != 16 && to - from != 16) || !IsPawn(board.pieceOn[to])) return 0;
    const int passed = (from + to) >> 1;
    if ((pos.history[start].hashKey ^ ZobristKeys[0][passed]) != board.hashKey || board.epSquare != 0) return 0;
    // The same pieces stood there as now: could a pawn have taken?
    const int us = pos.sideToMove;
    Bitboard takers =
        (us == Black ? WhitePawnAttacks[passed] : BlackPawnAttacks[passed]) & board.pieceBitboard[PawnOf(us)];
    // The trial puts the square back, with its keys, as it stood then.
    const uint64_t epKey = ZobristKeys[0][passed];
    const auto toggleSquare = [&pos, &board, epKey](int square) {
        board.epSquare = static_cast<uint8_t>(square);
        board.hashKey ^= epKey;
        board.pawnKey ^= LowHalf(epKey);
        pos.historyTop->hashKey = board.hashKey;
    };
    bool canTake = false;
    toggleSquare(passed);
    for (; takers != 0 && !canTake; takers &= takers - 1)
        canTake = IsLegalMove(pos, MakeMoveWord(LowestSquare(takers), passed, EnPassant));
    toggleSquare(0);
    if (canTake) return 0;
    // That position counts once (its key differs); one more between it and
    // now makes three.
    return CountEarlierKeys(pos, pos.HistoryIndex() - 4, board.hashKey, 1) == 1 ? ResultRepetition : 0;
}

}  // namespace kavrin
