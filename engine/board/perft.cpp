#include "board/perft.h"

#include <cinttypes>
#include <cstdio>

#include "board/board.h"
#include "board/makemove.h"
#include "board/movegen.h"
#include "system/clock.h"

namespace kavrin {

uint32_t perftMoveCount = 0;

namespace {

const MoveEntry* const MoveStackEnd = moveStack + MoveStackSize;

// Where the list of ply begins: after the previous record's list.
MoveEntry* ListStart(const PlyRecord* ply) {
    MoveEntry* start = ply > plyStack ? ply[-1].moveListEnd : nullptr;
    return start ? start : moveStack;
}

uint64_t PerftNode(int depth) {
    PlyRecord* const ply = currentPly;

    // 1., 2. The pseudo-legal moves, evasions when in check. A line too deep
    //    for the move stack or the ply records counts no further.
    ComputeCheckers(ply);
    MoveEntry* const start = ListStart(ply);
    if (MoveStackEnd - start < MaxGeneratedMoves || ply + 1 >= plyStack + PlyStackSize) {
        ply->moveListEnd = start;
        return 0;
    }
    ply->moveListEnd = ply->checkers ? GenerateEvasions(start, ply) : GenerateAll(start);

    // 3. What every make of this node needs.
    SaveForMake(ply);
    const int mover = sideToMove;

    // 4. Make each move, keep the legal ones, count below them.
    uint64_t count = 0;
    for (ply->moveCursor = start; ply->moveCursor < ply->moveListEnd; ++ply->moveCursor) {
        const Move m = ply->moveCursor->move;
        ++perftMoveCount;
        MakeMove(m, ply);
        currentPly = ply + 1;
        if (!IsKingAttacked(m, mover)) {
            ++count;
            if (depth >= 2) {
                currentPly->moveListEnd = nullptr;
                count += PerftNode(depth - 1);
            }
        }
        currentPly = ply;
        UnmakeMove(m, ply);
    }
    return count;
}

}  // namespace

uint64_t Perft(int depth) {
    if (depth < 1 || !PositionPlayable()) return 0;
    return PerftNode(depth);
}

void RunPerft(int depth) {
    // 1.
    if (depth > MaxDepth) depth = MaxDepth;

    // 2. The walk starts on the record after the current one, with its list
    //    at the bottom of the move stack.
    perftMoveCount = 0;
    currentPly->moveListEnd = moveStack;
    moveStack[0].move = 0;
    ++currentPly;
    currentPly->moveListEnd = nullptr;
    ComputeCheckers(currentPly);

    // 3., 4.
    std::printf("ply\tduration\tnodes\n");
    uint64_t total = 0;
    for (int i = 1; i <= depth; ++i) {
        const int started = ClockMs();
        const uint64_t n = Perft(i);
        const int elapsed = ClockMs() - started;
        std::printf("%d\t%2.1f\t%" PRIu64 "\n", i, elapsed / 1000.0, n);
        total += n;
    }

    // 5., 6.
    --currentPly;
    std::printf("total nodes: %" PRIu64 "\n", total);
    std::printf("(total moves[32]: %u)\n", static_cast<unsigned>(perftMoveCount));
}

}  // namespace kavrin
