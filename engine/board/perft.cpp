#include "board/perft.h"

#include <cinttypes>
#include <cstdio>
#include <memory>

#include "board/board.h"
#include "board/makemove.h"
#include "board/movegen.h"
#include "system/clock.h"

namespace kavrin {

namespace {

// The records of the walk, one per ply, and the move stack their lists share.
struct PerftLine {
    UndoRecord undo[PlyStackSize];
    CheckInfo check[PlyStackSize];
    MoveEntry* listEnd[PlyStackSize];
    MoveEntry moves[MoveStackSize];
    uint32_t movesMade;  // legal or not, wrapping
};

// The walk's first ply record: the one before it holds the empty list at the
// bottom of the move stack.
constexpr int FirstPerftPly = 1;

uint64_t PerftNode(Position& pos, PerftLine& line, int ply, int depth) {
    // 1., 2. The pseudo-legal moves, evasions when in check. A line too deep
    //    for the move stack or the ply records counts no further.
    CheckInfo& check = line.check[ply];
    ComputeCheckers(pos, check);
    MoveEntry* const start = line.listEnd[ply - 1];
    if ((line.moves + MoveStackSize) - start < MaxGeneratedMoves || ply + 1 >= PlyStackSize) {
        line.listEnd[ply] = start;
        return 0;
    }
    MoveEntry* const end = check.checkers ? GenerateEvasions(pos, start, check) : GenerateAll(pos, start);
    line.listEnd[ply] = end;

    // 3. What every make of this node needs.
    UndoRecord& undo = line.undo[ply];
    SaveForMake(pos, undo);
    const int mover = pos.sideToMove;

    // 4. Make each move, keep the legal ones, count below them. On the last
    //    ply, out of check, most moves are judged without being made; they
    //    count as made all the same.
    uint64_t count = 0;
    if (depth == 1 && !check.checkers) {
        const Bitboard pinned = PinnedPieces(pos);
        for (const MoveEntry* cursor = start; cursor < end; ++cursor) {
            const Move m = cursor->move;
            ++line.movesMade;
            const MoveVerdict verdict = JudgeMoveNotInCheck(pos, m, pinned);
            if (verdict == MoveVerdict::NeedsTrial) {
                MakeMove(pos, m, undo);
                if (!IsKingAttacked(pos, m, mover)) ++count;
                UnmakeMove(pos, m, undo);
            } else if (verdict == MoveVerdict::Legal) {
                ++count;
            }
        }
        return count;
    }
    for (const MoveEntry* cursor = start; cursor < end; ++cursor) {
        const Move m = cursor->move;
        ++line.movesMade;
        MakeMove(pos, m, undo);
        if (!IsKingAttacked(pos, m, mover)) {
            ++count;
            if (depth >= 2) count += PerftNode(pos, line, ply + 1, depth - 1);
        }
        UnmakeMove(pos, m, undo);
    }
    return count;
}

}  // namespace

uint64_t Perft(Position& pos, int depth, uint32_t* movesMade) {
    if (depth < 1 || !PositionPlayable(pos)) return 0;
    const auto line = std::make_unique<PerftLine>();
    line->listEnd[FirstPerftPly - 1] = line->moves;
    line->movesMade = 0;
    const uint64_t count = PerftNode(pos, *line, FirstPerftPly, depth);
    if (movesMade != nullptr) *movesMade += line->movesMade;
    return count;
}

void RunPerft(Position& pos, int depth) {
    // 1., 2.
    if (depth > MaxDepth) depth = MaxDepth;
    uint32_t movesMade = 0;

    // 3., 4.
    std::printf("ply\tduration\tnodes\n");
    uint64_t total = 0;
    for (int i = 1; i <= depth; ++i) {
        const int started = ClockMs();
        const uint64_t n = Perft(pos, i, &movesMade);
        const int elapsed = ClockMs() - started;
        std::printf("%d\t%2.1f\t%" PRIu64 "\n", i, elapsed / 1000.0, n);
        total += n;
    }

    // 5., 6.
    std::printf("total nodes: %" PRIu64 "\n", total);
    std::printf("(total moves[32]: %u)\n", static_cast<unsigned>(movesMade));
}

}  // namespace kavrin
