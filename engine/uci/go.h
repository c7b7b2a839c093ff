// "go": the search of the UCI front end on its own threads, its "info"
// lines, the commands answered while it runs (isready, stop, ponderhit,
// quit), and its "bestmove".
#pragma once

#include <string>

#include "uci/limits.h"

namespace kavrin {

class UciSession;

// Reads the words of a "go" command (the text after "go") into request;
// a word it cannot use is reported and skipped.
void ReadGoRequest(UciSession& session, const std::string& words, GoRequest& request);
// "go": answers at once (a book move, a root without moves) or starts the
// search, and returns; exactly one "bestmove" follows, from FinishGo. An
// infinite or pondering search holds its "bestmove" back until "stop" or
// "ponderhit", even when the search ends by itself.
void GoCommand(UciSession& session, const std::string& words);
// Whether a "go" still owes its "bestmove".
bool GoActive(UciSession& session);
// While a "go" is active: answers what waits on the input and must be
// answered at once, then sends the "bestmove" when it is due. True when the
// "go" is over.
bool ServeGo(UciSession& session);
// Blocks until the input or the search has something for ServeGo.
void WaitForGoEvent(UciSession& session);
// Whether "quit" or the end of input came during the last "go".
bool QuitRequested(UciSession& session);
// Ends a running search and sends its "bestmove" (the program is leaving).
void AbandonGo(UciSession& session);

}  // namespace kavrin
