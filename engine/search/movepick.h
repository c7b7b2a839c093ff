// Move ordering: the scores written over the generator's for the hash move
// and the killers, and the selection of the next move of a list.
#pragma once

#include <cstdint>

#include "board/board.h"
#include "board/types.h"
#include "search/tt.h"

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

// How far a picker looks ahead: not at all (the root), at the move after the
// current one wherever the history counters cannot change that choice, or
// always (below a frontier node, whose children, quiescence nodes, leave the
// counters alone).
enum class LookAhead : uint8_t { None, WhileFixed, Always };

// Selection of the next move of a full-width list from cursor on: the
// greatest score until only moves below QuietPhaseThreshold remain, then the
// greatest history key. Shared by the full-width and the root search.
//
// A picker that looks ahead picks the move after the current one as it hands
// out the current one, and starts loading that move's table bucket, so that
// the load runs while the current move is searched. The order is the same
// either way, and a caller may skip the move it was handed without a search.
class MovePicker {
  public:
    MovePicker(const Position& position, const TranspositionTable& searchTable, MoveEntry* start, MoveEntry* listEnd,
               uint32_t* orderKeys, const uint32_t* historyCounters, LookAhead lookAhead)
        : pos(position),
          table(searchTable),
          cursor(start),
          end(listEnd),
          keys(orderKeys),
          history(historyCounters),
          mode(lookAhead) {}

    // The next move, or nullptr at the end of the list.
    MoveEntry* Next() {
        MoveEntry* current = ahead;
        if (current == nullptr) {
            current = Select();
            if (current == nullptr) return nullptr;
            if (mode != LookAhead::None) table.PrefetchAfter(pos, current->move);
        }
        ahead = mode == LookAhead::Always ? Select() : mode == LookAhead::WhileFixed ? SelectIfFixed() : nullptr;
        if (ahead != nullptr) table.PrefetchAfter(pos, ahead->move);
        return current;
    }

  private:
    MoveEntry* Select();
    // Select() when its answer cannot depend on the history counters: before
    // the quiet phase, or inside it; nullptr where the quiet phase would
    // begin, which the next Select() then begins. The order is Select()'s.
    MoveEntry* SelectIfFixed();

    const Position& pos;
    const TranspositionTable& table;
    MoveEntry* cursor;
    MoveEntry* end;
    MoveEntry* quietStart = nullptr;  // set when the quiet phase begins
    MoveEntry* ahead = nullptr;       // picked ahead, not yet handed out
    uint32_t* keys;
    const uint32_t* history;  // the history counters of the side to move
    LookAhead mode;
};

// Ordering pass of a full-width list: hash move, then the two killers.
void MarkOrderingMoves(MoveEntry* start, MoveEntry* end, Move hashMove, Move killer1, Move killer2);

}  // namespace kavrin
