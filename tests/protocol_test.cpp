// End-to-end: the start-up exchange, the command log and the loop's handling
// of awkward input, checked byte for byte on the engine's output and log.
#include <gtest/gtest.h>

#include <csignal>
#include <string>

#include "support/engine_process.h"

namespace kavrin::test {
namespace {

constexpr int Timeout = 10000;
const std::string Features = "\nfeature done=0\nfeature setboard=1\nfeature done=1\n";

// Sends text and then "quit", and waits for the engine to end normally.
void RunToQuit(EngineProcess& engine, const std::string& text) {
    engine.Send(text);
    engine.Send("quit\n");
    ASSERT_TRUE(engine.ExitsNormally(Timeout));
}

class Protocol : public ::testing::Test {
  protected:
    void SetUp() override {
        engine.WriteEmptyBooks();
        ASSERT_TRUE(engine.Start());
    }
    EngineProcess engine{KAVRIN_BINARY};
};

TEST_F(Protocol, HandshakeConsumesSixReplyWordsAndPrintsFourLines) {
    engine.Send("xboard\nprotover 2\naccepted done\naccepted setboard\n");
    ASSERT_TRUE(engine.WaitFor("feature done=1\n", Timeout));
    RunToQuit(engine, "hard\n");
    EXPECT_EQ(engine.Output(), Features);
    EXPECT_EQ(engine.Log(), "::cmd:: hard\n::cmd:: quit\n");
}

TEST_F(Protocol, OtherFirstWordWarnsAndReadsNoReplies) {
    RunToQuit(engine, "perft\naccepted\n");
    EXPECT_EQ(engine.Output(), "Engine works only with xboard protocol ver. 2\n" + Features);
    EXPECT_EQ(engine.Log(), "::cmd:: accepted\n::cmd:: quit\n");
}

TEST_F(Protocol, GreetingIsRecognisedByItsFirstSixCharacters) {
    engine.Send("xboardish a b c d e f\n");
    ASSERT_TRUE(engine.WaitFor("feature done=1\n", Timeout));
    RunToQuit(engine, "");
    EXPECT_EQ(engine.Output(), Features);
    EXPECT_EQ(engine.Log(), "::cmd:: quit\n");
}

TEST_F(Protocol, EveryCommandWordIsLoggedOnceItemsAreNot) {
    ASSERT_TRUE(engine.Greet());
    RunToQuit(engine, "level 40 5 0\ntime 30000\notim 29000\nhardly easygoing perft5 otim 12\n");
    EXPECT_EQ(engine.Log(),
              "::cmd:: level\n::cmd:: time\n::cmd:: hardly\n::cmd:: easygoing\n::cmd:: perft5\n"
              "::cmd:: otim\n::cmd:: 12\n::cmd:: quit\n");
}

TEST_F(Protocol, TimeLeavesAWordOtherThanOtimToTheLoop) {
    ASSERT_TRUE(engine.Greet());
    RunToQuit(engine, "time 3000 easy timeout abc otim 5 time 100\notim 99\n");
    // "time 3000" then "easy" is a command; "timeout" is "time" and its own
    // time is missing, so "abc" is the next command.
    EXPECT_EQ(engine.Log(),
              "::cmd:: time\n::cmd:: easy\n::cmd:: timeout\n::cmd:: abc\n::cmd:: otim\n::cmd:: 5\n"
              "::cmd:: time\n::cmd:: quit\n");
}

TEST_F(Protocol, LevelStopsReadingAtAMissingNumber) {
    ASSERT_TRUE(engine.Greet());
    RunToQuit(engine, "level x 5 0\nlevel 0 0:30 0\nlevel 0 2 0.5\n");
    EXPECT_EQ(engine.Log(),
              "::cmd:: level\n::cmd:: x\n::cmd:: 5\n::cmd:: 0\n::cmd:: level\n::cmd:: level\n::cmd:: .5\n"
              "::cmd:: quit\n");
}

TEST_F(Protocol, OverlongWordIsCutAndItsTailDropped) {
    ASSERT_TRUE(engine.Greet());
    std::string longWord(300, 'x');
    RunToQuit(engine, longWord + "e2e4 hard\n");
    EXPECT_EQ(engine.Log(), "::cmd:: " + std::string(255, 'x') + "\n::cmd:: hard\n::cmd:: quit\n");
}

// Analysis waits for a position it can search; nothing is refused.
TEST_F(Protocol, AnalyzeIsAcceptedOnAnEmptyBoardWithoutOutput) {
    ASSERT_TRUE(engine.Greet());
    RunToQuit(engine, "post analyze random\n");
    EXPECT_EQ(engine.Output(), Features);
}

// The words that follow these notices on their line are theirs: a name like
// "go on" never runs as commands.
TEST_F(Protocol, NoticesTakeTheirLineAndAnswerNothing) {
    ASSERT_TRUE(engine.Greet());
    RunToQuit(engine, "new\nname go on\nrating 2100 1800\nics -\naccepted ping\nrejected quit\ncomputer\ndraw\n"
                      "random\nname\nhard\n");
    EXPECT_EQ(engine.Output(), Features);
    EXPECT_EQ(engine.Log(), "::cmd:: new\n::cmd:: name\n::cmd:: rating\n::cmd:: ics\n::cmd:: accepted\n"
                            "::cmd:: rejected\n::cmd:: computer\n::cmd:: draw\n::cmd:: random\n::cmd:: name\n"
                            "::cmd:: hard\n::cmd:: quit\n");
}

TEST_F(Protocol, SearchOnAnEmptyBoardIsRefused) {
    ASSERT_TRUE(engine.Greet());
    RunToQuit(engine, "go\nperft 2\n");
    EXPECT_EQ(engine.Output(),
              Features + "Error (position not playable): go\nply\tduration\tnodes\n1\t0.0\t0\n2\t0.0\t0\n"
                             "total nodes: 0\n(total moves[32]: 0)\n");
}

TEST_F(Protocol, BenchmarkReadsOneWord) {
    ASSERT_TRUE(engine.Greet());
    RunToQuit(engine, "benchmark 5 hard\n");
    EXPECT_EQ(engine.Output(), Features + "Define __STAT\n");
    EXPECT_EQ(engine.Log(), "::cmd:: benchmark\n::cmd:: hard\n::cmd:: quit\n");
}

TEST_F(Protocol, EndOfInputEndsTheEngine) {
    ASSERT_TRUE(engine.Greet());
    engine.Send("hard\n");
    engine.CloseInput();
    ASSERT_TRUE(engine.ExitsNormally(Timeout));
    EXPECT_EQ(engine.Log(), "::cmd:: hard\n");
}

TEST_F(Protocol, InterruptAndTerminateSignalsAreIgnored) {
    ASSERT_TRUE(engine.Greet());
    kill(engine.Pid(), SIGINT);
    kill(engine.Pid(), SIGTERM);
    engine.Send("easy\n");
    // The engine is still there to log its next word and to end on "quit".
    RunToQuit(engine, "");
    EXPECT_EQ(engine.Log(), "::cmd:: easy\n::cmd:: quit\n");
}

TEST_F(Protocol, SetboardLogsItsLineWithBothLineEnds) {
    ASSERT_TRUE(engine.Greet());
    RunToQuit(engine, "setboard 8/8/8/8/8/8/8/8 w - -\nsetboard rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1\n");
    EXPECT_EQ(engine.Output(), Features);
    EXPECT_EQ(engine.Log(),
              "::cmd:: setboard\nsetboard  8/8/8/8/8/8/8/8 w - -\n\n"
              "::cmd:: setboard\nsetboard  rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1\n\n"
              "::cmd:: quit\n");
}

TEST_F(Protocol, IllegalSetboardIsReportedOnlyInTheLog) {
    ASSERT_TRUE(engine.Greet());
    RunToQuit(engine, "setboard 8/8/8/8/8/8/8/9 w - -\nsetboard rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR x KQkq -\n");
    EXPECT_EQ(engine.Output(), Features);
    EXPECT_EQ(engine.Log(),
              "::cmd:: setboard\nsetboard  8/8/8/8/8/8/8/9 w - -\n\n-M: tellusererror Illegal position\n"
              "::cmd:: setboard\nsetboard  rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR x KQkq -\n\n"
              "-M: tellusererror Illegal position\n::cmd:: quit\n");
}

TEST_F(Protocol, OverlongSetboardLineLeavesNoTailToPlay) {
    ASSERT_TRUE(engine.Greet());
    // A valid position padded with blanks past the line limit, ending in a
    // word that would be a legal move.
    std::string fen = " rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -";
    std::string line = fen + std::string(300, ' ') + "e2e4\n";
    RunToQuit(engine, "new\nforce\nsetboard" + line + "hard\n");
    std::string kept = line.substr(0, 254);
    EXPECT_EQ(engine.Log(), "::cmd:: new\n::cmd:: force\n-M: entered StopEngine\n-M: exited StopEngine\n"
                            "::cmd:: setboard\nsetboard " + kept + "\n::cmd:: hard\n::cmd:: quit\n");
    EXPECT_EQ(engine.Output(), Features);
}

TEST_F(Protocol, TestSetsUpItsPositionAndPrintsTheDiagram) {
    ASSERT_TRUE(engine.Greet());
    RunToQuit(engine, "test\n");
    EXPECT_EQ(engine.Output(), Features +
                                   "\n8 . . . . . . . . \n7 . . . . . . . . \n6 . . . . . Q . . \n"
                                   "5 . . R . . . . k \n4 . . . . . . . . \n3 . . . . . . . . \n"
                                   "2 P . . . . . P . \n1 . . . . . . K . \n\n  A B C D E F G H\n");
    EXPECT_EQ(engine.Log(), "::cmd:: test\n::cmd:: quit\n");
}

TEST_F(Protocol, MoveOnABoardWithoutKingsIsRefused) {
    ASSERT_TRUE(engine.Greet());
    RunToQuit(engine, "setboard 8/8/8/8/8/8/4P3/8 w - -\ne2e4\n");
    EXPECT_EQ(engine.Output(), Features + "Error (position not playable): e2e4\n");
}

// After 4. Bb5+ Black is in check. Handing the move to White ("white", or a
// position text with White to move) would let White take the king: nothing
// is searched or played until Black is to move again. Counts as Stockfish's.
TEST_F(Protocol, KingInCheckOfTheSideNotToMoveStopsPlay) {
    ASSERT_TRUE(engine.Greet());
    const std::string checked = "rnbqkb1r/ppp1pppp/5n2/1B1p4/3PP3/2N2N2/PPP2PPP/R1BQK2R";
    const std::string zeroRow = "ply\tduration\tnodes\n1\t0.0\t0\ntotal nodes: 0\n(total moves[32]: 0)\n";
    RunToQuit(engine, "setboard " + checked + " b KQkq -\nwhite\ngo\nb5e8\nperft 1\nblack\nperft 1\nforce\nc7c6\n" +
                          "white\nperft 1\nsetboard " + checked + " w KQkq -\ngo\nperft 1\n");
    EXPECT_EQ(engine.Output(), Features + "Error (position not playable): go\nError (position not playable): b5e8\n" +
                                   zeroRow + "ply\tduration\tnodes\n1\t0.0\t6\ntotal nodes: 6\n(total moves[32]: 6)\n" +
                                   "ply\tduration\tnodes\n1\t0.0\t41\ntotal nodes: 41\n(total moves[32]: 41)\n" +
                                   "Error (position not playable): go\n" + zeroRow);
}

TEST(ProtocolBooks, MissingIndexFileIsReportedAndNeitherBookUsed) {
    EngineProcess engine(KAVRIN_BINARY);
    engine.WriteFile("bookwtm.mbx", std::string(524288, '\0'));
    engine.WriteFile("bookwtm.mbk", "");
    engine.WriteFile("bookbtm.mbk", "");
    ASSERT_TRUE(engine.Start());
    ASSERT_TRUE(engine.Greet());
    RunToQuit(engine, "hard\n");
    EXPECT_EQ(engine.Output(), Features + "BOOK ERROR: Cannot load file: 'bookbtm.mbx'\n\n");
    // The log line has no line end of its own beyond the message's.
    EXPECT_EQ(engine.Log(), "BOOK ERROR: Cannot load file: 'bookbtm.mbx'\n::cmd:: hard\n::cmd:: quit\n");
}

TEST(ProtocolLog, StartingAgainEmptiesTheLog) {
    EngineProcess engine(KAVRIN_BINARY);
    engine.WriteEmptyBooks();
    engine.WriteFile("Kavrin.log", "an earlier run\n");
    ASSERT_TRUE(engine.Start());
    ASSERT_TRUE(engine.Greet());
    RunToQuit(engine, "");
    EXPECT_EQ(engine.Log(), "::cmd:: quit\n");
}

}  // namespace
}  // namespace kavrin::test
