// Cache of pawn-structure scores, keyed by the pawn key alone. Each search
// thread has its own.
#pragma once

#include <cstdint>
#include <cstring>

namespace kavrin {

// Entry: bits 20-31 the high 12 bits of the pawn key, bits 16-19 zero,
// bits 0-15 the pawn score + PawnScoreBias. Low 16 bits of 0 mark an empty
// entry; the bias keeps every real score away from that marker.
constexpr int PawnHashBits = 20;
constexpr uint32_t PawnHashSize = 1u << PawnHashBits;
constexpr uint32_t PawnHashIndexMask = PawnHashSize - 1;
constexpr uint32_t PawnHashCheckMask = ~PawnHashIndexMask;
constexpr uint32_t PawnHashScoreMask = 0xFFFF;
constexpr int PawnScoreBias = 8190;
static_assert(PawnHashBits >= 16, "the check bits must not overlap the stored score");

struct PawnCache {
    uint32_t entries[PawnHashSize];

    // Empties every entry; run whenever a new position is set up.
    void Clear() { std::memset(entries, 0, sizeof entries); }

    // True, with the cached score, when the entry for pawnKey holds this pawn
    // structure.
    bool Probe(uint32_t pawnKey, int16_t* score) const {
        const uint32_t entry = entries[pawnKey & PawnHashIndexMask];
        const uint32_t stored = entry & PawnHashScoreMask;
        if ((entry & PawnHashCheckMask) != (pawnKey & PawnHashCheckMask) || stored == 0) return false;
        *score = static_cast<int16_t>(static_cast<uint16_t>(stored - PawnScoreBias));
        return true;
    }

    // Starts loading the entry for pawnKey, for an evaluation soon after.
    __attribute__((always_inline)) void Prefetch(uint32_t pawnKey) const {
        __builtin_prefetch(&entries[pawnKey & PawnHashIndexMask]);
    }

    void Store(uint32_t pawnKey, int16_t score) {
        const uint32_t stored = static_cast<uint16_t>(static_cast<uint32_t>(score + PawnScoreBias));
        entries[pawnKey & PawnHashIndexMask] = (pawnKey & PawnHashCheckMask) | stored;
    }
};

}  // namespace kavrin
