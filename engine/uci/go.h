// "go": the search of the UCI front end, its "info" lines, the commands it
// answers while it runs (isready, stop, ponderhit, quit), and its "bestmove".
#pragma once

#include <string>

#include "uci/limits.h"

namespace kavrin {

// Reads the words of a "go" command (the text after "go") into request;
// a word it cannot use is reported and skipped.
void ReadGoRequest(const std::string& words, GoRequest& request);
// "go": a book move or a search, then exactly one "bestmove". An infinite
// or pondering search holds its "bestmove" back until "stop" or
// "ponderhit", even when the search ends by itself.
void GoCommand(const std::string& words);
// Whether "quit" or the end of input came during the last search.
bool QuitRequested();

}  // namespace kavrin
