#include "search/tt.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "board/board.h"

namespace kavrin {

namespace {

// The default table lives in static storage, aligned by hand inside room for
// it: a segment aligned to 2 MB would keep profilers from reading the
// program's symbols.
alignas(64) unsigned char defaultTableSpace[TTDefaultBytes + TTAlignment];
TTBucket* const defaultBuckets = [] {
    const uintptr_t start = reinterpret_cast<uintptr_t>(defaultTableSpace);
    return reinterpret_cast<TTBucket*>((start + TTAlignment - 1) & ~(uintptr_t{TTAlignment} - 1));
}();
// The allocated table, when another size than the default was asked for.
TTBucket* allocatedTable = nullptr;

// Asks for large pages before the first clear touches the table; without
// them nearly every probe also misses the address translation cache.
void AskForLargePages(TTBucket* buckets, size_t bytes) { madvise(buckets, bytes, MADV_HUGEPAGE); }

void StoreEntry(TTSlot& slot, uint32_t keyAndMove, uint32_t keyHigh, uint32_t data) {
    StoreWord(slot.keyAndMove, keyAndMove);
    StoreWord(slot.keyCheck, keyHigh ^ keyAndMove ^ data);
    StoreWord(slot.data, data);
}

// The slot's words as they are, not decoded: a torn slot stays torn.
void CopySlot(TTSlot& to, const TTSlot& from) {
    StoreWord(to.keyAndMove, LoadWord(from.keyAndMove));
    StoreWord(to.keyCheck, LoadWord(from.keyCheck));
    StoreWord(to.data, LoadWord(from.data));
}

}  // namespace

TranspositionTable transpositionTable{defaultBuckets, TTDefaultBuckets / 2 - 1};

namespace {

uint32_t LowKey(const Position& pos) { return static_cast<uint32_t>(pos.board.hashKey); }
uint32_t HighKey(const Position& pos) { return static_cast<uint32_t>(pos.board.hashKey >> 32); }

bool Matches(const TTEntry& e, uint32_t low, uint32_t high) {
    return ((e.keyAndMove ^ low) & TTKeyLowStored) == 0 && e.keyHigh == high;
}

// An entry's worth is its depth plus the game ply of its store; it gives way
// to a new entry of greater worth, or of equal worth and a more exact bound.
// The difference is taken in 16 bits, as the age field is only the low bits
// of the game ply.
bool Replaceable(const TTEntry& e, int gamePly, int depth, Bound bound) {
    const int16_t margin = static_cast<int16_t>(gamePly - EntryAge(e) - EntryDepth(e) + depth);
    return margin > 0 || (margin == 0 && bound < EntryBound(e));
}

}  // namespace

TTEntry LoadEntry(const TTSlot& slot) {
    const uint32_t keyAndMove = LoadWord(slot.keyAndMove);
    const uint32_t keyCheck = LoadWord(slot.keyCheck);
    const uint32_t data = LoadWord(slot.data);
    return TTEntry{keyAndMove, keyCheck ^ keyAndMove ^ data, data};
}

void StoreTT(const Position& pos, int score, Bound bound, int depth, Move move) {
    TTBucket& bucket = BucketOfPosition(pos);
    const uint32_t low = LowKey(pos);
    const uint32_t high = HighKey(pos);
    const uint32_t word0 = (low & TTKeyLowStored) | move;
    const uint32_t word2 = (static_cast<uint32_t>(depth) & TTDepthMask) | static_cast<uint32_t>(bound) |
                           ((static_cast<uint32_t>(pos.gamePly) & TTAgeMask) << TTAgeShift) |
                           (static_cast<uint32_t>(score + ScoreMax) << TTScoreShift);
    TTSlot& first = bucket.slot[0];
    const TTEntry firstEntry = LoadEntry(first);
    // 1. The position already holds slot 0: improve it in place or leave it.
    if (Matches(firstEntry, low, high)) {
        const int oldDepth = EntryDepth(firstEntry);
        if (depth > oldDepth || (depth == oldDepth && bound < EntryBound(firstEntry)))
            StoreEntry(first, word0, high, word2);
        return;
    }
    // 2. Slot 0 moves down to slot 1 when it gives way; otherwise slot 1 is
    // tried, and slot 2 always takes the entry.
    TTSlot* target;
    if (Replaceable(firstEntry, pos.gamePly, depth, bound)) {
        CopySlot(bucket.slot[1], first);
        target = &first;
    } else if (Replaceable(LoadEntry(bucket.slot[1]), pos.gamePly, depth, bound)) {
        target = &bucket.slot[1];
    } else {
        target = &bucket.slot[2];
    }
    StoreEntry(*target, word0, high, word2);
}

uint32_t TTBucketCount() { return 2 * (transpositionTable.halfMask + 1); }

size_t TTBytes() { return static_cast<size_t>(TTBucketCount()) * sizeof(TTBucket); }

void ClearTranspositionTable() {
    static bool largePagesAsked = false;
    if (!largePagesAsked) {
        largePagesAsked = true;
        AskForLargePages(transpositionTable.buckets, TTBytes());
    }
    std::memset(transpositionTable.buckets, 0, TTBytes());
}

bool ResizeTranspositionTable(size_t megabytes) {
    int bits = 2;
    while (bits < TTMaxBucketBits && (size_t{1} << (bits + 1)) * sizeof(TTBucket) <= (megabytes << 20)) ++bits;
    const uint32_t count = 1u << bits;
    TTBucket* buckets = defaultBuckets;
    if (count != TTDefaultBuckets) {
        const size_t bytes = static_cast<size_t>(count) * sizeof(TTBucket);
        // aligned_alloc wants a multiple of the alignment.
        const size_t rounded = (bytes + TTAlignment - 1) / TTAlignment * TTAlignment;
        buckets = static_cast<TTBucket*>(std::aligned_alloc(TTAlignment, rounded));
        if (buckets == nullptr) return false;
        AskForLargePages(buckets, bytes);
    }
    std::free(allocatedTable);
    allocatedTable = buckets == defaultBuckets ? nullptr : buckets;
    transpositionTable = TranspositionTable{buckets, count / 2 - 1};
    ClearTranspositionTable();
    return true;
}

int TTPermillFull() {
    // 333 buckets spread over both halves of the table, or all of a smaller one.
    const uint32_t sampled = std::min<uint32_t>(333, TTBucketCount());
    const uint32_t step = TTBucketCount() / sampled;
    int used = 0;
    for (uint32_t b = 0; b < sampled; ++b) {
        for (const TTSlot& slot : transpositionTable.buckets[b * step].slot) {
            const TTEntry e = LoadEntry(slot);
            used += (e.keyHigh | e.data) != 0;
        }
    }
    return static_cast<int>(used * 1000 / (sampled * TTSlots));
}

}  // namespace kavrin
