// The command loop of the UCI front end.
#pragma once

namespace kavrin {

// Reads and runs commands until "quit" or the end of input.
void UciLoop();

}  // namespace kavrin
