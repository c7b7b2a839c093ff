#include "search/movepick.h"

namespace kavrin {

void MarkOrderingMoves(MoveEntry* start, MoveEntry* end, Move hashMove, Move killer1, Move killer2,
                       Move counterMove) {
    for (MoveEntry* m = start; m < end; ++m) {
        if (m->move == hashMove) {
            m->score = HashMoveScore;
        } else if (m->move == killer1) {
            m->score = Killer1Score;
        } else if (m->move == killer2) {
            m->score = Killer2Score;
        } else if (m->move == counterMove && counterMove != 0 && m->score < CounterMoveScore) {
            m->score = CounterMoveScore;
        }
    }
}

MoveEntry* MovePicker::SelectIfFixed() {
    if (cursor >= end) return nullptr;
    if (!quietStart) {
        // The same selection Select() makes first, so the list stands as it
        // would when Select() runs later.
        SelectBest(cursor, end);
        if (cursor->score >= QuietPhaseThreshold || end - cursor > OrderKeysSize) return cursor++;
        return nullptr;
    }
    return Select();
}

MoveEntry* MovePicker::Select() {
    if (cursor >= end) return nullptr;
    if (!quietStart) {
        SelectBest(cursor, end);
        // Lists longer than the key room keep the score order throughout.
        if (cursor->score >= QuietPhaseThreshold || end - cursor > OrderKeysSize) return cursor++;
        // Only quiet moves and even or losing exchanges remain: key them once.
        quietStart = cursor;
        if (history.quiet == nullptr) {
            for (MoveEntry* m = cursor; m < end; ++m) {
                keys[m - quietStart] = history.counters[m->move & HistoryMoveMask] +
                                       static_cast<uint32_t>(m->score + static_cast<int>(HistoryKeyBias));
            }
        } else {
            for (MoveEntry* m = cursor; m < end; ++m) {
                const int piece = history.board->pieceOn[MoveFrom(m->move)];
                const int to = MoveTo(m->move);
                int key = history.quiet[m->move & HistoryMoveMask] + m->score;
                if (history.previous != nullptr) key += (*history.previous)[piece][to];
                if (history.beforePrevious != nullptr) key += (*history.beforePrevious)[piece][to];
                keys[m - quietStart] = static_cast<uint32_t>(key + static_cast<int>(GravityKeyBias));
            }
        }
    }
    uint32_t* const cursorKey = keys + (cursor - quietStart);
    uint32_t* pickKey = cursorKey;
    const uint32_t* const endKey = keys + (end - quietStart);
    for (uint32_t* k = cursorKey + 1; k < endKey; ++k) {
        if (*k > *pickKey) pickKey = k;
    }
    MoveEntry* const pick = quietStart + (pickKey - keys);
    const uint32_t key = *pickKey;
    *pickKey = *cursorKey;
    *cursorKey = key;
    const MoveEntry chosen = *pick;
    *pick = *cursor;
    *cursor = chosen;
    return cursor++;
}

}  // namespace kavrin
