#include "notation/posfile.h"

#include <cstdio>
#include <cstring>

#include "board/board.h"
#include "board/legal.h"
#include "board/makemove.h"
#include "board/movetext.h"
#include "system/scope_exit.h"

namespace kavrin {

namespace {

// Formats the whole line; returns its length.
int FormatPosLine(char* line, const GameRecord& game, int ply) {
    int n = std::snprintf(line, PosLineSize, "%.16llX\t", static_cast<unsigned long long>(board.hashKey));
    char fen[FenTextSize];
    WriteFen(fen);
    n += std::snprintf(line + n, static_cast<size_t>(PosLineSize - n), "%s\t%c\t%d\n", fen, game.result.code, ply);
    return n;
}

// Makes move `ply` of game on the record at currentPly when the gate lets it
// pass; raises the reader's error texts otherwise, with currentPly where it was.
void MakeStoredMove(const GameRecord& game, int ply) {
    const Move m = game.moves[ply];
    switch (CheckMove(m)) {
        case Legality::Legal:
            break;
        case Legality::NotGenerated:
            throw GameFileError("MOVE NOT LEGAL 1");
        case Legality::LeavesKingAttacked:
            throw GameFileError("MOVE NOT LEGAL 2 - check revealed");
    }
    SaveForMake(currentPly);
    MakeMove(m, currentPly);
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
