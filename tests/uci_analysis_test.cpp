// kavrin-uci for analysis and play: the best lines of each iteration
// (MultiPV), the search's progress, lines that end where the game would, and
// the strength limit answering as a full-strength search does.
#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "board/fen.h"
#include "board/legal.h"
#include "board/movetext.h"
#include "search/game.h"
#include "support/test_engine.h"
#include "support/text.h"
#include "support/uci_session.h"

namespace kavrin::test {
namespace {

// The words after "pv" in an info line.
std::vector<std::string> PvOf(const std::string& line) {
    std::vector<std::string> moves;
    const size_t at = line.find(" pv ");
    if (at == std::string::npos) return moves;
    std::istringstream in(line.substr(at + 4));
    std::string move;
    while (in >> move) moves.push_back(move);
    return moves;
}

using UciAnalysis = UciSession;

struct LinesCase {
    const char* name;
    std::string setup;  // options and position
    std::string go;
    int lines;                      // expected per iteration
    std::set<std::string> allowed;  // the root moves the lines may take (empty: any)
};

// Each iteration reports its lines in order, best first, each with a
// different legal root move; "bestmove" plays the best line's move.
TEST_F(UciAnalysis, EachIterationRanksTheBestLines) {
    const std::string kingAndPawn = "position fen 8/8/8/4k3/8/8/4P3/4K3 w - -\n";
    const std::vector<LinesCase> cases = {
        {"one line", "setoption name MultiPV value 1\nposition startpos\n", "go depth 5\n", 1, {}},
        {"three lines", "setoption name MultiPV value 3\nposition startpos\n", "go depth 5\n", 3, {}},
        {"more than the legal moves", "setoption name MultiPV value 30\n" + kingAndPawn, "go depth 6\n", 6, {}},
        {"chosen root moves",
         "setoption name MultiPV value 3\nposition startpos\n",
         "go depth 5 searchmoves e2e4 d2d4\n",
         2,
         {"e2e4", "d2d4"}},
        {"two threads",
         "setoption name Threads value 2\nsetoption name MultiPV value 3\nposition startpos\n",
         "go depth 6\n",
         3,
         {}},
    };
    for (const LinesCase& c : cases) {
        SCOPED_TRACE(c.name);
        engine.Send("ucinewgame\n" + c.setup);
        const size_t mark = engine.Output().size();
        const std::string best = Go(c.go);
        ASSERT_NE(best, "");
        // depth -> the lines of that iteration in the order they came.
        std::map<long long, std::vector<std::string>> iterations;
        for (const std::string& line : Lines(Since(mark)))
            if (line.rfind("info depth ", 0) == 0 && line.find(" multipv ") != std::string::npos)
                iterations[Field(line, "depth")].push_back(line);
        ASSERT_FALSE(iterations.empty());
        for (const auto& [depth, lines] : iterations) {
            ASSERT_EQ(static_cast<int>(lines.size()), c.lines) << "depth " << depth;
            std::set<std::string> rootMoves;
            long long previousScore = 1000000;
            for (size_t k = 0; k < lines.size(); ++k) {
                EXPECT_EQ(Field(lines[k], "multipv"), static_cast<long long>(k + 1)) << lines[k];
                const long long score = Field(lines[k], "cp");
                EXPECT_LE(score, previousScore) << lines[k];
                previousScore = score;
                const std::vector<std::string> pv = PvOf(lines[k]);
                ASSERT_FALSE(pv.empty()) << lines[k];
                EXPECT_TRUE(rootMoves.insert(pv[0]).second) << "a root move twice: " << lines[k];
                if (!c.allowed.empty()) {
                    EXPECT_EQ(c.allowed.count(pv[0]), 1u) << lines[k];
                }
            }
        }
        const std::vector<std::string> last = iterations.rbegin()->second;
        EXPECT_EQ(best.substr(9, 4), PvOf(last[0])[0]) << best;
    }
    Quit();
}

// A line shown ends where the game would: at the third occurrence of a
// position, at the fifty-move limit, at mate.
TEST_F(UciAnalysis, LinesEndWhereTheGameEnds) {
    struct EndCase {
        const char* name;
        std::string commands;
    };
    const EndCase cases[] = {
        {"repetition", "position startpos moves g1f3 g8f6 f3g1 f6g8 g1f3 g8f6 f3g1\ngo depth 6 searchmoves f6g8\n"},
        // The first of the three came with a double push no pawn could answer.
        {"repetition after a double push",
         "position startpos moves e2e4 g8f6 g1f3 f6g8 f3g1 g8f6 g1f3 f6g8\ngo depth 6 searchmoves f3g1\n"},
        {"fifty moves", "position fen 8/8/8/3k4/8/8/4R3/4K3 w - - 99 80\ngo depth 6\n"},
        {"mate", "position fen 6k1/5ppp/8/8/8/8/8/R5K1 w - - 0 1\ngo depth 6\n"},
    };
    for (const EndCase& c : cases) {
        SCOPED_TRACE(c.name);
        const size_t mark = engine.Output().size();
        ASSERT_NE(Go("ucinewgame\n" + c.commands), "");
        int infoLines = 0;
        for (const std::string& line : Lines(Since(mark))) {
            if (line.rfind("info depth ", 0) != 0 || line.find(" pv ") == std::string::npos) continue;
            ++infoLines;
            EXPECT_EQ(PvOf(line).size(), 1u) << line;
        }
        EXPECT_GT(infoLines, 0);
    }
    Quit();
}

// From a second into a search: each root move as it is searched, and a line
// of progress each second.
TEST_F(UciAnalysis, ProgressAfterTheFirstSecond) {
    const size_t mark = engine.Output().size();
    engine.Send("position startpos\ngo infinite\n");
    engine.Drain(2500);
    engine.Send("stop\n");
    ASSERT_NE(engine.WaitForLine("bestmove ", UciTimeout), "");
    int rootMoves = 0;
    int progress = 0;
    for (const std::string& line : Lines(Since(mark))) {
        if (line.find(" currmove ") != std::string::npos) {
            ++rootMoves;
            EXPECT_GT(Field(line, "currmovenumber"), 0) << line;
            EXPECT_GT(Field(line, "depth"), 0) << line;
        }
        if (line.rfind("info nodes ", 0) == 0) {
            ++progress;
            EXPECT_GE(Field(line, "time"), 1000) << line;
            EXPECT_GE(Field(line, "hashfull"), 0) << line;
            EXPECT_GT(Field(line, "nps"), 0) << line;
        }
    }
    EXPECT_GT(rootMoves, 0);
    EXPECT_GE(progress, 1);
    Quit();
}

// Under the strength limit the move still comes at once and is legal, a
// pondering search answers isready and stops on stop.
TEST_F(UciAnalysis, LimitedEngineAnswersAndStops) {
    engine.Send(
        "setoption name UCI_LimitStrength value true\nsetoption name UCI_Elo value 1330\n"
        "setoption name OwnBook value false\n");
    const char* const fens[] = {InitialFen, "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq -",
                                "8/8/8/4k3/8/8/4P3/4K3 w - -"};
    for (const char* fen : fens) {
        const std::string best = Go(std::string("position fen ") + fen + "\ngo wtime 600000 btime 600000\n");
        ASSERT_NE(best, "") << fen;
        ASSERT_TRUE(ReadFen(gamePosition, fen));
        const std::string move = best.substr(9, best.find(' ', 9) - 9);
        EXPECT_TRUE(IsLegalMove(gamePosition, TextToMoveOnBoard(gamePosition, move.c_str()))) << best;
    }
    // The last first line shown, the one a match runner reads, is the line
    // played, also when the limit chose one below the best.
    for (int i = 0; i < 12; ++i) {
        const size_t mark = engine.Output().size();
        const std::string best = Go("position startpos\ngo wtime 600000 btime 600000\n");
        std::string last;
        for (const std::string& line : Lines(Since(mark)))
            if (line.find(" multipv 1 ") != std::string::npos) last = line;
        EXPECT_NE(last.find(" pv " + best.substr(9, best.find(' ', 9) - 9)), std::string::npos) << last << "\n" << best;
    }
    engine.Send("position startpos\ngo ponder wtime 600000 btime 600000\n");
    Sync();
    EXPECT_EQ(Count(engine.Output(), "bestmove "), 15u);
    EXPECT_NE(Go("stop\n"), "");
    Sync();
    Quit();
}

// With UCI_ShowWDL every score is followed by the chances of the side to
// move, per mille, adding up to a thousand: a mate and a root without moves
// are certain, and so is a draw by rule. Without it, no line has them.
TEST_F(UciAnalysis, ShowWdlFollowsEveryScore) {
    struct WdlCase {
        const char* name;
        std::string commands;
        const char* certain;  // the only rates allowed, or "" for any
    };
    const WdlCase cases[] = {
        {"two lines of an opening", "setoption name MultiPV value 2\nposition startpos moves e2e4\ngo depth 6\n", ""},
        {"mate in one", "setoption name MultiPV value 1\nposition fen 6k1/5ppp/8/8/8/8/8/R5K1 w - - 0 1\ngo depth 4\n",
         "1000 0 0"},
        {"mated", "position fen 7k/6Q1/6K1/8/8/8/8/8 b - - 0 1\ngo depth 4\n", "0 0 1000"},
        {"stalemate", "position fen 7k/5Q2/6K1/8/8/8/8/8 b - - 0 1\ngo depth 4\n", "0 1000 0"},
        {"the fifty-move rule", "position fen 8/8/8/3k4/8/8/4R3/4K3 w - - 100 80\ngo depth 4\n", "0 1000 0"},
    };
    const std::regex scoreAndWdl(".* score (cp|mate) -?[0-9]+ wdl ([0-9]+) ([0-9]+) ([0-9]+)( .*|$)");
    engine.Send("setoption name UCI_ShowWDL value true\n");
    for (const WdlCase& c : cases) {
        SCOPED_TRACE(c.name);
        const size_t mark = engine.Output().size();
        ASSERT_NE(Go(c.commands), "");
        int scored = 0;
        for (const std::string& line : Lines(Since(mark))) {
            if (line.find(" score ") == std::string::npos) continue;
            ++scored;
            std::smatch m;
            ASSERT_TRUE(std::regex_match(line, m, scoreAndWdl)) << line;
            EXPECT_EQ(std::stoi(m[2]) + std::stoi(m[3]) + std::stoi(m[4]), 1000) << line;
            if (*c.certain) {
                EXPECT_EQ(m[2].str() + " " + m[3].str() + " " + m[4].str(), c.certain) << line;
            }
        }
        EXPECT_GT(scored, 0);
    }
    const size_t mark = engine.Output().size();
    ASSERT_NE(Go("setoption name UCI_ShowWDL value false\nposition startpos\ngo depth 4\n"), "");
    EXPECT_NE(Count(Since(mark), " score "), 0u);
    EXPECT_EQ(Count(Since(mark), " wdl "), 0u);
    Quit();
}

}  // namespace
}  // namespace kavrin::test
