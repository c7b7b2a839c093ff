// What the xboard front end makes of a running search (the session's
// reports, driver/thinking.cpp): the thinking line of each finished
// iteration, the search's notes in the log, and input from the interface,
// which stops the search unless the search can answer it itself.
#pragma once

namespace kavrin {

class XboardSession;

// The answer to "." in analyze mode: "stat01: time nodes ply mvleft mvtot
// [mvname]", time in centiseconds since the search began, the iteration
// under way and its root moves left to search.
void PrintSearchStatus(XboardSession& session);

}  // namespace kavrin
