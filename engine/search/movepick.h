// Move ordering: the scores written over the generator's for the hash move
// and the killers, and the selection of the next move of a list.
#pragma once

#include <cstdint>

#include "board/types.h"

namespace kavrin {

// Ordering scores written over the generator's.
constexpr int16_t HashMoveScore = 30000;
constexpr int16_t Killer1Score = -9998;
constexpr int16_t Killer2Score = -9999;
// The quiescence search raises its killers instead.
constexpr int QuiesceKiller1Bonus = 1500;
constexpr int QuiesceKiller2Bonus = 1000;
// Moves scored below this are ordered by history keys (the quiet phase).
constexpr int16_t QuietPhaseThreshold = -10000;
constexpr uint32_t HistoryKeyBias = 33000;

// Counters indexed by colour and by the low 12 bits of a Move (origin and
// destination): how often a move refuted a position, weighted by depth.
constexpr int HistoryMoveSlots = 4096;
constexpr Move HistoryMoveMask = HistoryMoveSlots - 1;
using HistoryTable = uint32_t[2][HistoryMoveSlots];

// Swaps the entry with the greatest score from cursor to end (the nearest to
// the cursor among equals) to the cursor.
inline void SelectBest(MoveEntry* cursor, const MoveEntry* end) {
    MoveEntry* pick = cursor;
    for (MoveEntry* m = cursor + 1; m < end; ++m) {
        if (m->score > pick->score) pick = m;
    }
    const MoveEntry chosen = *pick;
    *pick = *cursor;
    *cursor = chosen;
}

// Selection of the next move of a full-width list from cursor on: the
// greatest score until only moves below QuietPhaseThreshold remain, then the
// greatest history key. Shared by the full-width and the root search.
struct MovePicker {
    MoveEntry* cursor;
    MoveEntry* end;
    MoveEntry* quietStart = nullptr;  // set when the quiet phase begins
    uint32_t* keys;
    const uint32_t* history;  // the history counters of the side to move
    MoveEntry* Next();
    // Next() when its answer cannot depend on the history counters: before
    // the quiet phase, or inside it; nullptr where the quiet phase would
    // begin, which the next Next() then begins. The order is Next()'s.
    MoveEntry* NextIfFixed();
};

// Ordering pass of a full-width list: hash move, then the two killers.
void MarkOrderingMoves(MoveEntry* start, MoveEntry* end, Move hashMove, Move killer1, Move killer2);

}  // namespace kavrin
