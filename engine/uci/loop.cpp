#include "uci/loop.h"

#include <csignal>
#include <sstream>
#include <string>

#include "board/tables.h"
#include "search/reset.h"
#include "search/tt.h"
#include "uci/go.h"
#include "uci/input.h"
#include "uci/options.h"
#include "uci/position.h"
#include "uci/reply.h"

// The build gives the project's version.
#ifndef KAVRIN_VERSION
#define KAVRIN_VERSION "dev"
#endif

namespace kavrin {

namespace {

constexpr const char* EngineName = "Kavrin " KAVRIN_VERSION;
constexpr const char* EngineAuthors = "the Kavrin developers";

void UciCommand() {
    Reply("id name %s", EngineName);
    Reply("id author %s", EngineAuthors);
    PrintOptionLines();
    Reply("uciok");
}

// Runs one line; false when it was "quit".
bool Execute(const std::string& line) {
    std::istringstream in(line);
    std::string command;
    if (!(in >> command)) return true;
    LogLine("::cmd:: " + line);
    std::string rest;
    std::getline(in, rest);
    if (command == "uci") {
        UciCommand();
    } else if (command == "isready") {
        PrepareBooks();
        Reply("readyok");
    } else if (command == "setoption") {
        SetOptionCommand(rest);
    } else if (command == "ucinewgame") {
        ResetSearchState();
        PrepareBooks();
    } else if (command == "position") {
        PositionCommand(rest);
    } else if (command == "go") {
        GoCommand(rest);
    } else if (command == "d") {
        ShowPosition();
    } else if (command == "quit") {
        return false;
    } else if (command == "stop" || command == "ponderhit" || command == "debug" || command == "register") {
        // Nothing runs that they could act on, and there is nothing to register.
    } else {
        InfoString("Unknown command: %s", line.c_str());
    }
    return true;
}

}  // namespace

void UciLoop() {
    // A write to an interface that has gone must not end the program before
    // it reads the end of its input.
    std::signal(SIGPIPE, SIG_IGN);
    BuildTables();
    ClearTranspositionTable();
    InitUciOptions();
    SetStartPosition();
    std::string line;
    for (;;) {
        // A "go" owes its "bestmove": the input is served while its search
        // runs, and the commands that must wait run after it.
        if (GoActive()) {
            if (!ServeGo()) {
                WaitForGoEvent();
                continue;
            }
            if (QuitRequested()) break;
            continue;
        }
        if (!NextLine(line) || !Execute(line)) break;
    }
    AbandonGo();
}

}  // namespace kavrin
