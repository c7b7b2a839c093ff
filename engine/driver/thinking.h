// What the xboard front end makes of a running search: the thinking line of
// each finished iteration, the search's notes in the log, and input from the
// interface as the signal to stop.
#pragma once

#include "search/control.h"

namespace kavrin {

// The hooks every search of this front end runs with.
extern const SearchHooks XboardSearchHooks;

}  // namespace kavrin
