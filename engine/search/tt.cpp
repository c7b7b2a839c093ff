#include "search/tt.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <sys/mman.h>

#include "board/board.h"

namespace kavrin {

namespace {

DefaultTableStorage defaultTable;
// The allocated table, when another size than the default was asked for.
TTBucket* allocatedTable = nullptr;

// Asks for large pages before the first clear touches the table; without
// them nearly every probe also misses the address translation cache.
void AskForLargePages(TTBucket* buckets, size_t bytes) { madvise(buckets, bytes, MADV_HUGEPAGE); }

}  // namespace

TranspositionTable transpositionTable{defaultTable.buckets, TTDefaultBuckets / 2 - 1};

namespace {

uint32_t LowKey() { return static_cast<uint32_t>(board.hashKey); }
uint32_t HighKey() { return static_cast<uint32_t>(board.hashKey >> 32); }

bool Matches(const TTEntry& e, uint32_t low, uint32_t high) {
    return ((e.keyAndMove ^ low) & TTKeyLowStored) == 0 && e.keyHigh == high;
}

// An entry's worth is its depth plus the game ply of its store; it gives way
// to a new entry of greater worth, or of equal worth and a more exact bound.
// The difference is taken in 16 bits, as the age field is only the low bits
// of the game ply.
bool Replaceable(const TTEntry& e, int depth, uint32_t bound) {
    const int16_t margin = static_cast<int16_t>(static_cast<int>(gamePly) - EntryAge(e) - EntryDepth(e) + depth);
    return margin > 0 || (margin == 0 && bound < EntryBound(e));
}

}  // namespace

const TTEntry* ProbeTT() {
    const TTBucket& bucket = BucketOfPosition();
    const uint32_t low = LowKey();
    const uint32_t high = HighKey();
    for (const TTEntry& e : bucket.slot) {
        if (Matches(e, low, high)) return &e;
    }
    return nullptr;
}

void StoreTT(int16_t score, uint32_t bound, int depth, Move move) {
    TTBucket& bucket = BucketOfPosition();
    const uint32_t low = LowKey();
    const uint32_t high = HighKey();
    const uint32_t word0 = (low & TTKeyLowStored) | move;
    const uint32_t word2 = (static_cast<uint32_t>(depth) & TTDepthMask) | (bound & TTBoundMask) |
                           ((static_cast<uint32_t>(gamePly) & TTAgeMask) << TTAgeShift) |
                           (static_cast<uint32_t>(score + ScoreMax) << TTScoreShift);
    TTEntry& first = bucket.slot[0];
    // 1. The position already holds slot 0: improve it in place or leave it.
    if (Matches(first, low, high)) {
        const int oldDepth = EntryDepth(first);
        if (depth > oldDepth || (depth == oldDepth && bound < EntryBound(first))) {
            first.keyAndMove = word0;
            first.data = word2;
        }
        return;
    }
    // 2. Slot 0 moves down to slot 1 when it gives way; otherwise slot 1 is
    // tried, and slot 2 always takes the entry.
    TTEntry* target;
    if (Replaceable(first, depth, bound)) {
        bucket.slot[1] = first;
        target = &first;
    } else if (Replaceable(bucket.slot[1], depth, bound)) {
        target = &bucket.slot[1];
    } else {
        target = &bucket.slot[2];
    }
    target->keyAndMove = word0;
    target->keyHigh = high;
    target->data = word2;
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
    TTBucket* buckets = defaultTable.buckets;
    if (count != TTDefaultBuckets) {
        const size_t bytes = static_cast<size_t>(count) * sizeof(TTBucket);
        // aligned_alloc wants a multiple of the alignment.
        const size_t rounded = (bytes + TTAlignment - 1) / TTAlignment * TTAlignment;
        buckets = static_cast<TTBucket*>(std::aligned_alloc(TTAlignment, rounded));
        if (buckets == nullptr) return false;
        AskForLargePages(buckets, bytes);
    }
    std::free(allocatedTable);
    allocatedTable = buckets == defaultTable.buckets ? nullptr : buckets;
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
        for (const TTEntry& e : transpositionTable.buckets[b * step].slot) used += (e.keyHigh | e.data) != 0;
    }
    return static_cast<int>(used * 1000 / (sampled * TTSlots));
}

}  // namespace kavrin
