// The engine the in-process tests share, its game position, and an xboard
// session over it. (The end-to-end tests start the programs instead.)
#pragma once

#include "board/board.h"
#include "search/engine.h"

namespace kavrin {

class XboardSession;

namespace test {

Engine& TestEngine();
// A session of the xboard front end over the test engine, reading standard
// input, as the program has it.
XboardSession& TestSession();

}  // namespace test

// The test engine's game position, which the tests of the Board also use.
inline Position& gamePosition = test::TestEngine().Game();

}  // namespace kavrin
