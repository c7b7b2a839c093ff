// The command-loop entry points of the book and database commands.
#pragma once

#include "board/board.h"

namespace kavrin {

class BookSet;

// "bookshow": whether the position is in the book of its side to move.
void BookShowCommand(BookSet& books, const Position& pos);
// "dbshow" (binary search) and "dbshowlin" (linear, with the sort report):
// the Board diagram and the statistics of the position.
void DbShowCommand(const Position& pos, bool linear);
// "dbcreate": baseName_white.db and baseName_black.db from a sorted POS file.
void DbCreateCommand(const char* posFile, const char* baseName);
// "bookcreate": "bookbtm" and "bookwtm" from "white.db" and "black.db".
void BookCreateCommand();

}  // namespace kavrin
