#include "search/tt.h"

#include <cstring>
#include <sys/mman.h>

#include "board/board.h"

namespace kavrin {

TranspositionTable transpositionTable;

namespace {

uint32_t LowKey() { return static_cast<uint32_t>(board.hashKey); }
uint32_t HighKey() { return static_cast<uint32_t>(board.hashKey >> 32); }

bool Matches(const TTEntry& e, uint32_t low, uint32_t high) {
    return ((e.keyAndMove ^ low) & TTKeyLowCompared) == 0 && e.keyHigh == high;
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

void ClearTranspositionTable() {
    // Ask for large pages before the first clear touches the table; without
    // them nearly every probe also misses the address translation cache.
    static bool largePagesAsked = false;
    if (!largePagesAsked) {
        largePagesAsked = true;
        madvise(&transpositionTable, sizeof(transpositionTable), MADV_HUGEPAGE);
    }
    std::memset(&transpositionTable, 0, sizeof(transpositionTable));
}

}  // namespace kavrin
