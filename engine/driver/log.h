// The engine's log file, Kavrin.log in the working directory, emptied at
// every start. Writers put a line together from parts, then end it with
// std::endl (line end and flush).
#pragma once

#include <fstream>

namespace kavrin {

extern std::ofstream logStream;

}  // namespace kavrin
