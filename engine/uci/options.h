// The options of the UCI front end: the "option" lines of the "uci" answer,
// "setoption", and the opening books: those of the book folder, or the
// Polyglot book of Book File.
#pragma once

#include <cstddef>
#include <string>

#include "board/board.h"
#include "board/types.h"
#include "uci/strength.h"

namespace kavrin {

constexpr int MinHashMegabytes = 1;
constexpr int MaxHashMegabytes = 32768;
constexpr int DefaultMoveOverheadMs = 30;
constexpr int MaxMoveOverheadMs = 5000;
constexpr int MaxSyzygyProbeDepth = 100;
// How an empty string option is shown and may be sent.
constexpr const char* EmptyOptionText = "<empty>";

struct UciOptions {
    // Play at the level of a player rated elo ("UCI_LimitStrength", "UCI_Elo").
    bool limitStrength = false;
    int elo = DefaultStrengthElo;
    bool ponder = false;
    bool ownBook = true;
    // The folder of the four book files; empty: no book.
    std::string bookFolder;
    // A Polyglot book played from instead of the books of the folder; empty:
    // none.
    std::string bookFile;
    int moveOverheadMs = DefaultMoveOverheadMs;
    // Where the commands and the search's notes are written; empty: nowhere.
    std::string logFile;
    // Each "info ... score" line tells the chances of a win, a draw and a loss.
    bool showWdl = false;
};

class UciSession;

// The first folder holding all four book files: the working directory, then
// executableFolder, its parent, and ../share/kavrin or ../share/games/kavrin
// beside it (where an installation or the Debian package puts them). Empty
// when none does.
std::string FindBookFolder(const std::string& executableFolder);
// The folder of the running program.
std::string ExecutableFolder();

// Sets the defaults that depend on where the program runs.
void InitUciOptions(UciSession& session);
// The "option" lines of the "uci" answer.
void PrintOptionLines(UciSession& session);
// "setoption name <id> [value <x>]": words is the text after "setoption".
void SetOptionCommand(UciSession& session, const std::string& words);
// Loads the books of the book folder, and opens the Polyglot book of Book
// File, when the option changed since the last load; a failure is reported,
// and the engine plays without that book.
void PrepareBooks(UciSession& session);
// Whether a book move may be asked for: OwnBook on and the book in use
// loaded. With Book File set, that is its Polyglot book, and the books of the
// folder are not asked, even when the file cannot be played from.
bool BookInUse(const UciSession& session);
// A legal move for pos from the book in use; 0 when it has none.
Move BookInUseMove(UciSession& session, Position& pos);

}  // namespace kavrin
