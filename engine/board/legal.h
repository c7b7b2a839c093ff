// The one gate for moves from outside the search: the interface's moves, the
// book's, the transposition table's ponder and variation moves, and the moves
// of the PGN, GAME and SAN readers are accepted only when they pass here.
#pragma once

#include <cstdint>

#include "board/board.h"
#include "board/types.h"

namespace kavrin {

// What the gate found for a move in a position.
enum class Legality : uint8_t {
    Legal,
    // Not among the generated moves (the answers to check when in check);
    // nothing is generated on a Board where play may not start.
    NotGenerated,
    // Generated, but the mover's king is attacked after it (or, castling,
    // the king left or crossed an attacked square).
    LeavesKingAttacked,
};

// Judges m in the position. 0 and the result markers are no moves. The
// Board and the position history are left as they were; a full history is
// no obstacle.
Legality CheckMove(Position& pos, Move m);
inline bool IsLegalMove(Position& pos, Move m) { return CheckMove(pos, m) == Legality::Legal; }

// Writes the legal moves of the position at out, in generation order, and
// returns one past the last. out needs room for MaxGeneratedMoves entries.
MoveEntry* GenerateLegalMoves(Position& pos, MoveEntry* out);
// The first legal move of the position in generation order, or 0.
Move FirstLegalMove(Position& pos);

// DrawCheck(pos, 2), with repetitions counted as the laws of the game count
// them: the position right after a double push is the same position as a
// later one with the same pieces when no pawn could lawfully take en passant
// there, although its key carries the square passed over. The search and the
// game's own draw rule keep DrawCheck; this one ends the lines shown to an
// interface, whose arbiter compares positions this way.
Move LawfulDrawCheck(Position& pos);

}  // namespace kavrin
