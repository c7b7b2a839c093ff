// The workbench converters between PGN, GAME and POS files. Results and
// progress are printed on standard output; a few lines go to the log.
// Pgn2Pos, Pgn2Game and PgnList2Game report a reading error and then raise
// it again as GameFileError for the command loop.
#pragma once

#include "board/board.h"

namespace kavrin {

// Longest list line used as a PGN file name.
constexpr int ListLineSize = 255;

// Positions of the first 64 plies of every game into 0.pos .. F.pos (emptied
// first), each line in the file of its hash's first hex digit.
void Pgn2Pos(Position& pos, const char* pgnName);
// Appends every new game of the PGN file to the GAME file; games already
// stored there are skipped. runningTotal grows by the games written.
void Pgn2Game(Position& pos, const char* pgnName, const char* gameName, int& runningTotal);
// Pgn2Game for every line of the list file, then the total written.
void PgnList2Game(Position& pos, const char* listName, const char* gameName);
// Appends every game of the GAME file to the PGN file in coordinate notation.
void Game2Pgn(Position& pos, const char* gameName, const char* pgnName);
// Appends the positions of the first 64 plies of every game to one POS file.
void Game2Pos(Position& pos, const char* gameName, const char* posName);

}  // namespace kavrin
