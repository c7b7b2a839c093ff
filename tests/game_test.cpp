// The engine's side of a game: result-line selection, and (end to end) whole
// games, pondering and the refusals of moves that cannot be played.
#include "driver/game.h"

#include <gtest/gtest.h>

#include <string>

#include "board/types.h"

namespace kavrin {
namespace {

std::string Line(const char* text) { return text == nullptr ? "(none)" : text; }

TEST(ResultLines, MarkersLeftBySearch) {
    EXPECT_EQ(Line(MarkerResultLine(ResultCheckmated, Black)), "1-0 {Kavrin mated 0}\n");
    EXPECT_EQ(Line(MarkerResultLine(ResultCheckmated, White)), "0-1 {Kavrin mated 0}\n");
    EXPECT_EQ(Line(MarkerResultLine(ResultStalemate, White)), "1/2-1/2 {Draw by stalemate (1)}\n");
    EXPECT_EQ(Line(MarkerResultLine(ResultRepetition, Black)), "1/2-1/2 {Draw by 3 fold repetition (2)}\n");
    EXPECT_EQ(Line(MarkerResultLine(ResultFiftyMoves, White)), "1/2-1/2 {Draw by 50 moves rule (3)}\n");
    EXPECT_EQ(Line(MarkerResultLine(ResultInsufficientMaterial, Black)),
              "1/2-1/2 {Draw by insufficient material to mate (4)}\n");
}

TEST(ResultLines, NoLineForMovesAndOtherMarkers) {
    EXPECT_EQ(MarkerResultLine(0, White), nullptr);
    EXPECT_EQ(MarkerResultLine(NullMoveMarker, White), nullptr);
    EXPECT_EQ(MarkerResultLine(MakeMoveWord(52, 36, Quiet), White), nullptr);
    EXPECT_EQ(MarkerResultLine(CastleWhiteKingSide, White), nullptr);
}

TEST(ResultLines, MateInOneByTheSideNowToMove) {
    EXPECT_EQ(Line(MoveResultLine(8099, false, 0, Black)), "1-0 {Kavrin mates 1}\n");
    EXPECT_EQ(Line(MoveResultLine(8099, true, ResultRepetition, White)), "0-1 {Kavrin mates 1}\n");
}

TEST(ResultLines, MateScoreNeedsTheTableMarker) {
    EXPECT_EQ(Line(MoveResultLine(8098, true, 0, Black)), "1-0 {Kavrin mates 1#}\n");
    EXPECT_EQ(Line(MoveResultLine(8051, true, 0, White)), "0-1 {Kavrin mates 1#}\n");
    EXPECT_EQ(MoveResultLine(8051, false, 0, White), nullptr);
    // A mate score never claims a draw, whatever the draw test says.
    EXPECT_EQ(MoveResultLine(8060, false, ResultRepetition, White), nullptr);
}

TEST(ResultLines, DrawsFoundAfterTheEnginesMove) {
    EXPECT_EQ(Line(MoveResultLine(8050, false, ResultRepetition, White)), "1/2-1/2 {Draw by 3 fold repetition (22)}\n");
    EXPECT_EQ(Line(MoveResultLine(0, false, ResultFiftyMoves, Black)), "1/2-1/2 {Draw by 50 moves rule (33)}\n");
    EXPECT_EQ(Line(MoveResultLine(-300, false, ResultInsufficientMaterial, White)),
              "1/2-1/2 {Draw by insufficient material to mate (44)}\n");
    EXPECT_EQ(MoveResultLine(120, false, 0, White), nullptr);
    EXPECT_EQ(MoveResultLine(120, false, ResultStalemate, White), nullptr);
}

}  // namespace
}  // namespace kavrin

// ---------------------------------------------------------------------------
// End to end: the engine plays under a scripted interface that waits for each
// reply before it sends more (input waiting on stdin stops a search).

#include <chrono>
#include <cstdio>
#include <sstream>
#include <thread>
#include <vector>

#include "board/board.h"
#include "board/fen.h"
#include "board/legal.h"
#include "board/makemove.h"
#include "board/movetext.h"
#include "search/game.h"
#include "support/board_setup.h"
#include "support/engine_process.h"
#include "support/game_log.h"
#include "support/test_engine.h"
#include "support/text.h"

namespace kavrin {
namespace {

using test::EngineProcess;
using test::FindLine;
using test::HashLine;
using test::LegalMoveTexts;
using test::Lines;
using test::PlayInProcess;
using test::ReplyLeadingTo;

constexpr int Timeout = 20000;

Move Word(const char* text) { return TextToMoveOnBoard(gamePosition, text); }

TEST(Legality, FirstLegalMoveIsAFallbackOnlyWhenOneExists) {
    ASSERT_TRUE(PlayInProcess("4k3/8/8/8/8/8/3q4/R3K3 w Q - 0 1", {}));
    EXPECT_EQ(FirstLegalMove(gamePosition), Word("e1d2"));
    ASSERT_TRUE(PlayInProcess("rnb1kbnr/pppp1ppp/8/4p3/6Pq/5P2/PPPPP2P/RNBQKBNR w KQkq - 1 3", {}));
    EXPECT_EQ(FirstLegalMove(gamePosition), 0);
    ASSERT_TRUE(PlayInProcess("7k/5Q2/6K1/8/8/8/8/8 b - - 0 1", {}));
    EXPECT_EQ(FirstLegalMove(gamePosition), 0);
    ASSERT_TRUE(PlayInProcess(InitialFen, {}));
    Move first = FirstLegalMove(gamePosition);
    EXPECT_TRUE(IsLegalMove(gamePosition, first));
    ASSERT_TRUE(PlayInProcess("8/8/8/8/8/8/4P3/8 w - - 0 1", {}));  // no kings
    EXPECT_EQ(FirstLegalMove(gamePosition), 0);
}

TEST(Legality, HistoryRoomForTheGame) {
    ASSERT_TRUE(PlayInProcess(InitialFen, {}));
    EXPECT_TRUE(GameHasRoom(gamePosition, 2));
    EXPECT_TRUE(GameHasRoom(gamePosition, GameHistoryLimit));
    EXPECT_FALSE(GameHasRoom(gamePosition, GameHistoryLimit + 1));
    static_assert(GameHistoryLimit + 2 + PlyStackSize <= HistorySize, "a ponder move and a search line fit");
}

class Game : public ::testing::Test {
  protected:
    void SetUp() override {
        engine.WriteEmptyBooks();
        ASSERT_TRUE(engine.Start());
        ASSERT_TRUE(engine.Greet());
    }
    void Quit() {
        engine.Send("quit\n");
        ASSERT_TRUE(engine.ExitsNormally(Timeout));
    }
    // Sends the clock and a move (or "go") and returns the engine's move.
    std::string Reply(const std::string& word) {
        engine.Send("time 1000\notim 1000\n" + word + "\n");
        std::string line = engine.WaitForLine("move ", Timeout);
        return line.empty() ? "" : line.substr(5);
    }
    EngineProcess engine{KAVRIN_BINARY};
};

TEST_F(Game, ShortGameFromNewToTheMateClaim) {
    engine.Send("new\nlevel 40 1 0\nforce\nf2f3\ne7e5\ng2g4\n");
    EXPECT_EQ(Reply("go"), "d8h4");
    ASSERT_TRUE(engine.WaitFor("0-1 {Kavrin mates 1}\n", Timeout)) << engine.Output();
    Quit();
    EXPECT_NE(engine.Output().find("\nmove d8h4\n0-1 {Kavrin mates 1}\n"), std::string::npos);
    std::vector<std::string> log = Lines(engine.Log());
    size_t moveLine = FindLine(log, "move d8h4\tscore: 8099");
    ASSERT_LT(moveLine, log.size()) << engine.Log();
    // A result claim ends the engine's turn without pondering.
    EXPECT_EQ(log[moveLine + 1], "- NO ponder move");
    EXPECT_EQ(engine.Output().find("Illegal"), std::string::npos);
}

TEST_F(Game, PlaysRepliesInPlayingModeAndLogsEachGameMove) {
    engine.Send("new\nlevel 40 1 0\neasy\n");
    std::vector<std::string> moves = {"e2e4"};
    std::string reply = Reply("e2e4");
    ASSERT_FALSE(reply.empty());
    moves.push_back(reply);
    ASSERT_TRUE(PlayInProcess(InitialFen, moves));
    std::string second = LegalMoveTexts().front();
    moves.push_back(second);
    reply = Reply(second);
    ASSERT_FALSE(reply.empty());
    moves.push_back(reply);
    Quit();
    ASSERT_TRUE(PlayInProcess(InitialFen, moves));
    std::vector<std::string> log = Lines(engine.Log());
    size_t engineMove = FindLine(log, "move " + reply + "\tscore: ");
    ASSERT_LT(engineMove, log.size());
    // The game-move line of the engine's move stands right above it.
    EXPECT_EQ(log[engineMove - 1], HashLine());
    EXPECT_EQ(log[engineMove + 1], "- NO ponder move");
    EXPECT_EQ(FindLine(log, "-ponder move: "), log.size());
}

TEST_F(Game, PonderHitCountsThePonderedTime) {
    engine.Send("new\nlevel 40 1 0\nhard\n");
    std::string reply = Reply("e2e4");
    ASSERT_FALSE(reply.empty());
    std::string ponderFen = WaitForLogLine(engine, Timeout, "move " + reply, "-FEN:\t");
    ASSERT_FALSE(ponderFen.empty()) << engine.Log();
    ASSERT_TRUE(PlayInProcess(InitialFen, {"e2e4", reply}));
    std::string expected = ReplyLeadingTo(ponderFen);
    ASSERT_FALSE(expected.empty()) << ponderFen;
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    std::string next = Reply(expected);
    ASSERT_FALSE(next.empty());
    Quit();
    std::vector<std::string> log = Lines(engine.Log());
    size_t hit = FindLine(log, "-GOOD PONDER");
    ASSERT_LT(hit, log.size()) << engine.Log();
    EXPECT_EQ(FindLine(log, "-BAD PONDER"), log.size());
    EXPECT_EQ(log[hit + 1], "-M: entered StartEngine, goodPonder: 1");
    ASSERT_LT(hit + 2, log.size());
    const std::string elapsed = "*** xxx czas uzyty: ";
    ASSERT_EQ(log[hit + 2].compare(0, elapsed.size(), elapsed), 0);
    EXPECT_GT(std::stoi(log[hit + 2].substr(elapsed.size())), 0);
    EXPECT_LT(FindLine(log, "-ponder move: " + expected), hit);
}

TEST_F(Game, PonderMissGivesThePositionOfTheMovePlayedDirectly) {
    engine.Send("new\nlevel 40 1 0\nhard\n");
    std::string reply = Reply("d2d4");
    ASSERT_FALSE(reply.empty());
    std::string ponderFen = WaitForLogLine(engine, Timeout, "move " + reply, "-FEN:\t");
    ASSERT_FALSE(ponderFen.empty()) << engine.Log();
    ASSERT_TRUE(PlayInProcess(InitialFen, {"d2d4", reply}));
    std::string assumed = ReplyLeadingTo(ponderFen);
    std::string other;
    for (const std::string& text : LegalMoveTexts()) {
        if (text != assumed) other = text;
    }
    ASSERT_FALSE(other.empty());
    std::string next = Reply(other);
    ASSERT_FALSE(next.empty());
    Quit();
    ASSERT_TRUE(PlayInProcess(InitialFen, {"d2d4", reply, other}));
    std::vector<std::string> log = Lines(engine.Log());
    size_t miss = FindLine(log, "-BAD PONDER");
    ASSERT_LT(miss + 1, log.size()) << engine.Log();
    EXPECT_EQ(FindLine(log, "-GOOD PONDER"), log.size());
    EXPECT_EQ(log[miss + 1], HashLine());
    EXPECT_EQ(log[miss + 2], "-M: entered StartEngine, goodPonder: 0");
}

TEST_F(Game, EasyNeverPonders) {
    engine.Send("new\nlevel 40 1 0\neasy\n");
    std::string reply = Reply("e2e4");
    ASSERT_FALSE(reply.empty());
    ASSERT_TRUE(PlayInProcess(InitialFen, {"e2e4", reply}));
    std::string second = LegalMoveTexts().back();
    ASSERT_FALSE(Reply(second).empty());
    Quit();
    std::vector<std::string> log = Lines(engine.Log());
    int engineMoves = 0;
    for (size_t i = 0; i + 1 < log.size(); ++i) {
        if (log[i].compare(0, 5, "move ") != 0) continue;
        ++engineMoves;
        EXPECT_EQ(log[i + 1], "- NO ponder move");
    }
    EXPECT_EQ(engineMoves, 2);
    EXPECT_EQ(FindLine(log, "-ponder move: "), log.size());
    EXPECT_EQ(FindLine(log, "-M: entered StartEngine, goodPonder: 1"), log.size());
}

TEST_F(Game, CommandWhilePonderingActsOnTheGamePosition) {
    engine.Send("new\nlevel 40 1 0\nhard\n");
    std::string reply = Reply("e2e4");
    ASSERT_FALSE(reply.empty());
    ASSERT_FALSE(WaitForLogLine(engine, Timeout, "move " + reply, "-FEN:\t").empty());
    ASSERT_TRUE(PlayInProcess(InitialFen, {"e2e4", reply}));
    // "force" takes the assumed reply back: the opponent's move is then
    // judged in the real game position, and "go" answers it.
    std::string second = LegalMoveTexts().front();
    engine.Send("force\n" + second + "\n");
    std::string next = Reply("go");
    ASSERT_FALSE(next.empty());
    Quit();
    EXPECT_EQ(engine.Output().find("Illegal move"), std::string::npos) << engine.Output();
    ASSERT_TRUE(PlayInProcess(InitialFen, {"e2e4", reply, second}));
    std::vector<std::string> log = Lines(engine.Log());
    size_t played = FindLine(log, "::cmd:: " + second);
    ASSERT_LT(played + 1, log.size());
    EXPECT_EQ(log[played + 1], HashLine());
}

TEST_F(Game, IllegalMovesAreAnsweredAndLeaveTheGameUnchanged) {
    engine.Send("new\nforce\ne2e5\ne7e5\ne1g1\ne2e4\n");
    engine.Send("e7e5\n");
    engine.Send("a1a1\n");
    Quit();
    EXPECT_EQ(engine.Output(), std::string("\nfeature done=0\nfeature setboard=1\nfeature done=1\n") +
                                   "Illegal move: e2e5\nIllegal move: e7e5\nIllegal move: e1g1\nIllegal move: a1a1\n");
    ASSERT_TRUE(PlayInProcess(InitialFen, {"e2e4", "e7e5"}));
    std::vector<std::string> log = Lines(engine.Log());
    size_t last = FindLine(log, "::cmd:: e7e5", FindLine(log, "::cmd:: e2e4"));
    ASSERT_LT(last + 1, log.size());
    EXPECT_EQ(log[last + 1], HashLine());
    EXPECT_LT(FindLine(log, "Illegal move: e2e5"), log.size());
}

TEST_F(Game, IllegalMoveWhilePonderingIsRefusedAndPlayContinues) {
    engine.Send("new\nlevel 40 1 0\nhard\n");
    std::string reply = Reply("e2e4");
    ASSERT_FALSE(reply.empty());
    ASSERT_FALSE(WaitForLogLine(engine, Timeout, "move " + reply, "-FEN:\t").empty());
    engine.Send("e1e3\n");
    ASSERT_TRUE(engine.WaitFor("Illegal move: e1e3\n", Timeout));
    ASSERT_TRUE(PlayInProcess(InitialFen, {"e2e4", reply}));
    std::string second = LegalMoveTexts().front();
    ASSERT_FALSE(Reply(second).empty());
    Quit();
    ASSERT_TRUE(PlayInProcess(InitialFen, {"e2e4", reply, second}));
    std::vector<std::string> log = Lines(engine.Log());
    size_t played = FindLine(log, "::cmd:: " + second);
    ASSERT_LT(played + 1, log.size());
    EXPECT_EQ(log[played + 1], HashLine());
}

TEST_F(Game, EngineMatedOnItsTurn) {
    engine.Send("setboard rnb1kbnr/pppp1ppp/8/4p3/6Pq/5P2/PPPPP2P/RNBQKBNR w KQkq - 1 3\n");
    engine.Send("go\n");
    ASSERT_TRUE(engine.WaitFor("0-1 {Kavrin mated 0}\n", Timeout)) << engine.Output();
    Quit();
    EXPECT_EQ(engine.Output().find("move "), std::string::npos);
}

TEST_F(Game, StalemateAndInsufficientMaterialAtTheRoot) {
    engine.Send("setboard 7k/5Q2/6K1/8/8/8/8/8 b - - 0 1\ngo\n");
    ASSERT_TRUE(engine.WaitFor("1/2-1/2 {Draw by stalemate (1)}\n", Timeout)) << engine.Output();
    engine.Send("setboard 8/8/4k3/8/8/3K4/8/8 w - - 0 1\ngo\n");
    ASSERT_TRUE(engine.WaitFor("1/2-1/2 {Draw by insufficient material to mate (4)}\n", Timeout)) << engine.Output();
    Quit();
    EXPECT_EQ(engine.Output().find("move "), std::string::npos);
}

TEST_F(Game, DrawMadeByTheEnginesMove) {
    engine.Send("setboard 1k6/2n5/8/3R4/8/8/8/7K b - - 0 1\nlevel 40 1 0\n");
    EXPECT_EQ(Reply("go"), "c7d5");
    ASSERT_TRUE(engine.WaitFor("1/2-1/2 {Draw by insufficient material to mate (44)}\n", Timeout)) << engine.Output();
    Quit();
    EXPECT_NE(engine.Output().find("\nmove c7d5\n1/2-1/2 {Draw by insufficient material to mate (44)}\n"),
              std::string::npos);
}

// Black is lost against the mate threat Rb8 and saves itself by a perpetual
// check; the queen reached e1 twice from two different squares, so the
// engine's check from e2 makes the position after it stand a third time
// while the position before it has stood only twice.
TEST_F(Game, RepetitionMadeByTheEnginesMove) {
    engine.Send(
        "setboard 6k1/RR6/8/8/8/6P1/7P/4q2K w - - 0 1\nlevel 40 5 0\nforce\n"
        "h1g2\ne1e2\ng2g1\ne2e1\ng1g2\ne1e4\ng2g1\ne4e1\ng1g2\ne1e2\ng2g1\n");
    EXPECT_EQ(Reply("go"), "e2e1");
    ASSERT_TRUE(engine.WaitFor("1/2-1/2 {Draw by 3 fold repetition (22)}\n", Timeout)) << engine.Output();
    Quit();
    EXPECT_NE(engine.Output().find("\nmove e2e1\n1/2-1/2 {Draw by 3 fold repetition (22)}\n"), std::string::npos);
    std::vector<std::string> log = Lines(engine.Log());
    size_t moveLine = FindLine(log, "move e2e1\tscore: 0");
    ASSERT_LT(moveLine + 1, log.size()) << engine.Log();
    EXPECT_EQ(log[moveLine + 1], "- NO ponder move");
    EXPECT_EQ(engine.Output().find("Illegal"), std::string::npos);
}

TEST_F(Game, GameTooLongForTheHistoryIsRefused) {
    const char* cycle[4] = {"g1f3", "g8f6", "f3g1", "f6g8"};
    std::string moves = "new\nforce\n";
    for (int i = 0; i <= GameHistoryLimit; ++i) moves += std::string(cycle[i % 4]) + "\n";
    engine.Send(moves);
    std::string refused = cycle[GameHistoryLimit % 4];
    ASSERT_TRUE(engine.WaitFor("Error (game too long): " + refused + "\n", Timeout));
    engine.Send("go\n");
    ASSERT_TRUE(engine.WaitFor("Error (game too long): go\n", Timeout));
    Quit();
    EXPECT_EQ(engine.Output().find("Illegal"), std::string::npos);
    EXPECT_EQ(engine.Output().find("move "), std::string::npos);
}

}  // namespace
}  // namespace kavrin
