// The options of the UCI front end: the "option" lines of the "uci" answer,
// "setoption", and the opening books of the book folder.
#pragma once

#include <cstddef>
#include <string>

#include "uci/strength.h"

namespace kavrin {

constexpr int MinHashMegabytes = 1;
constexpr int MaxHashMegabytes = 32768;
constexpr int DefaultMoveOverheadMs = 30;
constexpr int MaxMoveOverheadMs = 5000;
// How an empty string option is shown and may be sent.
constexpr const char* EmptyOptionText = "<empty>";

struct UciOptions {
    // Root moves each iteration ranks and shows ("MultiPV").
    int lines = 1;
    // Play at the level of a player rated elo ("UCI_LimitStrength", "UCI_Elo").
    bool limitStrength = false;
    int elo = DefaultStrengthElo;
    bool ponder = false;
    bool ownBook = true;
    // The folder of the four book files; empty: no book.
    std::string bookFolder;
    int moveOverheadMs = DefaultMoveOverheadMs;
    // Where the commands and the search's notes are written; empty: nowhere.
    std::string logFile;
};

extern UciOptions uciOptions;

// The first folder holding all four book files: the working directory, then
// executableFolder, its parent, and ../share/kavrin beside it (where an
// installation puts them). Empty when none does.
std::string FindBookFolder(const std::string& executableFolder);
// The folder of the running program.
std::string ExecutableFolder();

// Sets the defaults that depend on where the program runs.
void InitUciOptions();
// The "option" lines of the "uci" answer.
void PrintOptionLines();
// "setoption name <id> [value <x>]": words is the text after "setoption".
void SetOptionCommand(const std::string& words);
// Loads the books of the book folder when the folder changed since the last
// load; a failure is reported, and the engine plays without a book.
void PrepareBooks();
// Whether a book move may be asked for: OwnBook on and the books loaded.
bool BookInUse();

}  // namespace kavrin
