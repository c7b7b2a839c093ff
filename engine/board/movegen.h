// Pseudo-legal move generation with ordering scores, the check test before
// generation and the legality test after a move.
#pragma once

#include "board/board.h"
#include "board/types.h"

namespace kavrin {

// Room one position's list can need: fifteen pieces moving like queens (27
// targets each), the king's 8 and both castlings. The longest real list is
// far shorter; callers keep this much free before generating.
constexpr int MaxGeneratedMoves = 416;

// Every pseudo-legal move of the side to move (not in check), appended at
// out; returns one past the last entry written.
MoveEntry* GenerateAll(const Position& pos, MoveEntry* out);
// Captures, capture-promotions and queen promotions by push that do not lose
// material, for the quiescence search.
MoveEntry* GenerateCaptures(const Position& pos, MoveEntry* out);
// Answers to a check: captures of the checker, interpositions, king moves.
// check must hold ComputeCheckers' result for the position.
MoveEntry* GenerateEvasions(const Position& pos, MoveEntry* out, const CheckInfo& check);

// Writes check.checkers (the enemy pieces giving check to the side to move)
// and the king's line sets that GenerateEvasions needs.
void ComputeCheckers(const Position& pos, CheckInfo& check);

// Called after MakeMove(m) with the colour that made m: true when that
// colour's king is attacked or, for castling, when the king started on or
// crossed an attacked square or would stand beside the enemy king. A true
// result means m was illegal.
bool IsKingAttacked(const Position& pos, Move m, int colour);

// The side to move's pieces that stand alone between its king and an enemy
// rook, bishop or queen on the same line.
Bitboard PinnedPieces(const Position& pos);

// What IsKingAttacked would say after MakeMove(m), judged before it, for a
// move of the position's list when the side to move is not in check (pinned
// from PinnedPieces). Only en passant and castling need the trial move.
enum class MoveVerdict : uint8_t { Legal, Illegal, NeedsTrial };
MoveVerdict JudgeMoveNotInCheck(const Position& pos, Move m, Bitboard pinned);

// Whether play may start from the position: playable, and the side not to
// move is not in check. A position read from outside, or a side to move
// changed by hand, can leave that king attacked; its capture is no move, and
// such a position is neither searched nor played on.
bool PositionPlayable(const Position& pos);

}  // namespace kavrin
