// The command loop of the UCI front end.
#pragma once

namespace kavrin {

class UciSession;

// Reads and runs the session's commands until "quit" or the end of input.
void UciLoop(UciSession& session);

}  // namespace kavrin
