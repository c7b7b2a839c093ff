// Playing from a Polyglot book: the file checked whole when it is opened,
// the entries of a position found by a binary search in the file, and a move
// chosen at random in proportion to the weights among the entries that name
// a legal move of the position.
#pragma once

#include <cstdint>
#include <cstdio>
#include <random>
#include <string>

#include "board/board.h"
#include "book/polyglot.h"

namespace kavrin {

// Most entries of one position that are looked at (more than the longest
// legal move list); a longer run of one key is read no further.
constexpr int PolyglotPositionEntriesLimit = 256;

class PolyglotBook {
  public:
    PolyglotBook();
    ~PolyglotBook();
    PolyglotBook(const PolyglotBook&) = delete;
    PolyglotBook& operator=(const PolyglotBook&) = delete;

    // Opens path and reads it through once: it must be a non-empty file of
    // whole entries in key order, each with a move word that names a move
    // (or 0, which is skipped). On failure the book stays closed and
    // Message() says why in one line.
    bool Open(const std::string& path);
    void Close();
    bool IsOpen() const { return file_ != nullptr; }
    uint64_t EntryCount() const { return count_; }
    const std::string& Message() const { return message_; }

    // The entries of key in file order, at most PolyglotPositionEntriesLimit
    // of them, into out; returns their number (0 also when a read fails).
    int Entries(uint64_t key, PolyglotEntry out[PolyglotPositionEntriesLimit]);

    // The random numbers of the choice; seeded from the system at
    // construction, or by the caller for a repeatable choice.
    void Seed(uint64_t seed) { random_.seed(seed); }
    uint64_t NextRandom() { return random_(); }

  private:
    bool Fail(const std::string& path, const char* reason);
    bool ReadEntry(uint64_t n, PolyglotEntry& entry);

    std::FILE* file_ = nullptr;
    uint64_t count_ = 0;
    uint64_t position_ = 0;  // entry number the next sequential read returns
    std::string message_;
    std::mt19937_64 random_;
};

// Whether the move word of an entry names m: its own word, or for castling
// also the king's two-square move that some books write instead.
bool PolyglotWordNames(uint16_t word, Move m);

// Of the entries, those whose move word names one of the legal moves and
// whose weight is not 0; one of them is chosen with probability weight / sum
// of weights, by random (any 64-bit number). 0 when none is left.
Move ChooseWeightedMove(const PolyglotEntry* entries, int entryCount, const Move* legal, int legalCount,
                        uint64_t random);

// A book move for the position: its key, its legal moves, a weighted random
// choice among the book's entries. 0 when the book is closed or has no
// playable move for the position, which is left as it was.
Move PolyglotBookMove(Position& pos, PolyglotBook& book);

}  // namespace kavrin
