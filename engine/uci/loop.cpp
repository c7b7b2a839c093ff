#include "uci/loop.h"

#include <csignal>
#include <sstream>
#include <string>

#include "board/tables.h"
#include "search/engine.h"
#include "uci/go.h"
#include "uci/input.h"
#include "uci/options.h"
#include "uci/position.h"
#include "uci/reply.h"
#include "uci/session.h"

// The build gives the project's version.
#ifndef KAVRIN_VERSION
#define KAVRIN_VERSION "dev"
#endif

namespace kavrin {

namespace {

constexpr const char* EngineName = "Kavrin " KAVRIN_VERSION;
constexpr const char* EngineAuthors = "the Kavrin developers";

void UciCommand(UciSession& session) {
    session.out.Reply("id name %s", EngineName);
    session.out.Reply("id author %s", EngineAuthors);
    PrintOptionLines(session);
    session.out.Reply("uciok");
}

// Runs one line; false when it was "quit".
bool Execute(UciSession& session, const std::string& line) {
    std::istringstream in(line);
    std::string command;
    if (!(in >> command)) return true;
    session.out.LogLine("::cmd:: " + line);
    std::string rest;
    std::getline(in, rest);
    if (command == "uci") {
        UciCommand(session);
    } else if (command == "isready") {
        PrepareBooks(session);
        session.out.Reply("readyok");
    } else if (command == "setoption") {
        SetOptionCommand(session, rest);
    } else if (command == "ucinewgame") {
        session.engine.ResetSearchState();
        PrepareBooks(session);
    } else if (command == "position") {
        PositionCommand(session, rest);
    } else if (command == "go") {
        GoCommand(session, rest);
    } else if (command == "d") {
        ShowPosition(session);
    } else if (command == "quit") {
        return false;
    } else if (command == "stop" || command == "ponderhit" || command == "debug" || command == "register") {
        // Nothing runs that they could act on, and there is nothing to register.
    } else {
        session.out.InfoString("Unknown command: %s", line.c_str());
    }
    return true;
}

}  // namespace

void UciLoop(UciSession& session) {
    // A write to an interface that has gone must not end the program before
    // it reads the end of its input.
    std::signal(SIGPIPE, SIG_IGN);
    BuildTables();
    session.engine.Table().Clear();
    InitUciOptions(session);
    SetStartPosition(session);
    std::string line;
    for (;;) {
        // A "go" owes its "bestmove": the input is served while its search
        // runs, and the commands that must wait run after it.
        if (GoActive(session)) {
            if (!ServeGo(session)) {
                WaitForGoEvent(session);
                continue;
            }
            if (QuitRequested(session)) break;
            continue;
        }
        if (!NextLine(*session.input, line) || !Execute(session, line)) break;
    }
    AbandonGo(session);
}

}  // namespace kavrin
