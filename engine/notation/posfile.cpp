#include "notation/posfile.h"

#include <cstdio>
#include <cstring>

#include "board/board.h"
#include "board/makemove.h"
#include "board/movegen.h"
#include "notation/movetext.h"
#include "system/scope_exit.h"

namespace kavrin {

namespace {

MoveEntry checkMoves[MaxGeneratedMoves];

// Formats the whole line; returns its length.
int FormatPosLine(char* line, const GameRecord& game, int ply) {
    int n = std::snprintf(line, PosLineSize, "%.16llX\t", static_cast<unsigned long long>(board.hashKey));
    char fen[FenTextSize];
    WriteFen(fen);
    n += std::snprintf(line + n, static_cast<size_t>(PosLineSize - n), "%s\t%c\t%d\n", fen, game.result.code, ply);
    return n;
}

// Makes move `ply` of game on the record at currentPly after matching it
// against the generated moves; raises the reader's error texts otherwise,
// with currentPly where it was.
void MakeStoredMove(const GameRecord& game, int ply) {
    const Move m = game.moves[ply];
    ComputeCheckers(currentPly);
    MoveEntry* end = currentPly->checkers != 0 ? GenerateEvasions(checkMoves, currentPly) : GenerateAll(checkMoves);
    bool generated = false;
    for (const MoveEntry* e = checkMoves; e != end && !generated; ++e) generated = e->move == m;
    if (!generated) throw GameFileError("MOVE NOT LEGAL 1");
    const int mover = sideToMove;
    SaveForMake(currentPly);
    MakeMove(m, currentPly);
    if (IsKingAttacked(m, mover)) {
        UnmakeMove(m, currentPly);
        throw GameFileError("MOVE NOT LEGAL 2 - check revealed");
    }
    ++currentPly;
}

template <typename PickStream>
void ReplayPositions(const GameRecord& game, int plyLimit, PickStream pick) {
    // The ply-record stack bounds how many moves can be made on it.
    const int room = PlyStackSize - 1 - PlyIndex();
    int last = game.PlyCount();
    if (last > plyLimit) last = plyLimit;
    if (last > room) last = room;
    // However the replay ends, also by a refused move, the moves made are
    // taken back, last first, down to the record it started on.
    int made = 0;
    const ScopeExit takeBack([&] {
        for (int i = made; i >= 1; --i) UnmakeMove(game.moves[i], --currentPly);
    });
    char line[PosLineSize];
    for (int ply = 1; ply <= last; ++ply) {
        const int n = FormatPosLine(line, game, ply);
        pick(line).write(line, n);
        MakeStoredMove(game, ply);
        made = ply;
    }
}

int HexDigitValue(char d) { return d <= '9' ? d - '0' : d - '0' - 7; }

}  // namespace

void WritePosLine(const GameRecord& game, std::ostream& out, int ply) {
    char line[PosLineSize];
    const int n = FormatPosLine(line, game, ply);
    out.write(line, n);
}

void WriteGamePositions(const GameRecord& game, std::ostream& out, int plyLimit) {
    ReplayPositions(game, plyLimit, [&out](const char*) -> std::ostream& { return out; });
}

void WriteGamePositions(const GameRecord& game, std::ostream* const (&outs)[PosFileCount], int plyLimit) {
    ReplayPositions(game, plyLimit,
                    [&outs](const char* line) -> std::ostream& { return *outs[HexDigitValue(line[0])]; });
}

}  // namespace kavrin
