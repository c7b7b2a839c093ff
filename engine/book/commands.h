// The command-loop entry points of the book and database commands.
#pragma once

#include "board/board.h"

namespace kavrin {

// Loads both books into bookSet at start-up; on false, BookLoadMessage()
// says why (the text ends with its own line end).
bool LoadBooks();
// The same from another folder (a path ending in its name, with or without a
// final slash).
bool LoadBooksFrom(const char* folder);
const char* BookLoadMessage();

// "bookshow": whether the position is in the book of its side to move.
void BookShowCommand(const Position& pos);
// "dbshow" (binary search) and "dbshowlin" (linear, with the sort report):
// the Board diagram and the statistics of the position.
void DbShowCommand(const Position& pos, bool linear);
// "dbcreate": baseName_white.db and baseName_black.db from a sorted POS file.
void DbCreateCommand(const char* posFile, const char* baseName);
// "bookcreate": "bookbtm" and "bookwtm" from "white.db" and "black.db".
void BookCreateCommand();

}  // namespace kavrin
