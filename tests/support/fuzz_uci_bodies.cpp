// Fuzz body for the UCI front end's readers of "position" and "go": whatever
// the words, the game position stays playable and sound, and only legal,
// distinct moves are chosen for the root.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <sstream>
#include <string>

#include "board/board.h"
#include "board/legal.h"
#include "board/movegen.h"
#include "search/engine.h"
#include "search/game.h"
#include "support/fuzz_bodies.h"
#include "support/fuzz_support.h"
#include "uci/go.h"
#include "uci/position.h"
#include "uci/session.h"

namespace kavrin::fuzz {

namespace {

void RequireChosenMovesLegal(Position& game, const GoRequest& r) {
    Require(r.searchMoveCount >= 0 && r.searchMoveCount <= MaxGeneratedMoves, "searchmoves count out of range");
    for (int i = 0; i < r.searchMoveCount; ++i) {
        Require(IsLegalMove(game, r.searchMoves[i]), "go chose a root move that is not legal");
        Require(std::count(r.searchMoves, r.searchMoves + r.searchMoveCount, r.searchMoves[i]) == 1,
                "go chose a root move twice");
    }
}

}  // namespace

int FuzzUciPosition(const uint8_t* data, size_t size) {
    PrepareEngine();
    std::istringstream lines(AsText(data, size));
    // The reports of bad words go to nowhere.
    const int sink = open("/dev/null", O_WRONLY);
    Require(sink >= 0, "cannot open /dev/null");
    Redirect toSink(STDOUT_FILENO, sink);
    // Every input meets an engine of its own, a small one.
    const auto engine = std::make_unique<Engine>(0, 10);
    const auto session = std::make_unique<UciSession>(*engine);
    Position& gamePosition = engine->Game();
    SetStartPosition(*session);
    std::string line;
    GoRequest request;
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        std::string command;
        words >> command;
        std::string rest;
        std::getline(words, rest);
        if (command == "go") {
            ReadGoRequest(*session, rest, request);
            RequireChosenMovesLegal(gamePosition, request);
        } else {
            PositionCommand(*session, command == "position" ? rest : line);
            Require(PositionPlayable(gamePosition), "the game position is not playable");
            Require(gamePosition.HistoryIndex() <= GameHistoryLimit, "the game is longer than the history allows");
            RequirePositionSound(gamePosition, "a position command");
        }
    }
    return 0;
}

}  // namespace kavrin::fuzz
