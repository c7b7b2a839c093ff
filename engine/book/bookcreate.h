// Building the two opening books from the position-statistics databases:
// a position enters the book of its side to move when the games went well
// for the side that moved into it and it was seen early enough.
#pragma once

#include <cstdio>
#include <string>

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

// Writes one book, baseName + ".mbx" / ".mbk", from keys offered in
// ascending order; book[side]'s index is where the index is built.
class BookFileWriter {
  public:
    // How the record file is opened: written from its beginning and never
    // shortened, as "bookcreate" does, or emptied first.
    enum class RecordFileMode { KeepTail, Empty };

    // message: FileMessageSize bytes for the reason of a failure.
    BookFileWriter(OpeningBook& book, char* message);
    ~BookFileWriter();
    BookFileWriter(const BookFileWriter&) = delete;
    BookFileWriter& operator=(const BookFileWriter&) = delete;

    // Opens both files and clears the index.
    bool Open(const char* baseName, RecordFileMode mode);
    // Appends the record of key. A key not above the last one is left out, so
    // that every bucket stays one sorted run. False when the write failed.
    bool Add(uint64_t key);
    // Closes the records, makes the index cumulative and writes it.
    bool Finish();

  private:
    OpeningBook& book_;
    char* message_;
    std::string indexName_;
    std::string recordName_;
    std::FILE* indexFile_ = nullptr;
    std::FILE* recordFile_ = nullptr;
    uint32_t count_ = 0;
    bool haveKey_ = false;
    uint64_t lastKey_ = 0;
    bool recordsWritten_ = true;
};

// Writes baseName + ".mbx" / ".mbk" from the records of db, using the index
// of books.book[side]; on failure the reason is in books.message. Prints
// White's score over the whole database.
bool GenerateBook(const char* baseName, DatabaseFile& db, int side, BookSet& books);

// The "bookcreate" sequence: "bookbtm" from blackDb and "bookwtm" from
// whiteDb, with its progress and messages on standard output. False when the
// databases could not be opened (nothing is built then).
bool CreateBooks(const char* whiteDb, const char* blackDb);

}  // namespace kavrin
