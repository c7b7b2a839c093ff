// The opening book: per side to move, a sorted file of position keys the
// engine is glad to reach, with an in-memory index of 2^17 buckets.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "board/board.h"
#include "board/types.h"
#include "system/binary_io.h"

namespace kavrin {

// A key is split into a bucket (upper 17 bits) and a stored part (lower 47).
constexpr int BookBucketShift = 15;  // within the upper half
constexpr uint32_t BookUpperStoredMask = 0x7FFF;
constexpr int BookIndexEntries = 1 << 17;
constexpr int BookIndexBytes = 4 * BookIndexEntries;
static_assert(BookIndexBytes == 524288, "a book index file is 524,288 bytes");

// BookRecord on disk (".mbk"), 6 bytes, little-endian:
//   bytes 0-3  lower 32 bits of the key
//   bytes 4-5  bits 32-46 of the key (upper half AND 0x7FFF); bit 15 is 0
constexpr int BookRecordSize = 6;
static_assert(BookRecordSize == 4 + 2, "a book record is a 32-bit and a 16-bit field");

// BookIndex on disk (".mbx"): 131,072 unsigned 32-bit little-endian entries;
// entry b counts the records of buckets 0..b.

constexpr int BookCandidateLimit = 256;
// The book is asked only while the game ply is below this.
constexpr int BookPlyLimit = 64;

struct BookRecord {
    uint32_t lower;
    uint16_t upper;  // bits 32-46 of the key
};

void EncodeBookRecord(const BookRecord& record, uint8_t out[BookRecordSize]);
BookRecord DecodeBookRecord(const uint8_t in[BookRecordSize]);
// The record that stores key.
BookRecord BookRecordOf(uint64_t key);

struct OpeningBook {
    uint32_t index[BookIndexEntries];
    std::FILE* recordFile;  // open for reading while the engine runs
    // The last record read and the bucket it was read for.
    BookRecord cached;
    uint32_t cachedBucket;
    bool cacheValid;
    uint64_t filePosition;  // record number the next sequential read returns, or UnknownRecordPosition
    uint64_t recordCount;   // ".mbk" size / 6; 0 when nothing is loaded
};

// Base names, indexed by the side to move of the positions they hold.
constexpr const char* BookBaseNames[2] = {"bookbtm", "bookwtm"};

// The two books and the reason of the last failure. Index 0: black to move
// ("bookbtm"); index 1: white to move ("bookwtm").
class BookSet {
  public:
    BookSet();
    ~BookSet();
    BookSet(const BookSet&) = delete;
    BookSet& operator=(const BookSet&) = delete;

    // Loads "bookbtm", then "bookwtm", from folder (the current directory
    // when it is empty); stops at the first failure with its reason in message.
    bool Load(const std::string& folder = "");
    // Loads one book from baseName + ".mbx" / ".mbk" into book[side].
    bool LoadBook(int side, const char* baseName);
    // Closes both record files and empties both books.
    void Close();

    char message[FileMessageSize];
    OpeningBook book[2];
};

// Whether the position key is in book.
bool BookContains(OpeningBook& book, uint64_t key);

// The book moves of the position: the legal moves whose resulting position
// is in the book of the other side to move, last generated first, at most
// BookCandidateLimit of them. Leaves the Board, the history and the game
// snapshot as they were.
int BookMoves(BookSet& books, Position& pos, Move out[BookCandidateLimit]);

// One of the book moves, chosen by the millisecond clock; 0 when none.
Move BookProbe(BookSet& books, Position& pos);

}  // namespace kavrin
