// Building the two opening books from the position-statistics databases:
// a position enters the book of its side to move when the games went well
// for the side that moved into it and it was seen early enough.
#pragma once

#include "book/book.h"
#include "book/posdb.h"

namespace kavrin {

// Selection: positions first seen after this ply never enter a book.
constexpr int BookSelectionPlyLimit = 60;
// "bookbtm": White reached it and scored at least this much.
constexpr double BlackToMoveThreshold = 0.53;
// "bookwtm": Black reached it and White scored at most this much, or at most
// the early threshold when it was first seen within the early plies.
constexpr double WhiteToMoveThreshold = 0.52;
constexpr double WhiteToMoveEarlyThreshold = 0.55;
constexpr int EarlyPlyLimit = 11;

// Whether a database record with these counts and earliest ply belongs in
// the book of side (0 "bookbtm", 1 "bookwtm").
bool KeepInBook(int side, uint32_t whiteWins, uint32_t blackWins, uint32_t draws, int ply);

// Writes baseName + ".mbx" / ".mbk" from the records of db, using the index
// of books.book[side]; on failure the reason is in books.message. Prints
// White's score over the whole database.
bool GenerateBook(const char* baseName, DatabaseFile& db, int side, BookSet& books);

// The "bookcreate" sequence: "bookbtm" from blackDb and "bookwtm" from
// whiteDb, with its progress and messages on standard output. False when the
// databases could not be opened (nothing is built then).
bool CreateBooks(const char* whiteDb, const char* blackDb);

}  // namespace kavrin
