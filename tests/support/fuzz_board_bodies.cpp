// Fuzz bodies for the readers of the board subsystem and of move text: the
// position text, coordinate moves and SAN.
#include <cstring>
#include <string>

#include "board/board.h"
#include "board/fen.h"
#include "board/movetext.h"
#include "board/poscheck.h"
#include "notation/epd.h"
#include "notation/san.h"
#include "search/game.h"
#include "support/fuzz_bodies.h"
#include "support/fuzz_support.h"
#include "support/test_engine.h"

namespace kavrin::fuzz {

namespace {

// Position of a two-part input: the first line is a position text (the start
// position when it is not read), the rest is the text under test.
std::string SetUpFromFirstLine(const std::string& input) {
    const size_t lineEnd = input.find('\n');
    SetUpPosition(input.substr(0, lineEnd));
    return lineEnd == std::string::npos ? std::string() : input.substr(lineEnd + 1);
}

}  // namespace

int FuzzFen(const uint8_t* data, size_t size) {
    PrepareEngine();
    const std::string text = AsText(data, size);
    const PositionState before = PositionState::Capture();
    // As "setboard" reads it: the fields, then an "am"/"bm" operation.
    const char* operations = nullptr;
    const bool read = ReadFen(gamePosition, text.c_str(), &operations) && CheckEpdOperation(gamePosition, operations);
    if (read) {
        RequirePositionSound(gamePosition, "ReadFen accepted a position that fails the position check:");
        Require(gamePosition.gamePly == 1 && gamePosition.HistoryIndex() == 0, "ReadFen did not restart the history");
        Require(gamePosition.history[0].hashKey == gamePosition.board.hashKey,
                "first history entry does not hold the position key");
        Require(std::memcmp(gamePosition.snapshot.pieceOn, gamePosition.board.pieceOn, 64) == 0,
                "game snapshot differs from the Board");
        const bool oneKingEach = gamePosition.board.kingSquare[0] < 64 && gamePosition.board.kingSquare[1] < 64;
        Require(!gamePosition.playable || oneKingEach, "playable Board without both kings");
    } else if (!(PositionState::Capture() == before)) {
        // A refused text either leaves the previous position or, when only its
        // "am"/"bm" move failed, a completely read one.
        RequirePositionSound(gamePosition, "ReadFen refused a text and left a half-built Board:");
    }
    return 0;
}

int FuzzMoveText(const uint8_t* data, size_t size) {
    PrepareEngine();
    const std::string text = SetUpFromFirstLine(AsText(data, size));
    const GameSnapshot snapshot = gamePosition.snapshot;
    const Board live = gamePosition.board;
    const Move m = TextToMove(gamePosition, text.c_str());
    const Move onBoard = TextToMoveOnBoard(gamePosition, text.c_str());
    Require(std::memcmp(&snapshot, &gamePosition.snapshot, sizeof snapshot) == 0, "TextToMove changed the snapshot");
    Require(std::memcmp(&live, &gamePosition.board, sizeof live) == 0, "TextToMove changed the Board");
    for (const Move decoded : {m, onBoard}) {
        if (decoded == 0) continue;
        const char* t = text.c_str();
        Require(IsFileLetter(t[0]) && IsRankDigit(t[1]) && IsFileLetter(t[2]) && IsRankDigit(t[3]),
                "move decoded from malformed text", t);
        Require(MoveFrom(decoded) == SquareOf(t[0], t[1]) && MoveTo(decoded) == SquareOf(t[2], t[3]),
                "decoded squares differ from the text", t);
        char back[MoveTextSize];
        MoveToText(back, decoded);
        Require(std::strncmp(back, t, 4) == 0, "move text does not come back", t);
    }
    return 0;
}

int FuzzSan(const uint8_t* data, size_t size) {
    PrepareEngine();
    const std::string text = SetUpFromFirstLine(AsText(data, size));
    const PositionState before = PositionState::Capture();
    ParseSan(gamePosition, text.c_str());
    Require(PositionState::Capture() == before, "ParseSan left the Board changed", text.c_str());
    RequirePositionSound(gamePosition, "position check fails after ParseSan:");
    return 0;
}

}  // namespace kavrin::fuzz
