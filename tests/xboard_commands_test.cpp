// The protocol-2 commands beyond the first protocol version: analyze mode
// with its status requests, take-backs, "?", "st", "sd", "ping", "bk" and
// "hint", "post" and "nopost". In process, the take-back against the moves
// played directly; end to end over pipes, the command sequences that XBoard
// sends.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <memory>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "board/board.h"
#include "board/fen.h"
#include "board/legal.h"
#include "board/makemove.h"
#include "board/movegen.h"
#include "board/movetext.h"
#include "book/book.h"
#include "driver/game.h"
#include "search/game.h"
#include "support/board_setup.h"
#include "support/engine_process.h"
#include "support/files.h"
#include "support/game_log.h"
#include "support/test_engine.h"
#include "support/text.h"

namespace kavrin::test {
namespace {

constexpr int Timeout = 20000;
constexpr const char* Middlegame = "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq -";
// A clock on which a search would take far longer than any test waits.
constexpr const char* LongClock = "level 40 60 0\ntime 360000\notim 360000\n";

// ---------------------------------------------------------------------------
// In process: taking moves back leaves what playing fewer moves leaves.

struct GameState {
    Board board;
    GameSnapshot snapshot;
    int side;
    uint16_t ply;
    std::vector<HistoryEntry> history;  // up to and including the top entry
};

GameState CurrentGame() {
    GameState s{gamePosition.board, gamePosition.snapshot, gamePosition.sideToMove, gamePosition.gamePly, {}};
    s.history.assign(gamePosition.history, gamePosition.historyTop + 1);
    return s;
}

void ExpectSameGame(const GameState& a, const GameState& b) {
    ExpectSameBoard(a.board, b.board);
    EXPECT_EQ(0, std::memcmp(a.snapshot.pieceOn, b.snapshot.pieceOn, sizeof a.snapshot.pieceOn));
    EXPECT_EQ(a.snapshot.epSquare, b.snapshot.epSquare);
    EXPECT_EQ(a.snapshot.castling, b.snapshot.castling);
    EXPECT_EQ(a.side, b.side);
    EXPECT_EQ(a.ply, b.ply);
    ASSERT_EQ(a.history.size(), b.history.size());
    for (size_t i = 0; i < a.history.size(); ++i) {
        EXPECT_EQ(a.history[i].hashKey, b.history[i].hashKey) << "entry " << i;
        EXPECT_EQ(a.history[i].fiftyCounter, b.history[i].fiftyCounter) << "entry " << i;
        // The top entry's move is the next one, not played yet.
        if (i + 1 < a.history.size()) {
            EXPECT_EQ(a.history[i].move, b.history[i].move) << "entry " << i;
        }
    }
}

// A double push taken en passant, both castlings, a promotion that captures
// and its capture, then a repetition.
constexpr const char* TakeBackStart = "r3k2r/6P1/8/8/3p4/8/4P3/R3K2R w KQkq - 0 1";
const std::vector<std::string> TakeBackGame = {"e2e4", "d4e3", "e1g1", "e8c8", "g7h8q", "d8h8", "a1a2",
                                               "c8b8", "a2a1", "b8c8", "a1a2", "c8b8",  "a2a1", "b8c8"};

void PlayGameMoves(size_t count) {
    SetUpPosition(TakeBackStart);
    MarkGameStart(test::TestSession());
    for (size_t i = 0; i < count; ++i) {
        const Move m = TextToMove(gamePosition, TakeBackGame[i].c_str());
        ASSERT_TRUE(IsLegalMove(gamePosition, m)) << TakeBackGame[i];
        GameMove(test::TestSession(), m);
    }
}

TEST(TakeBack, EveryDepthEqualsPlayingFewerMoves) {
    for (size_t back = 0; back <= TakeBackGame.size(); ++back) {
        SCOPED_TRACE(back);
        PlayGameMoves(TakeBackGame.size() - back);
        const GameState expected = CurrentGame();
        const Move expectedDraw = DrawCheck(gamePosition, 2);
        PlayGameMoves(TakeBackGame.size());
        ASSERT_TRUE(TakeBackGameMoves(test::TestSession(), static_cast<int>(back)));
        ExpectSameGame(CurrentGame(), expected);
        EXPECT_EQ(DrawCheck(gamePosition, 2), expectedDraw);
    }
    // The last move made the third repetition; taken back and played again
    // it makes it again.
    PlayGameMoves(TakeBackGame.size());
    EXPECT_EQ(DrawCheck(gamePosition, 2), ResultRepetition);
    ASSERT_TRUE(TakeBackGameMoves(test::TestSession(), 1));
    EXPECT_EQ(DrawCheck(gamePosition, 2), 0);
    GameMove(test::TestSession(), TextToMove(gamePosition, "b8c8"));
    EXPECT_EQ(DrawCheck(gamePosition, 2), ResultRepetition);
}

TEST(TakeBack, PastTheStartIsRefusedAndChangesNothing) {
    PlayGameMoves(3);
    const GameState before = CurrentGame();
    EXPECT_FALSE(TakeBackGameMoves(test::TestSession(), 4));
    ExpectSameGame(CurrentGame(), before);
    // The side changed by hand starts the game again there.
    SetSideToMove(gamePosition, White);
    MarkGameStart(test::TestSession());
    EXPECT_FALSE(TakeBackGameMoves(test::TestSession(), 1));
    EXPECT_TRUE(TakeBackGameMoves(test::TestSession(), 0));
}

// ---------------------------------------------------------------------------
// End to end.

struct Thinking {
    int depth;
    long long nodes;
};

// The thinking lines of text, in order.
std::vector<Thinking> ThinkingLines(const std::string& text) {
    static const std::regex line(" +([0-9]+) +-?[0-9]+ +[0-9]+ +([0-9]+) .*");
    std::vector<Thinking> found;
    for (const std::string& l : Lines(text)) {
        std::smatch m;
        if (std::regex_match(l, m, line)) found.push_back({std::stoi(m[1]), std::stoll(m[2])});
    }
    return found;
}

int DeepestThinking(const std::string& text) {
    int deepest = 0;
    for (const Thinking& t : ThinkingLines(text)) deepest = std::max(deepest, t.depth);
    return deepest;
}

size_t CountLines(const std::string& text, const std::string& prefix) {
    size_t n = 0;
    for (const std::string& line : Lines(text)) n += line.rfind(prefix, 0) == 0 ? 1 : 0;
    return n;
}

double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

class XboardCommands : public ::testing::Test {
  protected:
    void SetUp() override {
        if (shippedBooks) {
            for (const char* name : {"bookwtm.mbx", "bookwtm.mbk", "bookbtm.mbx", "bookbtm.mbk"})
                engine.WriteFile(name, ReadFileBytes(std::string(KAVRIN_SOURCE_DIR) + "/" + name));
        } else {
            engine.WriteEmptyBooks();
        }
        ASSERT_TRUE(engine.Start());
        ASSERT_TRUE(engine.Greet());
    }
    void Quit() {
        engine.Send("quit\n");
        int status = -1;
        ASSERT_TRUE(engine.WaitExit(Timeout, &status)) << "the engine hangs";
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0);
    }
    size_t LogLineCount() const { return Lines(engine.Log()).size(); }
    // Sends text and returns the position of the next search, as its log
    // line shows it; empty when no search starts.
    std::string SearchedAfter(const std::string& text) {
        const size_t from = LogLineCount();
        engine.Send(text);
        const size_t at = WaitForLogLineFrom(engine, Timeout, from, "-FEN:\t");
        const std::vector<std::string> lines = Lines(engine.Log());
        return at < lines.size() ? lines[at].substr(6) : "";
    }
    // The engine's next move, legal in the in-process position and played there.
    std::string LegalReply() {
        const std::string line = engine.WaitForLine("move ", Timeout);
        if (line.empty()) return "";
        const std::string text = line.substr(5);
        const Move m = TextToMoveOnBoard(gamePosition, text.c_str());
        if (!IsLegalMove(gamePosition, m)) return "illegal " + text;
        UndoRecord ply{};
        SaveForMake(gamePosition, ply);
        MakeMove(gamePosition, m, ply);
        return text;
    }

    bool shippedBooks = false;
    EngineProcess engine{KAVRIN_BINARY};
};

std::string FenAfter(const char* fen, const std::vector<std::string>& moves) {
    return PlayInProcess(fen, moves) ? FenOfBoard() : "(not played)";
}

// XBoard enters analysis with "post" and "analyze" after the moves in force
// mode, sends each move of the game, and leaves with "exit".
TEST_F(XboardCommands, AnalysisFollowsMovesUndoNewAndSetboardUntilExit) {
    engine.Send("new\nlevel 40 5 0\npost\nhard\nforce\nd2d4\n");
    EXPECT_EQ(SearchedAfter("analyze\n"), FenAfter(InitialFen, {"d2d4"}));
    ASSERT_FALSE(engine.WaitForLine("    ", Timeout).empty()) << "no thinking line";
    EXPECT_EQ(SearchedAfter("g8f6\n"), FenAfter(InitialFen, {"d2d4", "g8f6"}));
    EXPECT_EQ(SearchedAfter("undo\n"), FenAfter(InitialFen, {"d2d4"}));
    EXPECT_EQ(SearchedAfter("new\n"), FenAfter(InitialFen, {}));
    EXPECT_EQ(SearchedAfter("setboard " + std::string(Middlegame) + "\n"), Middlegame);
    ASSERT_FALSE(engine.WaitForLine("    ", Timeout).empty()) << "no thinking line";
    // "exit" ends the analysis for good; the moves that follow are recorded.
    const size_t beforeExit = LogLineCount();
    engine.Send("exit\ne1g1\n");
    const size_t played = WaitForLogLineFrom(engine, Timeout, beforeExit, "::cmd:: e1g1");
    WaitForLogLineFrom(engine, Timeout, played + 1, "");
    engine.Drain(200);
    const size_t logLines = LogLineCount();
    const size_t output = engine.Output().size();
    engine.Drain(1000);
    EXPECT_EQ(LogLineCount(), logLines);
    EXPECT_EQ(engine.Output().size(), output);
    EXPECT_EQ(SearchedAfter("sd 3\ngo\n"), FenAfter(Middlegame, {"e1g1"}));
    EXPECT_FALSE(LegalReply().empty());
    Quit();
    // Analysis never plays: the one move is the answer to "go".
    EXPECT_EQ(CountLines(engine.Output(), "move "), 1u) << engine.Output();
    EXPECT_EQ(engine.Output().find("Illegal"), std::string::npos) << engine.Output();
}

// "." every second for 30 seconds, answered from the running search: the
// analysis is never restarted and reaches the depth of an analysis that
// nobody asked, running beside it for the same time.
TEST_F(XboardCommands, StatusEverySecondCostsTheAnalysisNoDepth) {
    EngineProcess quiet{KAVRIN_BINARY};
    quiet.WriteEmptyBooks();
    ASSERT_TRUE(quiet.Start());
    ASSERT_TRUE(quiet.Greet());
    const std::string start = "setboard " + std::string(Middlegame) + "\npost\nanalyze\n";
    quiet.Send(start);
    engine.Send(start);
    static const std::regex status(
        "stat01: ([0-9]+) ([0-9]+) ([0-9]+) ([0-9]+) ([0-9]+)( [a-h][1-8][a-h][1-8][qrbn]?)?");
    long long lastNodes = -1;
    int lastTime = -1;
    for (int second = 0; second < 30; ++second) {
        const auto sent = std::chrono::steady_clock::now();
        engine.Send(".\n");
        const std::string line = engine.WaitForLine("stat01: ", Timeout);
        std::smatch m;
        ASSERT_TRUE(std::regex_match(line, m, status)) << '"' << line << '"';
        EXPECT_GE(std::stoll(m[2]), lastNodes) << "the search started again: " << line;
        EXPECT_GE(std::stoi(m[1]), lastTime) << line;
        EXPECT_LE(std::stoi(m[4]), std::stoi(m[5])) << line;
        lastNodes = std::stoll(m[2]);
        lastTime = std::stoi(m[1]);
        const double left = 1.0 - SecondsSince(sent);
        if (left > 0) std::this_thread::sleep_for(std::chrono::duration<double>(left));
    }
    engine.Send("exit\n");
    quiet.Send("exit\n");
    engine.Drain(300);
    quiet.Drain(300);
    const int asked = DeepestThinking(engine.Output());
    const int unasked = DeepestThinking(quiet.Output());
    EXPECT_GE(asked, unasked - 1) << "with status requests " << asked << ", without " << unasked;
    EXPECT_GE(asked, 4);
    // One search from the start: one root position in the log.
    EXPECT_EQ(CountLines(engine.Log(), "-FEN:\t"), 1u);
    EXPECT_EQ(CountLines(engine.Log(), "::cmd:: ."), 30u);
    Quit();
    quiet.Send("quit\n");
}

// The take-back from the report: "remove" after the engine's reply, then
// another first move; the engine's game is the game of that move alone.
TEST_F(XboardCommands, RemoveAfterTheEnginesReplyThenAnotherMove) {
    engine.Send("new\nsd 3\n");
    ASSERT_TRUE(PlayInProcess(InitialFen, {"e2e4"}));
    engine.Send("e2e4\n");
    ASSERT_FALSE(LegalReply().empty());
    engine.Send("remove\n");
    const size_t from = LogLineCount();
    const std::string searched = SearchedAfter("d2d4\n");
    ASSERT_TRUE(PlayInProcess(InitialFen, {"d2d4"}));
    EXPECT_EQ(searched, FenOfBoard());
    const std::vector<std::string> log = Lines(engine.Log());
    const size_t played = FindLine(log, "::cmd:: d2d4", from);
    ASSERT_LT(played + 1, log.size());
    EXPECT_EQ(log[played + 1], HashLine());
    EXPECT_EQ(LegalReply().find("illegal"), std::string::npos);
    Quit();
}

TEST_F(XboardCommands, UndoInForceModeAndPastTheStart) {
    engine.Send("new\nforce\ne2e4\ne7e5\nundo\nd7d5\nundo\nundo\nundo\n");
    ASSERT_TRUE(engine.WaitFor("Error (no move to take back): undo\n", Timeout)) << engine.Output();
    const size_t from = LogLineCount();
    engine.Send("c2c4\nd7d5\n");
    ASSERT_TRUE(PlayInProcess(InitialFen, {"c2c4", "d7d5"}));
    const size_t played = WaitForLogLineFrom(engine, Timeout, from, "::cmd:: d7d5");
    WaitForLogLineFrom(engine, Timeout, played + 1, "");
    const std::vector<std::string> log = Lines(engine.Log());
    ASSERT_LT(played + 1, log.size());
    EXPECT_EQ(log[played + 1], HashLine());
    Quit();
    // Only the undo past the start is refused.
    EXPECT_EQ(engine.Output().find("Illegal"), std::string::npos) << engine.Output();
    EXPECT_EQ(CountLines(engine.Output(), "Error ("), 1u) << engine.Output();
}

TEST_F(XboardCommands, UndoWhilePonderingTakesThePonderMoveBackFirst) {
    engine.Send("new\nhard\nsd 4\n");
    ASSERT_TRUE(PlayInProcess(InitialFen, {"e2e4"}));
    engine.Send("e2e4\n");
    const std::string reply = LegalReply();
    ASSERT_FALSE(reply.empty());
    // The ponder search has started on an assumed reply.
    ASSERT_FALSE(WaitForLogLine(engine, Timeout, "move " + reply, "-FEN:\t").empty()) << engine.Log();
    engine.Send("undo\n");
    ASSERT_TRUE(PlayInProcess(InitialFen, {"e2e4"}));
    EXPECT_EQ(SearchedAfter("go\n"), FenOfBoard());
    EXPECT_EQ(LegalReply().find("illegal"), std::string::npos);
    Quit();
}

TEST_F(XboardCommands, MoveNowPlaysTheBestMoveSoFarAndPondersOn) {
    engine.Send("setboard " + std::string(Middlegame) + "\n" + LongClock + "go\n");
    engine.Drain(1000);
    const auto asked = std::chrono::steady_clock::now();
    engine.Send("?\n");
    ASSERT_TRUE(PlayInProcess(Middlegame, {}));
    const std::string reply = LegalReply();
    EXPECT_LT(SecondsSince(asked), 5.0);
    ASSERT_FALSE(reply.empty());
    EXPECT_EQ(reply.find("illegal"), std::string::npos);
    // "?" was taken by the search, so nothing waits and pondering starts.
    EXPECT_FALSE(WaitForLogLine(engine, Timeout, "move " + reply, "-M: entered StartEngine").empty()) << engine.Log();
    Quit();
}

TEST_F(XboardCommands, FixedSecondsPerMoveReplaceTheClock) {
    engine.Send("setboard " + std::string(Middlegame) + "\neasy\n" + LongClock + "st 1\n");
    ASSERT_TRUE(PlayInProcess(Middlegame, {}));
    const auto asked = std::chrono::steady_clock::now();
    engine.Send("go\n");
    ASSERT_FALSE(LegalReply().empty());
    const double seconds = SecondsSince(asked);
    EXPECT_GT(seconds, 0.7);
    EXPECT_LT(seconds, 5.0);
    Quit();
}

TEST_F(XboardCommands, DepthLimitAndThinkingOutputSwitches) {
    engine.Send("setboard " + std::string(Middlegame) + "\neasy\nforce\n" + LongClock + "sd 3\nnopost\n");
    ASSERT_TRUE(PlayInProcess(Middlegame, {}));
    engine.Send("go\n");
    ASSERT_FALSE(LegalReply().empty());
    EXPECT_TRUE(ThinkingLines(engine.Output()).empty()) << engine.Output();
    // The log keeps its iteration notes either way.
    EXPECT_GT(CountLines(engine.Log(), "-E: "), 0u);
    const size_t mark = engine.Output().size();
    engine.Send("force\npost\ngo\n");
    ASSERT_FALSE(LegalReply().empty());
    const std::vector<Thinking> lines = ThinkingLines(engine.Output().substr(mark));
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(DeepestThinking(engine.Output().substr(mark)), 3);
    Quit();
}

TEST_F(XboardCommands, PongComesAfterTheMoveOfAnEarlierGoAndWhilePondering) {
    engine.Send("setboard " + std::string(Middlegame) + "\nhard\n" + LongClock + "go\nping 7\n");
    ASSERT_TRUE(engine.WaitFor("pong 7\n", Timeout)) << engine.Output();
    const std::string& out = engine.Output();
    const size_t move = out.find("\nmove ");
    ASSERT_NE(move, std::string::npos) << out;
    EXPECT_LT(move, out.find("pong 7\n"));
    // While the engine ponders, the answer comes at once and pondering goes on.
    ASSERT_TRUE(PlayInProcess(Middlegame, {out.substr(move + 6, out.find('\n', move + 1) - move - 6)}));
    const std::string answer = LegalMoveTexts().front();
    ASSERT_TRUE(PlayInProcess(FenOfBoard().c_str(), {answer}));
    engine.Send("time 300\notim 300\n" + answer + "\n");
    const std::string reply = LegalReply();
    ASSERT_FALSE(reply.empty());
    ASSERT_FALSE(WaitForLogLine(engine, Timeout, "move " + reply, "-FEN:\t").empty()) << engine.Log();
    const size_t from = LogLineCount();
    engine.Send("ping 8\n");
    ASSERT_TRUE(engine.WaitFor("pong 8\n", Timeout)) << engine.Output();
    const size_t resumed = WaitForLogLineFrom(engine, Timeout, from, "-M: entered StartEngine");
    EXPECT_LT(resumed, LogLineCount()) << engine.Log();
    Quit();
}

class ShippedBook : public XboardCommands {
  protected:
    ShippedBook() { shippedBooks = true; }
};

TEST_F(ShippedBook, BookMovesOfTheStartPositionAndAHint) {
    engine.Send("new\nbk\n");
    ASSERT_TRUE(engine.WaitFor("\n\n", Timeout)) << engine.Output();
    // The moves whose position the shipped book for Black to move holds.
    ASSERT_TRUE(PlayInProcess(InitialFen, {}));
    const auto books = std::make_unique<BookSet>();
    BookSet& bookSet = *books;
    ASSERT_TRUE(bookSet.LoadBook(Black, (std::string(KAVRIN_SOURCE_DIR) + "/bookbtm").c_str()));
    std::vector<std::string> expected;
    for (const std::string& text : LegalMoveTexts()) {
        ASSERT_TRUE(PlayInProcess(InitialFen, {text}));
        if (BookContains(bookSet.book[Black], gamePosition.board.hashKey)) expected.push_back(" " + text);
    }
    bookSet.Close();
    ASSERT_FALSE(expected.empty());
    std::vector<std::string> listed;
    for (const std::string& line : Lines(engine.Output())) {
        if (!line.empty() && line[0] == ' ') listed.push_back(line);
    }
    std::sort(expected.begin(), expected.end());
    std::sort(listed.begin(), listed.end());
    EXPECT_EQ(listed, expected);
    // Out of the book: the same form.
    engine.Send("setboard " + std::string(Middlegame) + "\nbk\n");
    ASSERT_TRUE(engine.WaitFor(" no book moves\n\n", Timeout)) << engine.Output();
    // After the engine's move the table expects a reply.
    ASSERT_TRUE(PlayInProcess(Middlegame, {}));
    engine.Send(std::string("easy\nsd 4\ngo\n"));
    ASSERT_FALSE(LegalReply().empty());
    engine.Send("hint\n");
    const std::string hint = engine.WaitForLine("Hint: ", Timeout);
    ASSERT_FALSE(hint.empty()) << engine.Output();
    EXPECT_TRUE(IsLegalMove(gamePosition, TextToMoveOnBoard(gamePosition, hint.substr(6).c_str()))) << hint;
    Quit();
}

}  // namespace
}  // namespace kavrin::test
