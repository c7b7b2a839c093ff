// A conversation with kavrin-uci over pipes, as a UCI interface holds it:
// the fixture of the end-to-end tests of kavrin-uci, and what they read out
// of its lines.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <string>

#include "support/engine_process.h"

namespace kavrin::test {

// Generous: the sanitizer builds on a busy machine are slow.
constexpr int UciTimeout = 60000;

// How often what occurs in text.
size_t Count(const std::string& text, const std::string& what);
// The number after word in line (the last one when there are several); -1
// when there is none.
long long Field(const std::string& line, const std::string& word);

class UciSession : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(engine.Start());
        ASSERT_TRUE(engine.GreetUci());
    }

    // Sends commands ending in a "go" and returns the "bestmove" line.
    std::string Go(const std::string& commands) {
        engine.Send(commands);
        return engine.WaitForLine("bestmove", UciTimeout);
    }
    // Everything written since mark (an earlier Output().size()).
    std::string Since(size_t mark) const { return engine.Output().substr(mark); }
    void Sync() {
        engine.Send("isready\n");
        ASSERT_TRUE(engine.WaitFor("readyok\n", UciTimeout));
    }
    void Quit() {
        engine.Send("quit\n");
        int status = -1;
        ASSERT_TRUE(engine.WaitExit(UciTimeout, &status));
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    // The "Fen:" line of "d".
    std::string ShownFen() {
        engine.Send("d\n");
        return engine.WaitForLine("Fen: ", UciTimeout);
    }

    EngineProcess engine{KAVRIN_UCI_BINARY};
};

}  // namespace kavrin::test
