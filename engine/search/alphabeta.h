// The full-width search below the root, its move-ordering state (history
// counters, killers in the ply records) and the periodic poll of clock and
// input.
#pragma once

#include <cstdint>

#include "board/types.h"

namespace kavrin {

// Ordering scores written over the generator's.
constexpr int16_t HashMoveScore = 30000;
constexpr int16_t Killer1Score = -9998;
constexpr int16_t Killer2Score = -9999;
constexpr int QuiesceKiller1Bonus = 1500;
constexpr int QuiesceKiller2Bonus = 1000;
// Moves scored below this are ordered by history keys (the quiet phase).
constexpr int16_t QuietPhaseThreshold = -10000;
constexpr uint32_t HistoryKeyBias = 33000;

// Moves made between two looks at the clock and the input.
constexpr uint32_t PollInterval = 16384;
// A full-width node at this ply or deeper hands its children to the
// quiescence search.
constexpr int DeepestFullWidthPly = 127;

// Counters indexed by colour and by the low 12 bits of a Move (origin and
// destination): how often a move refuted a position, weighted by depth.
constexpr int HistoryMoveSlots = 4096;
constexpr Move HistoryMoveMask = HistoryMoveSlots - 1;
using HistoryTable = uint32_t[2][HistoryMoveSlots];
extern HistoryTable historyTable;

// Nodes on the current path at which each colour was in check.
extern int checkCount[2];
// nodeCount value after which the next poll is due.
extern uint32_t nextPollAt;
// Deepest ply of the current search that still searches full width; lower
// than DeepestFullWidthPly when the position history is nearly full.
extern int deepestFullWidthPly;

void ClearHistoryTable();

// True once nodeCount has passed nextPollAt. The difference is taken modulo
// 2^32, so a wrapping counter still compares correctly.
bool PollDue();
// Milliseconds left of the allotment (1 while pondering: no time limit).
int64_t RemainingMs();

int16_t AlphaBeta(int depth, int ply, int16_t alpha, int16_t beta, uint8_t nullAllowed);

// Selection of the next move of a list from cursor on: the greatest score
// until only moves below QuietPhaseThreshold remain, then the greatest
// history key. Shared by the full-width and the root search.
struct MovePicker {
    MoveEntry* cursor;
    MoveEntry* end;
    MoveEntry* quietStart = nullptr;  // set when the quiet phase begins
    uint32_t* keys;
    int side;
    MoveEntry* Next();
};

// Ordering pass of a full-width list: hash move, then the two killers.
void MarkOrderingMoves(MoveEntry* start, MoveEntry* end, Move hashMove, Move killer1, Move killer2);

}  // namespace kavrin
