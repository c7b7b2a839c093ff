// The transposition table: buckets of three 12-byte entries (2^20 by
// default); the side to move chooses the part of the table, the low key word
// the bucket. Every search thread reads and writes it while the others do.
#pragma once

#include <cstddef>
#include <cstdint>

#include "board/board.h"
#include "board/types.h"
#include "board/zobrist.h"

namespace kavrin {

// Entry, three 32-bit words:
//   word 0: bits 0-15 move, bits 16-31 bits 16-31 of the low key word
//           (bits 19-31 are compared; 16-18 are part of the bucket index)
//   word 1: the high key word, compared whole
//   word 2: bits 0-6 depth, bits 7-8 bound, bits 9-17 age (gamePly mod 512),
//           bits 18-31 score + ScoreMax
// A probe hands out a copy of the entry as TTEntry.
struct TTEntry {
    uint32_t keyAndMove;
    uint32_t keyHigh;
    uint32_t data;
};

// The entry as the table holds it. Each word is read and written whole, one
// at a time, so threads may probe an entry while another stores it; word 1
// holds the high key word XORed with words 0 and 2, so that an entry whose
// words come from two different stores fails the key test and is not used.
struct TTSlot {
    uint32_t keyAndMove;
    uint32_t keyCheck;
    uint32_t data;
};

constexpr int TTSlots = 3;
struct TTBucket {
    TTSlot slot[TTSlots];
};

// The table the engine starts with: 2^20 buckets, 36 MB.
constexpr int TTDefaultBucketBits = 20;
constexpr uint32_t TTDefaultBuckets = 1u << TTDefaultBucketBits;

constexpr int TTMoveBits = 16;
constexpr uint32_t TTMoveMask = (1u << TTMoveBits) - 1;
// Bits 16-31 of the low key word are stored and compared; those of them that
// choose the bucket match by construction (bits 16-18 in the default table).
constexpr uint32_t TTKeyLowStored = ~TTMoveMask;
constexpr int TTDepthBits = 7;
constexpr uint32_t TTDepthMask = (1u << TTDepthBits) - 1;
constexpr int TTBoundShift = TTDepthBits;
constexpr int TTBoundBits = 2;
constexpr uint32_t TTBoundMask = ((1u << TTBoundBits) - 1) << TTBoundShift;
constexpr int TTAgeShift = TTBoundShift + TTBoundBits;
constexpr int TTAgeBits = 9;
constexpr uint32_t TTAgeMask = (1u << TTAgeBits) - 1;
constexpr int TTScoreShift = TTAgeShift + TTAgeBits;
constexpr int TTScoreBits = 32 - TTScoreShift;

// What a stored score is, as it sits in word 2; a smaller value is a more
// exact bound.
enum class Bound : uint32_t {
    Exact = 0,
    Lower = 0x80,   // the score is at least this (a cutoff)
    Upper = 0x100,  // the score is at most this (every move failed low)
};

static_assert(sizeof(TTEntry) == 12 && sizeof(TTSlot) == 12, "a table entry is three 32-bit words");
static_assert(sizeof(TTBucket) == 36, "a bucket is three entries");
static_assert(TTScoreShift == 18 && TTScoreBits == 14, "the score field is bits 18-31");
static_assert((static_cast<uint32_t>(Bound::Lower) | static_cast<uint32_t>(Bound::Upper)) == TTBoundMask,
              "both bounds fit the bound field");
static_assert(ScoreMax + ScoreMax + 3 < (1 << TTScoreBits), "scores -8190..8193 fit the score field");

// Tables start on a large page boundary, so that they can be backed by large
// pages and a probe rarely misses the address translation cache.
constexpr size_t TTAlignment = size_t{1} << 21;
constexpr size_t TTDefaultBytes = TTDefaultBuckets * sizeof(TTBucket);
static_assert(TTDefaultBytes == 37748736, "2^20 buckets of 36 bytes");
// Megabytes of the default table.
constexpr size_t TTDefaultMegabytes = TTDefaultBytes >> 20;
// The fewest buckets a table has: two for each side to move.
constexpr uint32_t TTMinBuckets = 4;
// The most buckets a table may have: bucket numbers are 32-bit.
constexpr uint64_t TTMaxBuckets = 0xFFFFFFFFu;

inline Move EntryMove(const TTEntry& e) { return static_cast<Move>(e.keyAndMove & TTMoveMask); }
inline int EntryDepth(const TTEntry& e) { return static_cast<int>(e.data & TTDepthMask); }
inline Bound EntryBound(const TTEntry& e) { return static_cast<Bound>(e.data & TTBoundMask); }
inline int EntryAge(const TTEntry& e) { return static_cast<int>((e.data >> TTAgeShift) & TTAgeMask); }
inline int EntryScore(const TTEntry& e) { return static_cast<int>(e.data >> TTScoreShift) - ScoreMax; }

// One word of a slot, read or written whole while other threads may do the
// same (relaxed: the key test, not the order, keeps torn entries out).
inline uint32_t LoadWord(const uint32_t& word) { return __atomic_load_n(&word, __ATOMIC_RELAXED); }
inline void StoreWord(uint32_t& word, uint32_t value) { __atomic_store_n(&word, value, __ATOMIC_RELAXED); }

// A consistent copy of a slot's words as they stand now (the high key word
// decoded); a torn slot gives an entry whose key matches no position.
TTEntry LoadEntry(const TTSlot& slot);

// The table: the buckets of black to move, then those of white to move. In
// the default table each side has half of the 2^20 buckets, and the low bits
// of the low key word choose the bucket. A table of any other size has as
// many buckets as its bytes hold, and the high half of the product of the
// (rotated) low key word and the size of the side's part chooses the bucket,
// so that every size is used whole.
class TranspositionTable {
  public:
    // A table of megabytes MB (as Resize makes it), cleared; the default
    // table by default. Throws std::bad_alloc when the memory cannot be had.
    explicit TranspositionTable(size_t megabytes = TTDefaultMegabytes);
    ~TranspositionTable();
    TranspositionTable(const TranspositionTable&) = delete;
    TranspositionTable& operator=(const TranspositionTable&) = delete;

    // The bucket of a side to move and key, and that of the position.
    TTBucket& BucketOf(int sideToMove, uint64_t key) const {
        const uint32_t low = static_cast<uint32_t>(key);
        // The rotation puts the key bits that no entry stores on top, where
        // they weigh most in the product.
        const uint32_t index =
            scaled ? static_cast<uint32_t>((uint64_t{(low << 16) | (low >> 16)} * partSize[sideToMove]) >> 32)
                   : low & mask;
        return buckets[partStart[sideToMove] + index];
    }
    TTBucket& BucketOfPosition(const Position& pos) const { return BucketOf(pos.sideToMove, pos.board.hashKey); }

    // Starts loading the bucket of a position with the given side to move and
    // key, both of its cache lines when it straddles two. These helpers are
    // inlined by force: a call to a function that only prefetches looks free
    // of effects to the compiler, which may drop it before inlining it.
    __attribute__((always_inline)) void PrefetchKey(int sideToMove, uint64_t key) const {
        const char* const first = reinterpret_cast<const char*>(&BucketOf(sideToMove, key));
        __builtin_prefetch(first);
        __builtin_prefetch(first + sizeof(TTBucket) - 1);
    }
    // Starts loading the position's bucket, for a probe soon after.
    __attribute__((always_inline)) void Prefetch(const Position& pos) const {
        PrefetchKey(pos.sideToMove, pos.board.hashKey);
    }
    // Starts loading, before the move is made, the bucket of the position an
    // ordinary move or capture leads to: its key without the castling rights
    // the move may take away, which only makes the guess miss. Other moves
    // fetch nothing here; Prefetch after the move covers them.
    __attribute__((always_inline)) void PrefetchAfter(const Position& pos, Move m) const {
        const int kind = MoveKindOf(m);
        if (kind != Quiet && kind != Capture) return;
        const Board& board = pos.board;
        const int from = MoveFrom(m);
        const int to = MoveTo(m);
        const int piece = board.pieceOn[from];
        uint64_t key = board.hashKey ^ ZobristKeys[piece][from] ^ ZobristKeys[piece][to];
        if (board.epSquare != 0) key ^= ZobristKeys[0][board.epSquare];
        if (kind == Capture) key ^= ZobristKeys[board.pieceOn[to]][to];
        if (IsPawn(piece) && (from - to == 16 || to - from == 16)) key ^= ZobristKeys[0][(from + to) >> 1];
        PrefetchKey(pos.sideToMove ^ 1, key);
    }
    // The same for the position a pass leads to.
    __attribute__((always_inline)) void PrefetchAfterNull(const Position& pos) const {
        const Board& board = pos.board;
        PrefetchKey(pos.sideToMove ^ 1,
                    board.epSquare != 0 ? board.hashKey ^ ZobristKeys[0][board.epSquare] : board.hashKey);
    }

    // The first entry of the position's bucket that matches the position,
    // looking at slot 0, 1, 2 in turn, copied to entry; false when none does.
    bool Probe(const Position& pos, TTEntry& entry) const {
        const TTBucket& bucket = BucketOfPosition(pos);
        const uint32_t low = static_cast<uint32_t>(pos.board.hashKey);
        const uint32_t high = static_cast<uint32_t>(pos.board.hashKey >> 32);
        for (const TTSlot& slot : bucket.slot) {
            // The low key bits first: most slots fail there.
            const uint32_t keyAndMove = LoadWord(slot.keyAndMove);
            if (((keyAndMove ^ low) & TTKeyLowStored) != 0) continue;
            const uint32_t data = LoadWord(slot.data);
            if ((LoadWord(slot.keyCheck) ^ keyAndMove ^ data) != high) continue;
            entry = TTEntry{keyAndMove, high, data};
            return true;
        }
        return false;
    }
    // Stores a result for the position under the replacement rules; the age
    // is the position's game ply.
    void Store(const Position& pos, int score, Bound bound, int depth, Move move);
    // Sets every word of the table to 0. No search may run meanwhile.
    void Clear();

    // Number of buckets and bytes of the table.
    uint32_t BucketCount() const { return count; }
    size_t Bytes() const { return static_cast<size_t>(count) * sizeof(TTBucket); }
    // Replaces the table by one of megabytes MB (2^20 bytes), less at most one
    // bucket (and of at least TTMinBuckets), cleared. False, with the table
    // unchanged, when the memory cannot be had. No search may run meanwhile.
    bool Resize(size_t megabytes);
    // Entries in use per thousand, counted over the first thousand entries.
    int PermillFull() const;

  private:
    // Allocates room for n buckets, on a large page boundary; nullptr when
    // the memory cannot be had.
    static TTBucket* Allocate(uint32_t n);
    // Takes table, of n buckets, as the table in the geometry of that size.
    void Adopt(TTBucket* table, uint32_t n);

    TTBucket* buckets = nullptr;
    uint32_t count = 0;
    // Where each side to move's part starts, [Black] and [White], and how
    // many buckets it has.
    uint32_t partStart[2] = {0, 0};
    uint32_t partSize[2] = {0, 0};
    // The default geometry: the low key bits under mask choose the bucket;
    // any other size is scaled.
    uint32_t mask = 0;
    bool scaled = false;
};

}  // namespace kavrin
