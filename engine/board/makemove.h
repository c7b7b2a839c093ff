// Playing and taking back moves on the Board, the null move, and the draw
// tests that read the position history.
#pragma once

#include "board/board.h"
#include "board/types.h"

namespace kavrin {

// Plays m (any kind but the kind-3 markers) on the position. The caller has
// stored the current position's saved fields in undo (SaveForMake); make
// fills savedPieceBitboard, capturedPiece and materialDelta, advances
// historyTop and flips sideToMove. No legality test: see IsKingAttacked.
void MakeMove(Position& pos, Move m, UndoRecord& undo);
// Takes back m, made with the same undo record, restoring the Board exactly.
void UnmakeMove(Position& pos, Move m, const UndoRecord& undo);

// Passes the move: only the en-passant key leaves the position key.
void MakeNullMove(Position& pos, UndoRecord& undo);
void UnmakeNullMove(Position& pos, const UndoRecord& undo);

// "white"/"black": the side to move changes by hand. A new side to move
// cannot take a pawn en passant that the other side's last double push
// allowed, so that chance ends with the change, on the Board and in the game
// snapshot.
void SetSideToMove(Position& pos, int side);

// Walks back from history index start in steps of two plies (same side to
// move) while the fifty counter of start allows, counting entries with key;
// stops at limit.
int CountEarlierKeys(const Position& pos, int start, uint64_t key, int limit);

// 0, or the marker of a drawn position: insufficient material, the
// fifty-move rule, or the n-th earlier occurrence of the current key.
Move DrawCheck(const Position& pos, int n);

// How often the position after the quiet piece move m already occurred (0,
// 1 or 2), with 1 near and 2 at the fifty-move limit; 0 for any other move.
int RepetitionAfter(const Position& pos, Move m);

}  // namespace kavrin
