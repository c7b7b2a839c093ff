// Search threads: a search on several threads shares the table and counts
// every thread's moves; one thread again searches exactly as before; and
// kavrin-uci with Threads=2 answers every "go" once through a thousand
// searches stopped at once or by the clock, and leaves at once on "quit".
#include "search/threads.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <chrono>
#include <iterator>
#include <memory>
#include <string>
#include <thread>

#include "board/fen.h"
#include "board/legal.h"
#include "board/movetext.h"
#include "search/benchmark.h"
#include "search/engine.h"
#include "search/game.h"
#include "support/engine_process.h"
#include "support/signature.h"
#include "support/test_engine.h"
#include "support/uci_session.h"

namespace kavrin::test {
namespace {

constexpr int Timeout = 60000;

// A search of the busy middlegame of the benchmark to a fixed depth.
const BenchmarkPosition& Middlegame() { return BenchmarkPositions[5]; }

TEST(SearchThreads, HelpersSearchTheSameRootAndTheirMovesCount) {
    test::TestEngine().Threads().SetCount(2);
    ASSERT_TRUE(ReadFen(gamePosition, Middlegame().fen));
    test::TestEngine().ResetSearchState();
    SearchLimits limits;
    limits.maxDepth = 6;
    limits.untimed = true;
    const Move best = test::TestEngine().Search(limits, nullptr);
    EXPECT_TRUE(IsLegalMove(gamePosition, best)) << best;
    const uint64_t mainNodes = test::TestEngine().Threads().Main().Nodes();
    EXPECT_GT(mainNodes, 0u);
    EXPECT_GT(test::TestEngine().Threads().TotalNodes(), mainNodes) << "the helper's moves are not counted";
    EXPECT_FALSE(test::TestEngine().Threads().StoppedEarly());
    test::TestEngine().Threads().SetCount(1);
}

// Helpers come and go between searches; the main thread alone then searches
// exactly as a fresh single-threaded engine does.
TEST(SearchThreads, OneThreadAfterSeveralSearchesAsBefore) {
    test::TestEngine().Threads().SetCount(1);
    const int depth = SignatureTestDepth(Middlegame());
    const SearchCounts before = SearchFixedDepth(test::TestEngine(), Middlegame(), depth);
    test::TestEngine().Threads().SetCount(3);
    SearchFixedDepth(test::TestEngine(), Middlegame(), depth);
    test::TestEngine().Threads().SetCount(1);
    const SearchCounts after = SearchFixedDepth(test::TestEngine(), Middlegame(), depth);
    EXPECT_EQ(after.nodes, before.nodes);
    EXPECT_EQ(after.best, before.best);
    EXPECT_EQ(after.score, before.score);
}

// Two engines in one process, each with its own table, threads and game:
// searching side by side, each makes the recorded moves of a search alone,
// and neither table learns of the other's positions.
TEST(SearchThreads, TwoEnginesSearchSideBySideAsEachAlone) {
    const auto recorded = RecordedSignature("test");
    std::unique_ptr<Engine> engines[2] = {std::make_unique<Engine>(), std::make_unique<Engine>()};
    uint64_t nodes[std::size(BenchmarkPositions)] = {};
    auto searchEveryOther = [&](int side) {
        for (int i = side; i < BenchmarkPositionCount; i += 2) {
            const BenchmarkPosition& p = BenchmarkPositions[i];
            nodes[i] = SearchFixedDepth(*engines[side], p, SignatureTestDepth(p)).nodes;
        }
    };
    std::thread second(searchEveryOther, 1);
    searchEveryOther(0);
    second.join();
    for (int i = 0; i < BenchmarkPositionCount; ++i) EXPECT_EQ(nodes[i], recorded.at(i).nodes) << i;
    // Each game position is the last one its engine searched.
    for (int side = 0; side < 2; ++side) {
        TTEntry e;
        Position& own = engines[side]->Game();
        EXPECT_TRUE(engines[side]->Table().Probe(own, e)) << side;
        EXPECT_FALSE(engines[1 - side]->Table().Probe(own, e)) << side;
    }
}

class UciThreads : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(engine.Start());
        ASSERT_TRUE(engine.GreetUci());
        engine.Send("setoption name Threads value 2\nsetoption name OwnBook value false\n");
    }
    EngineProcess engine{KAVRIN_UCI_BINARY};
};

// Searches stopped at once, stopped by their clock, and the options changed
// between them: every "go" gets exactly one legal "bestmove".
TEST_F(UciThreads, EveryGoOfAThousandGetsOneBestMove) {
    constexpr int Cycles = 1000;
    const char* const fens[] = {InitialFen, Middlegame().fen};
    for (int cycle = 0; cycle < Cycles; ++cycle) {
        const char* const fen = fens[cycle % 2];
        std::string commands = std::string("position fen ") + fen + "\n";
        if (cycle == Cycles / 2) commands += "setoption name Hash value 8\nsetoption name Threads value 1\n";
        if (cycle == Cycles / 2 + 10) commands += "setoption name Threads value 2\n";
        // An infinite search answers isready before its stop; one on the
        // clock may end before or after, so it is asked after the move.
        const bool onTheClock = cycle % 2 != 0;
        engine.Send(commands + (onTheClock ? "go movetime 5\n" : "go infinite\nisready\nstop\n"));
        if (!onTheClock) {
            ASSERT_TRUE(engine.WaitFor("readyok\n", Timeout)) << "cycle " << cycle;
        }
        const std::string best = engine.WaitForLine("bestmove ", Timeout);
        ASSERT_FALSE(best.empty()) << "cycle " << cycle;
        if (onTheClock) {
            engine.Send("isready\n");
            ASSERT_TRUE(engine.WaitFor("readyok\n", Timeout)) << "cycle " << cycle;
        }
        const std::string move = best.substr(9, best.find(' ', 9) - 9);
        ASSERT_TRUE(ReadFen(gamePosition, fen));
        ASSERT_TRUE(IsLegalMove(gamePosition, TextToMoveOnBoard(gamePosition, move.c_str()))) << best;
    }
    engine.Send("isready\n");
    ASSERT_TRUE(engine.WaitFor("readyok\n", Timeout));
    EXPECT_EQ(Count(engine.Output(), "bestmove "), static_cast<size_t>(Cycles));
    engine.Send("quit\n");
    EXPECT_TRUE(engine.ExitsNormally(Timeout));
}

TEST_F(UciThreads, QuitDuringASearchEndsTheProgramAtOnce) {
    engine.Send("position startpos\ngo infinite\n");
    ASSERT_NE(engine.WaitForLine("info depth ", Timeout), "");
    const auto sent = std::chrono::steady_clock::now();
    engine.Send("quit\n");
    EXPECT_TRUE(engine.ExitsNormally(Timeout));
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - sent).count();
    // Far more than the program needs, but a search that ignored the stop
    // would run for minutes.
    EXPECT_LT(ms, 5000);
    EXPECT_EQ(Count(engine.Output(), "bestmove "), 1u);
}

}  // namespace
}  // namespace kavrin::test
