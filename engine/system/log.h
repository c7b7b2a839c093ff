// The log stream. A program that keeps a log opens it once at start (the
// engine's is Kavrin.log in the working directory, emptied at every start);
// until then, and when the file cannot be opened, every write is dropped.
// Writers put a line together from parts, then end it with std::endl (line
// end and flush), so the file is complete up to the last event.
#pragma once

#include <fstream>

namespace kavrin {

extern std::ofstream logStream;

// Closes the stream if it is open and opens path for output, emptying it.
void OpenLog(const char* path);

}  // namespace kavrin
