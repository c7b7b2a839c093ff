// POS files: one text line per position of a game,
//   16 upper-case hex digits of the hash key, TAB, four-field FEN, TAB,
//   result code (W, B or D), TAB, ply number of the move about to be played.
#pragma once

#include <ostream>

#include "notation/pgn.h"

namespace kavrin {

// Files of the split form, one per first hex digit of the hash: 0.pos .. F.pos.
constexpr int PosFileCount = 16;
// Positions written per game.
constexpr int PosPlyLimit = 64;
// Longest line: 16 hex digits, the FEN, the code, a ply number and separators.
constexpr int PosLineSize = 128;

// Writes the line of the position with game's result code and ply.
void WritePosLine(const Position& pos, const GameRecord& game, std::ostream& out, int ply);
// Replays game from the (initial) position, at most PlyStackSize - 1 moves,
// writing the positions before moves 1 .. min(n, plyLimit), then takes the
// moves back. Every move is matched against the generated
// legal moves first: one that is not raises "MOVE NOT LEGAL 1" (or "MOVE NOT
// LEGAL 2 - check revealed"), after the moves made have been taken back.
void WriteGamePositions(Position& pos, const GameRecord& game, std::ostream& out, int plyLimit);
// The same with each line sent to the stream of its hash's first hex digit.
void WriteGamePositions(Position& pos, const GameRecord& game, std::ostream* const (&outs)[PosFileCount], int plyLimit);

}  // namespace kavrin
