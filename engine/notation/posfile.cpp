#include "notation/posfile.h"

#include <cstdio>
#include <cstring>

#include "board/board.h"
#include "board/legal.h"
#include "board/makemove.h"
#include "board/movetext.h"

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

void TakeBack(const GameRecord& game, int made) {
    for (int i = made; i >= 1; --i) {
        --currentPly;
        UnmakeMove(game.moves[i], currentPly);
    }
}

// Makes move `ply` of game on the record at currentPly when the gate lets it
// pass; raises the reader's error texts otherwise.
void MakeStoredMove(const GameRecord& game, int ply) {
    const Move m = game.moves[ply];
    switch (CheckMove(m)) {
        case Legality::Legal:
            break;
        case Legality::NotGenerated:
            TakeBack(game, ply - 1);
            throw GameFileError("MOVE NOT LEGAL 1");
        case Legality::LeavesKingAttacked:
            TakeBack(game, ply - 1);
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
    char line[PosLineSize];
    for (int ply = 1; ply <= last; ++ply) {
        const int n = FormatPosLine(line, game, ply);
        pick(line).write(line, n);
        MakeStoredMove(game, ply);
    }
    TakeBack(game, last);
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
