// The workbench converters between PGN, GAME and POS files. Results and
// progress are printed on standard output; a few lines go to the log.
// Pgn2Pos, Pgn2Game and PgnList2Game report a reading error and then raise
// it again as GameFileError for the command loop, with the Board already set
// up afresh. Each converter returns whether it set the Board up afresh to
// replay the games on it (the caller's search should then forget what it
// learned about earlier positions).
#pragma once

#include <fstream>
#include <functional>

#include "board/board.h"
#include "notation/pgn.h"

namespace kavrin {

// Longest list line used as a PGN file name.
constexpr int ListLineSize = 255;

// Shared body of pgn2pos and pgn2game, and of every other reader of a whole
// PGN collection: every game of in, read on pos from the initial position
// (where pos is left); a game that cannot be read, or that convert turns
// down (it returns false), is skipped with a warning; the summary lines close
// the file. A reader error is reported and passed on as GameFileError.
void ConvertPgnGames(Position& pos, std::ifstream& in, const char* pgnName,
                     const std::function<bool(const GameRecord&)>& convert);

// Positions of the first 64 plies of every game into 0.pos .. F.pos (emptied
// first), each line in the file of its hash's first hex digit.
bool Pgn2Pos(Position& pos, const char* pgnName);
// Appends every new game of the PGN file to the GAME file; games already
// stored there are skipped. runningTotal grows by the games written.
bool Pgn2Game(Position& pos, const char* pgnName, const char* gameName, int& runningTotal);
// Pgn2Game for every line of the list file, then the total written.
bool PgnList2Game(Position& pos, const char* listName, const char* gameName);
// Appends every game of the GAME file to the PGN file in coordinate notation.
bool Game2Pgn(Position& pos, const char* gameName, const char* pgnName);
// Appends the positions of the first 64 plies of every game to one POS file.
bool Game2Pos(Position& pos, const char* gameName, const char* posName);

}  // namespace kavrin
