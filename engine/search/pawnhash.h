// Cache of pawn-structure scores, keyed by the pawn key alone. Each search
// thread has its own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace kavrin {

// Entry: bits 20-31 the high 12 bits of the pawn key, bits 16-19 zero,
// bits 0-15 the pawn score + PawnScoreBias. Low 16 bits of 0 mark an empty
// entry; the bias keeps every real score away from that marker. The low bits
// of the pawn key choose the entry: 2^20 entries by default, fewer in a small
// cache, whose entries then compare only the key bits above 20.
constexpr int PawnHashBits = 20;
constexpr uint32_t PawnHashSize = 1u << PawnHashBits;
constexpr uint32_t PawnHashIndexMask = PawnHashSize - 1;
constexpr uint32_t PawnHashCheckMask = ~PawnHashIndexMask;
constexpr uint32_t PawnHashScoreMask = 0xFFFF;
constexpr int PawnScoreBias = 8190;
static_assert(PawnHashBits >= 16, "the check bits must not overlap the stored score");

class PawnCache {
  public:
    // A cache of 2^bits entries (1 to PawnHashBits), cleared. The default one
    // sits on large pages where the system grants them.
    explicit PawnCache(int bits = PawnHashBits);
    ~PawnCache();
    PawnCache(const PawnCache&) = delete;
    PawnCache& operator=(const PawnCache&) = delete;

    // Empties every entry; run whenever a new position is set up.
    void Clear() { std::memset(entries, 0, Bytes()); }
    size_t Bytes() const { return (size_t{indexMask} + 1) * sizeof(uint32_t); }

    // True, with the cached score, when the entry for pawnKey holds this pawn
    // structure.
    bool Probe(uint32_t pawnKey, int16_t* score) const {
        const uint32_t entry = entries[pawnKey & indexMask];
        const uint32_t stored = entry & PawnHashScoreMask;
        if ((entry & PawnHashCheckMask) != (pawnKey & PawnHashCheckMask) || stored == 0) return false;
        *score = static_cast<int16_t>(static_cast<uint16_t>(stored - PawnScoreBias));
        return true;
    }

    // Starts loading the entry for pawnKey, for an evaluation soon after.
    __attribute__((always_inline)) void Prefetch(uint32_t pawnKey) const {
        __builtin_prefetch(&entries[pawnKey & indexMask]);
    }

    void Store(uint32_t pawnKey, int16_t score) {
        const uint32_t stored = static_cast<uint16_t>(static_cast<uint32_t>(score + PawnScoreBias));
        entries[pawnKey & indexMask] = (pawnKey & PawnHashCheckMask) | stored;
    }

    // The entry pawnKey reads (tests look at it).
    uint32_t& EntryOf(uint32_t pawnKey) { return entries[pawnKey & indexMask]; }

  private:
    uint32_t* entries;
    uint32_t indexMask;
};

}  // namespace kavrin
