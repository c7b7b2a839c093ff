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

// Moves a replay makes at most: as many as a search line may.
constexpr int ReplayPlyLimit = PlyStackSize - 1;

// Formats the whole line; returns its length.
int FormatPosLine(const Position& pos, char* line, const GameRecord& game, int ply) {
    int n = std::snprintf(line, PosLineSize, "%.16llX\t", static_cast<unsigned long long>(pos.board.hashKey));
    char fen[FenTextSize];
    WriteFen(pos, fen);
    n += std::snprintf(line + n, static_cast<size_t>(PosLineSize - n), "%s\t%c\t%d\n", fen, game.result.code, ply);
    return n;
}

// Makes move `ply` of game with undo when the gate lets it pass; raises the
// reader's error texts otherwise, with the position as it was.
void MakeStoredMove(Position& pos, const GameRecord& game, int ply, UndoRecord& undo) {
    const Move m = game.moves[ply];
    switch (CheckMove(pos, m)) {
        case Legality::Legal:
            break;
        case Legality::NotGenerated:
            throw GameFileError("MOVE NOT LEGAL 1");
        case Legality::LeavesKingAttacked:
            throw GameFileError("MOVE NOT LEGAL 2 - check revealed");
    }
    SaveForMake(pos, undo);
    MakeMove(pos, m, undo);
}

template <typename PickStream>
void ReplayPositions(Position& pos, const GameRecord& game, int plyLimit, PickStream pick) {
    UndoRecord undo[ReplayPlyLimit + 1];
    int last = game.PlyCount();
    if (last > plyLimit) last = plyLimit;
    if (last > ReplayPlyLimit) last = ReplayPlyLimit;
    // However the replay ends, also by a refused move, the moves made are
    // taken back, last first.
    int made = 0;
    const ScopeExit takeBack([&] {
        for (int i = made; i >= 1; --i) UnmakeMove(pos, game.moves[i], undo[i]);
    });
    char line[PosLineSize];
    for (int ply = 1; ply <= last; ++ply) {
        const int n = FormatPosLine(pos, line, game, ply);
        pick(line).write(line, n);
        MakeStoredMove(pos, game, ply, undo[ply]);
        made = ply;
    }
}

int HexDigitValue(char d) { return d <= '9' ? d - '0' : d - '0' - 7; }

}  // namespace

void WritePosLine(const Position& pos, const GameRecord& game, std::ostream& out, int ply) {
    char line[PosLineSize];
    const int n = FormatPosLine(pos, line, game, ply);
    out.write(line, n);
}

void WriteGamePositions(Position& pos, const GameRecord& game, std::ostream& out, int plyLimit) {
    ReplayPositions(pos, game, plyLimit, [&out](const char*) -> std::ostream& { return out; });
}

void WriteGamePositions(Position& pos, const GameRecord& game, std::ostream* const (&outs)[PosFileCount],
                        int plyLimit) {
    ReplayPositions(pos, game, plyLimit,
                    [&outs](const char* line) -> std::ostream& { return *outs[HexDigitValue(line[0])]; });
}

}  // namespace kavrin
