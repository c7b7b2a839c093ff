// End to end, an interface that misbehaves: over-long words and lines,
// binary and NUL bytes, thousands of moves, searches without a position,
// commands while the engine thinks or ponders, and input that ends in the
// middle of a command. The engine must never crash or hang, every line it
// prints must be one the protocol allows, and every move it plays must be
// legal: the test replays the game with the engine's own position code.
#include <gtest/gtest.h>

#include <cctype>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "board/board.h"
#include "board/fen.h"
#include "board/legal.h"
#include "board/movetext.h"
#include "driver/game.h"
#include "search/game.h"
#include "support/board_setup.h"
#include "support/engine_process.h"
#include "support/game_log.h"
#include "support/test_engine.h"
#include "support/text.h"

namespace kavrin::test {
namespace {

constexpr int Timeout = 20000;
// Time left on both clocks for a quick game (centiseconds).
constexpr const char* QuickClock = "time 300\notim 300\n";
// Enough time for a search to be still running when the next command comes.
constexpr const char* LongClock = "time 1000000\notim 1000000\n";

// The lines an engine may print to an interface (and the workbench replies
// that the abuse can provoke).
bool IsAllowedLine(const std::string& line) {
    static const std::regex allowed[] = {
        std::regex(""),
        std::regex("feature (done=0|setboard=1|done=1)"),
        std::regex("move [a-h][1-8][a-h][1-8][qrbn]?"),
        std::regex(" +[0-9]+ +-?[0-9]+ +[0-9]+ +[0-9]+ .*"),
        std::regex("(1-0|0-1|1/2-1/2) \\{[^}]*\\}"),
        std::regex("Illegal move: .*"),
        std::regex("Error \\([a-z ]+\\): .*"),
        std::regex("Warning cannot recognize move: .*\r"),
        std::regex("YES|NO"),  // "bookshow"
    };
    for (const std::regex& pattern : allowed) {
        if (std::regex_match(line, pattern)) return true;
    }
    return false;
}

// The game as the engine should see it, kept with the engine's own Board:
// moves are accepted only when they are legal there.
class GameMirror {
  public:
    GameMirror() { Reset(InitialFen); }
    void Reset(const char* fen) { ReadFen(gamePosition, fen); }
    // Plays the coordinate text when it is a legal move; false otherwise.
    bool Play(const std::string& text) {
        if (!PlayIfLegal(text)) return false;
        // A long game is carried on from its position alone, so the history
        // never fills.
        if (gamePosition.HistoryIndex() > HistorySize / 2) {
            char fen[FenTextSize];
            WriteFen(gamePosition, fen);
            ReadFen(gamePosition, fen);
        }
        return true;
    }
    // Some legal move of the position, as text; empty when there is none.
    std::string AnyMove() const {
        const Move m = FirstLegalMove(gamePosition);
        return m == 0 ? "" : MoveText(m);
    }
};

class Abuse : public ::testing::Test {
  protected:
    void SetUp() override {
        engine.WriteEmptyBooks();
        ASSERT_TRUE(engine.Start());
        ASSERT_TRUE(engine.Greet(Timeout));
    }

    // Waits for the engine's next move and checks it against the mirror,
    // which then plays it.
    void ExpectLegalReply() {
        const std::string line = engine.WaitForLine("move ", Timeout);
        ASSERT_FALSE(line.empty()) << "no move within the timeout\n" << engine.Output() << "\nlog:\n" << LogTail();
        EXPECT_TRUE(mirror.Play(line.substr(5))) << "illegal engine move: " << line;
    }

    // Ends the session with "quit" (or closes the input) and checks that the
    // engine left normally and printed only allowed lines.
    void Finish(bool sendQuit = true) {
        if (sendQuit) engine.Send("quit\n");
        engine.CloseInput();
        ASSERT_TRUE(engine.ExitsNormally(Timeout)) << engine.Output();
        ExpectOnlyAllowedLines();
    }

    // The first line after output position `from` that begins with one of
    // the prefixes; empty when none comes within the timeout.
    std::string WaitForLineAfter(size_t from, const std::vector<std::string>& prefixes) {
        for (int waited = 0; waited < Timeout; waited += 100) {
            for (const std::string& line : Lines(engine.Output().substr(from))) {
                for (const std::string& prefix : prefixes) {
                    if (line.rfind(prefix, 0) == 0) return line;
                }
            }
            engine.Drain(100);
        }
        return "";
    }

    std::string LogTail() const {
        const std::string log = engine.Log();
        return log.size() > 3000 ? log.substr(log.size() - 3000) : log;
    }

    void ExpectOnlyAllowedLines() {
        for (const std::string& line : Lines(engine.Output())) EXPECT_TRUE(IsAllowedLine(line)) << '"' << line << '"';
    }

    // Every "move" line of the output after position `from`, checked in
    // order against the mirror.
    void ExpectLegalMovesSince(size_t from) {
        for (const std::string& line : Lines(engine.Output().substr(from))) {
            if (line.rfind("move ", 0) == 0) {
                EXPECT_TRUE(mirror.Play(line.substr(5))) << "illegal engine move: " << line;
            }
        }
    }

    EngineProcess engine{KAVRIN_BINARY};
    GameMirror mirror;
};

TEST_F(Abuse, OverlongWordsNeitherCrashNorLeaveTailsThatAct) {
    // The tails beyond the word limit would end the engine if they were read
    // as words of their own.
    engine.Send(std::string(300, 'x') + "\n");
    engine.Send(std::string(260, 'g') + "quit\n");
    engine.Send(std::string(255, 'n') + "quit\n");
    engine.Send("new\n" + std::string(QuickClock) + std::string(300, 'e') + "\ne2e4\n");
    ASSERT_TRUE(mirror.Play("e2e4"));
    ExpectLegalReply();
    Finish();
}

TEST_F(Abuse, ThousandCharacterSetboardLineIsCutAndItsTailDropped) {
    std::string line = "setboard rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1";
    line += std::string(1000 - line.size() - 4, ' ') + "quit";
    engine.Send(line + "\n");
    engine.Send(std::string("setboard ") + std::string(991, '8') + "\n");
    engine.Send(std::string("setboard ") + std::string(400, '/') + "quit\n");
    engine.Send(std::string("new\nsetboard ") + "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1" +
                std::string(900, ' ') + "e7e5\n");
    engine.Send(QuickClock);
    engine.Send("go\n");
    mirror.Reset("rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3");
    ExpectLegalReply();
    Finish();
}

TEST_F(Abuse, BinaryAndNulBytesAreWordsLikeAnyOther) {
    std::string noise;
    for (int i = 0; i < 256; ++i) noise += static_cast<char>(i);
    for (int i = 0; i < 256; ++i) noise += static_cast<char>((i * 37 + 11) & 0xFF);
    engine.Send(noise);
    static const char garbage[] = "\n\0e2e4\0\nsetboard \0\0\0\ntime\xff\xfe\n\x80\x81level\n";
    engine.Send(std::string(garbage, sizeof garbage - 1));
    engine.Send(std::string("\nnew\n") + QuickClock + "d2d4\n");
    ASSERT_TRUE(mirror.Play("d2d4"));
    ExpectLegalReply();
    Finish();
}

TEST_F(Abuse, ThousandsOfMovesInForceModeThenASearch) {
    std::string moves = "new\nforce\n";
    const char* shuffle[] = {"g1f3", "g8f6", "f3g1", "f6g8"};
    constexpr int Plies = 3001;
    for (int i = 0; i < Plies; ++i) moves += std::string(shuffle[i % 4]) + "\n";
    engine.Send(moves);
    const size_t mark = engine.Output().size();
    engine.Send(std::string(QuickClock) + "go\n");
    // The search answers with a move or a draw claim, or is refused when the
    // game has no room left for it.
    const std::string reply = WaitForLineAfter(mark, {"move ", "1/2-1/2 {", "Error (game too long): go"});
    ASSERT_FALSE(reply.empty()) << "no answer to go\n" << LogTail();
    // Moves beyond the room of the game are refused one by one, and every
    // move after a refused one is refused as well (the position stays).
    size_t refused = 0;
    for (const std::string& line : Lines(engine.Output().substr(0, mark))) {
        refused += line.rfind("Error (game too long): ", 0) == 0 || line.rfind("Illegal move: ", 0) == 0 ? 1 : 0;
    }
    ASSERT_LE(refused, static_cast<size_t>(Plies));
    for (size_t i = 0; i < Plies - refused; ++i) ASSERT_TRUE(mirror.Play(shuffle[i % 4])) << "ply " << i;
    if (reply.rfind("move ", 0) == 0) {
        EXPECT_TRUE(mirror.Play(reply.substr(5))) << "illegal engine move: " << reply;
    }
    Finish();
}

TEST_F(Abuse, GoWithoutAPositionOrOnABrokenOneIsHarmless) {
    engine.Send(std::string(QuickClock) + "go\n");
    engine.Send("setboard 8/8/8/8/8/8/8/8 w - -\ngo\n");
    engine.Send("setboard 8/8/8/8/8/8/8/K7 w - -\ngo\ne2e4\n");
    engine.Send("setboard kkkkkkkk/8/8/8/8/8/8/KKKKKKKK w KQkq -\ngo\n");
    engine.Send("white\ngo\nblack\ngo\n");
    engine.Send("new\n" + std::string(QuickClock) + "go\n");
    // Only the search on the start position may produce a move.
    ExpectLegalReply();
    engine.Drain(300);
    size_t moves = 0;
    for (const std::string& line : Lines(engine.Output())) moves += line.rfind("move ", 0) == 0 ? 1 : 0;
    EXPECT_EQ(moves, 1u) << engine.Output();
    Finish();
}

TEST_F(Abuse, CommandsWhileThinkingStopTheSearchFirst) {
    // "force" during a search: the move found so far is played and printed,
    // then the engine waits.
    engine.Send(std::string("new\n") + LongClock + "go\n");
    engine.Drain(300);
    engine.Send("force\n");
    ExpectLegalReply();
    const std::string answer = mirror.AnyMove();
    ASSERT_FALSE(answer.empty());
    engine.Send(answer + "\n");
    ASSERT_TRUE(mirror.Play(answer));
    engine.Send("go\n");
    engine.Drain(300);
    // A move word during a search is read after the engine's move, and is
    // played only if it is legal then.
    const size_t mark = engine.Output().size();
    engine.Send("e7e5\n");
    ExpectLegalReply();
    const bool accepted = mirror.Play("e7e5");
    if (accepted) {
        // The engine now thinks on a long clock: "force" makes it move.
        engine.Drain(200);
        engine.Send("force\n");
        ExpectLegalReply();
    }
    engine.Drain(300);
    const std::string after = engine.Output().substr(mark);
    EXPECT_EQ(after.find("Illegal move: e7e5") == std::string::npos, accepted) << after;
    // "new" and "setboard" during a search.
    engine.Send("force\nnew\n" + std::string(LongClock) + "go\n");
    engine.Drain(200);
    engine.Send("setboard 4k3/8/8/8/8/8/4P3/4K3 w - -\n");
    mirror.Reset(InitialFen);
    const size_t beforeSetboard = engine.Output().size();
    ExpectLegalReply();
    engine.Send(std::string(QuickClock) + "go\n");
    mirror.Reset("4k3/8/8/8/8/8/4P3/4K3 w - -");
    ExpectLegalReply();
    EXPECT_GT(engine.Output().size(), beforeSetboard);
    // "quit" during a search ends the engine at once.
    engine.Send(std::string("force\nnew\n") + LongClock + "go\n");
    engine.Drain(200);
    Finish();
}

TEST_F(Abuse, MovesAndCommandsWhilePondering) {
    engine.Send(std::string("hard\nnew\n") + QuickClock + "e2e4\n");
    ASSERT_TRUE(mirror.Play("e2e4"));
    for (int turn = 0; turn < 6; ++turn) {
        ExpectLegalReply();
        // The engine now ponders on our time; our move is a hit or a miss.
        engine.Drain(100);
        const std::string answer = mirror.AnyMove();
        if (answer.empty()) break;
        engine.Send(std::string(QuickClock) + answer + "\n");
        ASSERT_TRUE(mirror.Play(answer));
    }
    ExpectLegalReply();
    // Commands while pondering: a query, then a new position to search.
    engine.Drain(100);
    engine.Send("bookshow\n");
    engine.Drain(100);
    engine.Send("setboard 4k3/8/8/8/8/8/4P3/4K3 b - -\n" + std::string(QuickClock) + "go\n");
    mirror.Reset("4k3/8/8/8/8/8/4P3/4K3 b - -");
    ExpectLegalReply();
    engine.Drain(100);
    // The end of input while pondering ends the engine as well.
    Finish(false);
}

// No position the engine searches may hold more of a kind than a game from
// the start can: a Board that gains pieces has been corrupted.
void ExpectSoundSearchPositions(const std::string& log) {
    std::istringstream in(log);
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("-FEN:\t", 0) != 0) continue;
        const std::string placement = line.substr(6, line.find(' ') - 6);
        int pieces[2] = {0, 0};
        int pawns[2] = {0, 0};
        int kings[2] = {0, 0};
        int rank = 0;
        for (const char c : placement) {
            if (c == '/') {
                ++rank;
                continue;
            }
            if (c >= '1' && c <= '8') continue;
            const int colour = std::isupper(static_cast<unsigned char>(c)) ? White : Black;
            ++pieces[colour];
            if (c == 'P' || c == 'p') {
                ++pawns[colour];
                EXPECT_TRUE(rank != 0 && rank != 7) << "pawn on an end rank: " << line;
            }
            if (c == 'K' || c == 'k') ++kings[colour];
        }
        for (int colour = 0; colour < 2; ++colour) {
            EXPECT_LE(pieces[colour], 16) << line;
            EXPECT_LE(pawns[colour], 8) << line;
            EXPECT_EQ(kings[colour], 1) << line;
        }
    }
}

// "white" and "black" name the side to move; sent while the engine ponders
// (with the assumed reply on its Board), then searched on twice, they must not
// corrupt the game.
void RunSideWordSession(const char* middle) {
    SCOPED_TRACE(middle);
    EngineProcess engine{KAVRIN_BINARY};
    ASSERT_TRUE(engine.Start());
    ASSERT_TRUE(engine.Greet(Timeout));
    engine.Send(std::string("hard\nnew\n") + QuickClock + "e2e4\n");
    ASSERT_FALSE(engine.WaitForLine("move ", Timeout).empty());
    engine.Drain(300);
    engine.Send(std::string(middle) + QuickClock + "go\n");
    engine.Drain(1000);
    engine.Send(std::string(QuickClock) + "go\n");
    engine.Drain(1000);
    engine.Send(std::string("force\nnew\n") + QuickClock + "go\n");
    engine.Drain(1000);
    engine.Send("quit\n");
    engine.CloseInput();
    ASSERT_TRUE(engine.ExitsNormally(Timeout));
    ExpectSoundSearchPositions(engine.Log());
}

// A side word while pondering, then two searches: every position searched
// stays sound (kings on the board, no pawns on the end ranks).
TEST(AbuseSideWords, SideWordWhilePonderingThenTwoSearchesKeepThePositionSound) {
    RunSideWordSession("black\n");
    RunSideWordSession("white\n");
    RunSideWordSession("black\nforce\n");
    RunSideWordSession("white\nblack\nforce\n");
}

// Input that ends in the middle of each command that reads items, and
// during a search: the engine ends normally.
TEST(AbuseEndOfInput, EveryCommandCutShortEndsTheEngine) {
    struct Cut {
        const char* text;
        bool workbench;  // reports in its own words, not in protocol lines
    };
    const Cut cuts[] = {
        {"time", false},     {"time 100", false},      {"time 100 otim", false}, {"time 100\notim 2", false},
        {"level", false},    {"level 40", false},      {"level 40 5", false},    {"level 40 0:30", false},
        {"setboard", false}, {"setboard ", false},     {"setboard 8/8", false},  {"go", false},
        {"e2e4", false},     {"result", false},        {"result 1-0 {", false},  {"pgn2pos", true},
        {"pgn2game", true},  {"pgn2game a.pgn", true}, {"pgnlist2game", true},   {"pgnlist2game a", true},
        {"game2pgn", true},  {"game2pgn a", true},     {"game2pos", true},       {"game2pos a", true},
        {"dbcreate", true},  {"dbcreate a", true},     {"benchmark", true},      {"perft", true},
    };
    for (const Cut& cut : cuts) {
        SCOPED_TRACE(cut.text);
        EngineProcess engine{KAVRIN_BINARY};
        ASSERT_TRUE(engine.Start());
        ASSERT_TRUE(engine.Greet(Timeout));
        engine.Send(std::string("new\n") + QuickClock + cut.text);
        engine.CloseInput();
        ASSERT_TRUE(engine.ExitsNormally(Timeout));
        if (cut.workbench) continue;
        for (const std::string& line : Lines(engine.Output())) {
            // Without books the start-up names the missing file.
            if (line.rfind("BOOK ERROR: ", 0) == 0) continue;
            EXPECT_TRUE(IsAllowedLine(line)) << '"' << line << '"';
        }
    }
}

}  // namespace
}  // namespace kavrin::test
