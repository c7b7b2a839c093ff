#include "search/tt.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

#include "board/board.h"

namespace kavrin {

namespace {

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

void TranspositionTable::Store(const Position& pos, int score, Bound bound, int depth, Move move) {
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

TranspositionTable::TranspositionTable(size_t megabytes) {
    if (!Resize(megabytes)) throw std::bad_alloc();
}

TranspositionTable::~TranspositionTable() { std::free(buckets); }

TTBucket* TranspositionTable::Allocate(uint32_t n) {
    const size_t bytes = static_cast<size_t>(n) * sizeof(TTBucket);
    // A table of a large page or more starts on a large page boundary (and
    // aligned_alloc wants a multiple of the alignment).
    const size_t alignment = bytes >= TTAlignment ? TTAlignment : 64;
    const size_t rounded = (bytes + alignment - 1) / alignment * alignment;
    auto* const table = static_cast<TTBucket*>(std::aligned_alloc(alignment, rounded));
    // Large pages are asked for before the first clear touches the table;
    // without them nearly every probe also misses the address translation
    // cache.
    if (table != nullptr && alignment == TTAlignment) madvise(table, rounded, MADV_HUGEPAGE);
    return table;
}

void TranspositionTable::Adopt(TTBucket* table, uint32_t n) {
    std::free(buckets);
    buckets = table;
    count = n;
    scaled = n != TTDefaultBuckets;
    // Black to move takes the first half (the smaller one of an odd count).
    partStart[Black] = 0;
    partSize[Black] = n / 2;
    partStart[White] = n / 2;
    partSize[White] = n - n / 2;
    mask = scaled ? 0 : n / 2 - 1;
    Clear();
}

void TranspositionTable::Clear() { std::memset(buckets, 0, Bytes()); }

bool TranspositionTable::Resize(size_t megabytes) {
    // The largest request fits 64 bits: its bucket count is capped anyway.
    const uint64_t bytes = std::min<uint64_t>(megabytes, uint64_t{1} << 40) << 20;
    const uint64_t fit = bytes / sizeof(TTBucket);
    const auto n = static_cast<uint32_t>(std::clamp<uint64_t>(fit, TTMinBuckets, TTMaxBuckets));
    TTBucket* const table = Allocate(n);
    if (table == nullptr) return false;
    Adopt(table, n);
    return true;
}

int TranspositionTable::PermillFull() const {
    // 333 buckets spread over both parts of the table, or all of a smaller one.
    const uint32_t sampled = std::min<uint32_t>(333, count);
    const uint32_t step = count / sampled;
    int used = 0;
    for (uint32_t b = 0; b < sampled; ++b) {
        for (const TTSlot& slot : buckets[b * step].slot) {
            const TTEntry e = LoadEntry(slot);
            used += (e.keyHigh | e.data) != 0;
        }
    }
    return static_cast<int>(used * 1000 / (sampled * TTSlots));
}

}  // namespace kavrin
