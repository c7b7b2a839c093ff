// Fuzz bodies for the game readers: PGN text and GAME records.
#include <cstdio>
#include <cstring>
#include <sstream>
#include <string>

#include "board/board.h"
#include "board/fen.h"
#include "board/legal.h"
#include "board/makemove.h"
#include "board/poscheck.h"
#include "notation/gamefile.h"
#include "notation/pgn.h"
#include "search/game.h"
#include "support/fuzz_bodies.h"
#include "support/fuzz_support.h"
#include "support/test_engine.h"

namespace kavrin::fuzz {

namespace {

// Every move the reader stored must be legal in turn from the start position.
void RequireLegalReplay(const GameRecord& game) {
    Require(game.PlyCount() <= MaxGamePlies, "a game holds more plies than a record may store");
    SetUpPosition(InitialFen);
    UndoRecord scratch{};
    for (int i = 1; i <= game.PlyCount(); ++i) {
        const Move m = game.moves[i];
        if (!IsLegalMove(gamePosition, m)) {
            char where[48];
            std::snprintf(where, sizeof where, "ply %d move 0x%04X", i, m);
            InvariantFailed("the PGN reader stored an illegal move:", where);
        }
        SaveForMake(gamePosition, scratch);
        MakeMove(gamePosition, m, scratch);
    }
    SetUpPosition(InitialFen);
}

bool SameBoard(const Board& a, const Board& b) { return std::memcmp(&a, &b, sizeof(Board)) == 0; }

GameRecord pgnGame;
GameRecord storedGame;

}  // namespace

int FuzzPgn(const uint8_t* data, size_t size) {
    PrepareEngine();
    std::istringstream in(AsText(data, size));
    SetUpPosition(InitialFen);
    const Board initial = gamePosition.board;
    // Games are read one after another as the converters read them, until
    // the input ends or a reader error ends the conversion.
    try {
        while (in.good() && in.peek() != EOF) {
            const std::streamoff before = in.tellg();
            const GameHeader header = ReadPgnGame(gamePosition, pgnGame, in);
            Require(SameBoard(gamePosition.board, initial) && gamePosition.sideToMove == White,
                    "ReadPgnGame did not leave the start position");
            if (header != 0) {
                Require((header & HeaderPlyMask) == 0 && pgnGame.PlyCount() > 0,
                        "a decided game came back without moves");
                RequireLegalReplay(pgnGame);
            }
            in >> std::ws;
            if (in.good() && in.tellg() == before) InvariantFailed("ReadPgnGame read nothing and would loop", "");
        }
    } catch (const GameFileError& error) {
        Require(std::memchr(error.text, '\0', GameFileError::TextSize) != nullptr, "error text without its end");
        RequirePositionSound(gamePosition, "position check fails after a PGN error:");
    }
    return 0;
}

int FuzzGameFile(const uint8_t* data, size_t size) {
    PrepareEngine();
    const std::string bytes = AsText(data, size);
    std::istringstream counted(bytes);
    const int count = CountGameRecords(counted);

    std::istringstream in(bytes);
    int read = 0;
    bool raised = false;
    try {
        while (ReadGameRecord(storedGame, in)) {
            Require(storedGame.PlyCount() <= MaxGamePlies, "a record came back with too many plies");
            Require(storedGame.result.code == 'W' || storedGame.result.code == 'B' || storedGame.result.code == 'D',
                    "a record came back without a result");
            ++read;
            Require(read <= static_cast<int>(size / GameWordBytes), "more records than words in the file");
        }
    } catch (const GameFileError&) {
        raised = true;
    }
    // The counter and the reader agree: a clean count is the number of
    // records the reader returns; a bad record m stops the reader before it.
    if (count >= 0) {
        Require(!raised && read == count, "the record count differs from the records read");
    } else if (count < -1) {
        Require(read == -count - 1, "the reader did not stop at the first bad record");
    }
    // A record written back reads back the same.
    if (read > 0) {
        std::stringstream copy;
        WriteGameRecord(storedGame, copy);
        GameRecord again;
        Require(ReadGameRecord(again, copy), "a written record does not read back");
        Require(again.Header() == storedGame.Header() &&
                    std::memcmp(again.moves, storedGame.moves, sizeof(Move) * (storedGame.PlyCount() + 1)) == 0,
                "a written record reads back different");
    }
    return 0;
}

}  // namespace kavrin::fuzz
