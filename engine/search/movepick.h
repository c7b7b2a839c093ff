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

// kavrin-uci's histories: signed scores that good moves raise and the moves
// tried before them lower, each kept within HistoryLimit by gravity (a
// change shrinks as the score nears the limit).
constexpr int HistoryLimit = 16384;
// Scores of a move by the piece it moves (its code) and its destination.
using PieceToHistory = int16_t[13][64];
// The quiet-move scores of one side, by origin and destination.
using QuietHistory = int16_t[HistoryMoveSlots];
constexpr uint32_t GravityKeyBias = 120000;
// Most quiet moves of a node that lose history after a cutoff.
constexpr int MaxQuietsTried = 64;

inline void UpdateHistory(int16_t& score, int bonus) {
    score = static_cast<int16_t>(score + bonus - score * (bonus < 0 ? -bonus : bonus) / HistoryLimit);
}

// What the quiet phase keys a move by, besides its score: the side's
// counters (kavrin's search), or kavrin-uci's histories, from the quiet
// scores and the continuation scores of the moves one and two plies up.
struct HistoryKeys {
    const uint32_t* counters = nullptr;
    const int16_t* quiet = nullptr;  // set: kavrin-uci's histories are used
    const PieceToHistory* previous = nullptr;
    const PieceToHistory* beforePrevious = nullptr;
    const Board* board = nullptr;
};

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
               uint32_t* orderKeys, const HistoryKeys& historyKeys, LookAhead lookAhead)
        : pos(position),
          table(searchTable),
          cursor(start),
          end(listEnd),
          keys(orderKeys),
          history(historyKeys),
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
    const HistoryKeys history;  // of the side to move
    LookAhead mode;
};

// The counter move's ordering score: after the killers, before the quiet
// phase.
constexpr int16_t CounterMoveScore = QuietPhaseThreshold;

// Ordering pass of a full-width list: hash move, then the two killers (and
// the counter move, when one is given).
void MarkOrderingMoves(MoveEntry* start, MoveEntry* end, Move hashMove, Move killer1, Move killer2,
                       Move counterMove = 0);

}  // namespace kavrin
