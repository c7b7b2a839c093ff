// End-to-end: kavrin-uci over pipes, spoken to as a UCI interface speaks.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <map>
#include <memory>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "board/board.h"
#include "board/fen.h"
#include "board/legal.h"
#include "board/movegen.h"
#include "board/movetext.h"
#include "board/tables.h"
#include "book/polyglot.h"
#include "search/benchmark.h"
#include "search/game.h"
#include "search/tablebase.h"
#include "support/engine_process.h"
#include "support/files.h"
#include "support/random_positions.h"
#include "support/signature.h"
#include "support/tablebases.h"
#include "support/test_engine.h"
#include "support/text.h"
#include "support/uci_session.h"
#include "uci/score.h"

namespace kavrin::test {
namespace {

constexpr int Timeout = UciTimeout;
// Time in which nothing is expected to come.
constexpr int QuietMs = 400;

long long NowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

using Uci = UciSession;

TEST_F(Uci, IdentifiesItselfAndListsItsOptions) {
    // The shipped books beside the program (its parent folder in a build
    // folder of the repository), or none.
    const std::string folderPrefix = "option name Book Folder type string default ";
    const std::vector<std::string> expected = {
        "id author the Kavrin developers",
        "option name Threads type spin default 1 min 1 max 256",
        "option name Hash type spin default 36 min 1 max 32768",
        "option name Clear Hash type button",
        "option name Ponder type check default false",
        "option name OwnBook type check default true",
        folderPrefix,
        "option name Book File type string default <empty>",
        "option name Move Overhead type spin default 30 min 0 max 5000",
        "option name Log File type string default <empty>",
        "option name MultiPV type spin default 1 min 1 max 256",
        "option name UCI_LimitStrength type check default false",
        "option name UCI_Elo type spin default 1500 min 1330 max 2300",
        "option name UCI_ShowWDL type check default false",
        "option name SyzygyPath type string default <empty>",
        "option name SyzygyProbeDepth type spin default 1 min 1 max 100",
        "option name Syzygy50MoveRule type check default true",
        "option name SyzygyProbeLimit type spin default 7 min 0 max 7",
        "option name Classic Search type check default false",
        "uciok",
    };
    const std::vector<std::string> lines = Lines(engine.Output());
    ASSERT_EQ(lines.size(), expected.size() + 1);
    EXPECT_EQ(lines[0].rfind("id name Kavrin ", 0), 0u);
    for (size_t i = 0; i < expected.size(); ++i) {
        if (expected[i] != folderPrefix) {
            EXPECT_EQ(lines[i + 1], expected[i]);
            continue;
        }
        ASSERT_EQ(lines[i + 1].rfind(folderPrefix, 0), 0u);
        const std::string folder = lines[i + 1].substr(folderPrefix.size());
        if (folder != "<empty>") {
            EXPECT_EQ(ReadFileBytes(folder + "/bookwtm.mbx").size(), 524288u) << folder;
        }
    }

    // Names in any case; values out of range, of the wrong kind, or for no
    // option are refused with a message.
    const size_t mark = engine.Output().size();
    engine.Send(
        "setoption name move OVERHEAD value 6000\nsetoption name Ponder value maybe\n"
        "setoption name Threads value 0\nsetoption name Cores value 2\nsetoption name ownbook value FALSE\n"
        "setoption value 1\n");
    Sync();
    EXPECT_EQ(Since(mark),
              "info string move OVERHEAD: 6000 is no value from 0 to 5000\n"
              "info string Ponder: maybe is neither true nor false\n"
              "info string Threads: 0 is no value from 1 to 256\n"
              "info string No such option: Cores\n"
              "info string setoption: expected \"name\"\n"
              "readyok\n");
    Quit();
}

TEST_F(Uci, HashSizesAreGivenWholeAndTheDefaultSearchesAsBefore) {
    const size_t mark = engine.Output().size();
    engine.Send("setoption name Hash value 1\nsetoption name Hash value 100\nsetoption name Hash value 0\n");
    Sync();
    // As many buckets of 36 bytes as the megabytes hold.
    EXPECT_EQ(Since(mark),
              "info string Hash table of 1023 KB\ninfo string Hash table of 102399 KB\n"
              "info string Hash: 0 is no value from 1 to 32768\nreadyok\n");
    const BenchmarkPosition& p = BenchmarkPositions[4];
    const std::string search =
        std::string("ucinewgame\nposition fen ") + p.fen + "\ngo depth " + std::to_string(SignatureTestDepth(p)) + "\n";
    EXPECT_NE(Go("setoption name Hash value 1\n" + search), "");
    // Back at the default size, from a fresh game: the recorded count.
    const size_t before = engine.Output().size();
    EXPECT_NE(Go("setoption name Hash value 36\n" + search), "");
    const std::vector<std::string> lines = Lines(Since(before));
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[0], "info string Hash table of 36864 KB");
    EXPECT_EQ(Field(lines[lines.size() - 2], "nodes"), RecordedSignature("modern-test").at(4).nodes);
    Quit();
}

// The same engine: from a fresh game, "go depth" on each benchmark position
// makes the recorded number of moves, with kavrin-uci's own search and with
// kavrin's (Classic Search).
TEST_F(Uci, FixedDepthSearchesGiveTheRecordedSignature) {
    for (const char* classic : {"false", "true"}) {
        const auto recorded = RecordedSignature(classic == std::string("true") ? "test" : "modern-test");
        ASSERT_EQ(recorded.size(), std::size(BenchmarkPositions));
        engine.Send(std::string("setoption name Classic Search value ") + classic + "\n");
        int index = 0;
        for (const BenchmarkPosition& p : BenchmarkPositions) {
            const size_t mark = engine.Output().size();
            const std::string best = Go(std::string("ucinewgame\nposition fen ") + p.fen + "\ngo depth " +
                                        std::to_string(SignatureTestDepth(p)) + "\n");
            ASSERT_NE(best, "") << p.name;
            const std::vector<std::string> lines = Lines(Since(mark));
            ASSERT_GE(lines.size(), 2u) << p.name;
            const std::string& last = lines[lines.size() - 2];
            EXPECT_EQ(Field(last, "nodes"), recorded.at(index).nodes) << classic << " " << p.name << ": " << last;
            EXPECT_LE(Field(last, "depth"), SignatureTestDepth(p)) << p.name;
            ++index;
        }
    }
    Quit();
}

// "bench" searches with kavrin-uci's own search, "bench classic" with kavrin's.
TEST(UciBench, PrintsTheFixedDepthSearchesAndTheirTotal) {
    for (const bool classic : {false, true}) {
        EngineProcess engine{KAVRIN_UCI_BINARY};
        std::vector<std::string> arguments{"bench"};
        if (classic) arguments.push_back("classic");
        arguments.push_back(std::to_string(SignatureTestDepthReduction));
        ASSERT_TRUE(engine.Start(arguments));
        int status = -1;
        ASSERT_TRUE(engine.WaitExit(Timeout, &status));
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        uint64_t total = 0;
        for (const auto& [index, search] : RecordedSignature(classic ? "test" : "modern-test")) total += search.nodes;
        const std::vector<std::string> lines = Lines(engine.Output());
        ASSERT_EQ(lines.size(), std::size(BenchmarkPositions) + 2);
        EXPECT_TRUE(std::regex_match(lines.back(), std::regex(std::to_string(total) + " nodes [0-9]+ nps")))
            << classic << ": " << lines.back();
    }
}

TEST_F(Uci, IsreadyIsAnsweredWhileAnInfiniteSearchGoesOn) {
    engine.Send("position fen 8/8/8/4k3/8/8/4P3/4K3 w - -\ngo infinite\n");
    const std::string first = engine.WaitForLine("info depth", Timeout);
    ASSERT_NE(first, "");
    engine.Send("isready\n");
    ASSERT_TRUE(engine.WaitFor("readyok\n", Timeout));
    // The search was neither stopped nor started again.
    const std::string next = engine.WaitForLine("info depth", Timeout);
    EXPECT_GT(Field(next, "depth"), Field(first, "depth")) << next;
    EXPECT_EQ(Count(engine.Output(), "bestmove"), 0u);
    EXPECT_NE(Go("stop\n"), "");
    Quit();
}

TEST_F(Uci, StopRightAfterGoGivesOneBestMoveEach) {
    engine.Send(
        "position startpos moves e2e4\ngo infinite\nstop\nposition startpos moves d2d4\n"
        "go wtime 100000 btime 100000\nstop\ngo depth 30\nstop\n");
    Sync();
    engine.Drain(QuietMs);
    EXPECT_EQ(Count(engine.Output(), "bestmove"), 3u) << engine.Output();
    Quit();
}

TEST_F(Uci, PonderHitSwitchesToTheClock) {
    engine.Send("setoption name OwnBook value false\n");
    // Hits at different moments of the search: the allotment counts from the
    // hit and stays within the clock of the side to move at the root, however
    // deep the search is when the hit comes.
    for (int delayMs : {QuietMs, 150, 250}) {
        engine.Send("ucinewgame\nposition startpos moves e2e4 e7e5\ngo ponder wtime 4000 btime 900000\n");
        engine.Drain(delayMs);
        EXPECT_EQ(engine.WaitForLine("bestmove", 0), "");
        const long long hit = NowMs();
        EXPECT_NE(Go("ponderhit\n"), "");
        EXPECT_LT(NowMs() - hit, 4000) << "hit after " << delayMs << " ms";
    }
    Quit();
}

TEST_F(Uci, PonderThenStopAnswersAtOnce) {
    engine.Send(
        "setoption name OwnBook value false\n"
        "position fen r1bqkbnr/pppp1ppp/2n5/1B2p3/4P3/5N2/PPPP1PPP/RNBQK2R b KQkq - 3 3\n"
        "go ponder wtime 100000 btime 100000\n");
    ASSERT_NE(engine.WaitForLine("info depth", Timeout), "");
    EXPECT_EQ(Count(engine.Output(), "bestmove"), 0u);
    EXPECT_NE(Go("stop\n"), "");
    Quit();
}

// A search that ends by itself (the fourth iteration that shows a mate)
// still holds its move until it is released.
TEST_F(Uci, InfiniteAndPonderingSearchesHoldTheirMoveUntilReleased) {
    const std::string mateInOne = "position fen 6k1/5ppp/8/8/8/8/8/R5K1 w - - 0 1\n";
    engine.Send(mateInOne + "go infinite\n");
    const std::string info = engine.WaitForLine("info depth", Timeout);
    EXPECT_NE(info.find("score mate 1 "), std::string::npos) << info;
    engine.Drain(QuietMs);
    EXPECT_EQ(Count(engine.Output(), "bestmove"), 0u);
    EXPECT_EQ(Go("stop\n"), "bestmove a1a8");

    engine.Send(mateInOne + "go ponder wtime 1000 btime 1000\n");
    engine.Drain(QuietMs);
    EXPECT_EQ(Count(engine.Output(), "bestmove"), 1u);
    EXPECT_EQ(Go("ponderhit\n"), "bestmove a1a8");
    Quit();
}

TEST_F(Uci, MovetimeAndClockSearchesEndWithinTheirTime) {
    const std::string middlegame =
        "position fen r2q1rk1/pb1nbppp/1p2pn2/2pp4/2PP4/1PN1PN2/PB2BPPP/R2Q1RK1 w - - 0 10\n";
    long long start = NowMs();
    EXPECT_NE(Go(middlegame + "go movetime 500\n"), "");
    EXPECT_LT(NowMs() - start, 500 + 1500);
    start = NowMs();
    EXPECT_NE(Go(middlegame + "go wtime 3000 btime 1 winc 100 binc 0\n"), "");
    EXPECT_LT(NowMs() - start, 3000);
    // Less on the clock than the overhead: the search still answers.
    EXPECT_NE(Go(middlegame + "go wtime 10 btime 10\n"), "");
    Quit();
}

TEST_F(Uci, SearchmovesLimitsTheRootMoves) {
    const size_t mark = engine.Output().size();
    const std::string best = Go("position startpos\ngo depth 4 searchmoves a2a3 h2h3 e2e5\n");
    EXPECT_TRUE(best == "bestmove a2a3" || best.rfind("bestmove a2a3 ", 0) == 0 || best == "bestmove h2h3" ||
                best.rfind("bestmove h2h3 ", 0) == 0)
        << best;
    const std::vector<std::string> lines = Lines(Since(mark));
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[0], "info string go: searchmoves: no legal move e2e5");
    for (const std::string& line : lines) {
        if (line.rfind("info depth", 0) != 0) continue;
        const std::string first = line.substr(line.find(" pv ") + 4, 4);
        EXPECT_TRUE(first == "a2a3" || first == "h2h3") << line;
    }
    Quit();
}

// A long game, built here move by move from the legal moves, is taken whole.
TEST_F(Uci, PositionWithThreeHundredMoves) {
    BuildTables();
    std::string moves;
    std::string fen;
    for (uint64_t seed = 1; fen.empty(); ++seed) {
        TestRandom random(seed);
        ASSERT_TRUE(ReadFen(gamePosition, InitialFen));
        moves.clear();
        int plies = 0;
        for (; plies < 300; ++plies) {
            MoveEntry legal[MaxGeneratedMoves];
            const int count = static_cast<int>(GenerateLegalMoves(gamePosition, legal) - legal);
            if (count == 0) break;
            const Move m = legal[random.Below(count)].move;
            char text[MoveTextSize];
            MoveToText(text, m);
            moves += std::string(" ") + text;
            test::TestEngine().PlayGameMove(m);
        }
        if (plies < 300) continue;
        char text[FenTextSize];
        WriteFen(gamePosition, text);
        fen = text;
    }
    engine.Send("position startpos moves" + moves + "\n");
    const std::string shown = ShownFen();
    EXPECT_EQ(shown.rfind("Fen: " + fen + " ", 0), 0u) << shown;
    EXPECT_NE(Go("go depth 3\n"), "");

    // The game history stays: the start position a third time is a draw.
    const size_t mark = engine.Output().size();
    EXPECT_NE(Go("position startpos moves g1f3 g8f6 f3g1 f6g8 g1f3 g8f6 f3g1 f6g8\ngo depth 5\n"), "");
    EXPECT_EQ(Lines(Since(mark))[0], "info depth 0 score cp 0");
    Quit();
}

TEST_F(Uci, IllegalMovesAndBadPositionsAreReportedAndSurvived) {
    const std::string afterE5 = "Fen: rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNR w KQkq e6 0 2";
    // Tabs, runs of blanks and CR LF line ends; the moves up to the illegal
    // one stand.
    engine.Send("position\tstartpos  moves e2e4 e7e5 e1e3 d2d4\r\n");
    EXPECT_EQ(engine.WaitForLine("info string", Timeout), "info string illegal move: e1e3");
    EXPECT_EQ(ShownFen(), afterE5);
    // Bad FENs leave the position as it was: no kings, a pawn on the last
    // rank, the side not to move in check, kings side by side, a broken field.
    for (const std::string fen :
         {"8/8/8/8/8/8/8/8 w - - 0 1", "k6P/8/8/8/8/8/8/7K w - - 0 1", "k7/8/8/8/8/8/8/R6K w - - 0 1",
          "kK6/8/8/8/8/8/8/8 w - - 0 1", "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR x"}) {
        engine.Send("position fen " + fen + " moves e2e4\n");
        EXPECT_EQ(engine.WaitForLine("info string", Timeout), "info string bad FEN: " + fen);
        EXPECT_EQ(ShownFen(), afterE5) << fen;
    }
    engine.Send("position somewhere\nposition startpos moves e7e5\n");
    EXPECT_EQ(engine.WaitForLine("info string", Timeout),
              "info string position: expected startpos or fen, not \"somewhere\"");
    EXPECT_EQ(engine.WaitForLine("info string", Timeout), "info string illegal move: e7e5");
    EXPECT_EQ(ShownFen(), "Fen: rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1");
    // The counters of a FEN go on with the moves, promotions in either case.
    engine.Send("position fen 4k3/1P6/8/8/8/8/8/4K3 w - - 7 40 moves b7b8Q e8d7\n");
    EXPECT_EQ(ShownFen(), "Fen: 1Q6/3k4/8/8/8/8/8/4K3 w - - 1 41");
    EXPECT_NE(Go("go depth 3\n"), "");
    Quit();
}

TEST_F(Uci, MateAndStalemateRoots) {
    size_t mark = engine.Output().size();
    EXPECT_EQ(Go("position fen 7k/6Q1/6K1/8/8/8/8/8 b - - 0 1\ngo depth 5\n"), "bestmove (none)");
    EXPECT_EQ(Since(mark), "info depth 0 score mate 0\nbestmove (none)\n");
    mark = engine.Output().size();
    EXPECT_EQ(Go("position fen 7k/5Q2/6K1/8/8/8/8/8 b - - 0 1\ngo wtime 1000 btime 1000\n"), "bestmove (none)");
    EXPECT_EQ(Since(mark), "info depth 0 score cp 0\nbestmove (none)\n");
    // Mating and being mated, in moves.
    engine.Send("position fen 6k1/5ppp/8/8/8/8/8/R5K1 w - - 0 1\ngo depth 4\n");
    EXPECT_NE(engine.WaitForLine("info depth 4 ", Timeout).find(" score mate 1 "), std::string::npos);
    EXPECT_EQ(engine.WaitForLine("bestmove", Timeout), "bestmove a1a8");
    engine.Send("position fen 1r4k1/R4ppp/8/8/8/8/5PPP/6K1 w - - 0 1\ngo depth 4 searchmoves a7a6\n");
    EXPECT_NE(engine.WaitForLine("info depth 4 ", Timeout).find(" score mate -1 "), std::string::npos);
    EXPECT_EQ(engine.WaitForLine("bestmove", Timeout).rfind("bestmove a7a6", 0), 0u);
    Quit();
}

TEST_F(Uci, BookMoveIsAnsweredAtOnceOnlyForAGameClock) {
    engine.Send(std::string("setoption name Book Folder value ") + KAVRIN_SOURCE_DIR + "\nisready\n");
    ASSERT_TRUE(engine.WaitFor("readyok\n", Timeout));
    size_t mark = engine.Output().size();
    const std::string best = Go("ucinewgame\nposition startpos\ngo wtime 60000 btime 60000\n");
    // The book move comes with its score from a short search of it alone.
    const std::vector<std::string> lines = Lines(Since(mark));
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[lines.size() - 2], "info string book move");
    EXPECT_EQ(lines.back(), best);
    const std::string bookMove = best.substr(9, best.find(' ', 9) - 9);
    for (size_t i = 0; i + 2 < lines.size(); ++i) {
        EXPECT_EQ(lines[i].rfind("info depth ", 0), 0u) << lines[i];
        EXPECT_NE(lines[i].find(" score cp "), std::string::npos) << lines[i];
        EXPECT_NE(lines[i].find(" pv " + bookMove), std::string::npos) << lines[i];
    }
    // Analysis and fixed depths search. A table entry deeper than the depth
    // asked for (or than the book move's short search) still leaves the
    // search an iteration to show.
    EXPECT_NE(Go("go depth 8\n"), "");
    mark = engine.Output().size();
    EXPECT_NE(Go("go depth 3\n"), "");
    EXPECT_EQ(Count(Since(mark), "book move"), 0u);
    EXPECT_EQ(Count(Since(mark), "info depth 3 "), 1u) << Since(mark);
    EXPECT_NE(Go("go depth 8\n"), "");
    mark = engine.Output().size();
    EXPECT_NE(Go("go wtime 60000 btime 60000\n"), "");
    EXPECT_NE(Since(mark).find(" score cp "), std::string::npos) << Since(mark);
    EXPECT_EQ(Count(Since(mark), "info string book move\n"), 1u) << Since(mark);
    mark = engine.Output().size();
    EXPECT_NE(Go("setoption name OwnBook value false\ngo wtime 1000 btime 1000\n"), "");
    EXPECT_EQ(Count(Since(mark), "book move"), 0u);
    // A folder without books is reported.
    engine.Send("setoption name Book Folder value /nonexistent\nisready\n");
    EXPECT_EQ(engine.WaitForLine("info string", Timeout),
              "info string BOOK ERROR: Cannot load file: '/nonexistent/bookbtm.mbx'");
    Quit();
}

// The second word of a "bestmove" line.
std::string BestMoveWord(const std::string& line) {
    std::istringstream in(line);
    std::string word;
    in >> word >> word;
    return word;
}

// A Polyglot book at the start: a2a3 and h2h3, and e2e5, which is no move
// there; after 1. e4 only a move that is not legal.
std::string TwoMoveBook() {
    std::vector<PolyglotEntry> entries = {PolyglotEntryAfter("", "a2a3", 1), PolyglotEntryAfter("", "e2e5", 60000),
                                          PolyglotEntryAfter("", "h2h3", 1), PolyglotEntryAfter("e2e4", "e7e4", 5)};
    std::stable_sort(entries.begin(), entries.end(),
                     [](const PolyglotEntry& a, const PolyglotEntry& b) { return a.key < b.key; });
    return PolyglotBookBytes(entries);
}

// With Book File set, its moves replace those of the book folder, which has
// moves after 1. e4; the same requests ask it.
TEST_F(Uci, BookFilePlaysItsLegalMovesInsteadOfTheFoldersBooks) {
    engine.WriteFile("book.bin", TwoMoveBook());
    size_t mark = engine.Output().size();
    engine.Send("setoption name Book File value book.bin\n");
    Sync();
    EXPECT_EQ(Since(mark), "readyok\n");
    std::set<std::string> played;
    for (int i = 0; i < 24; i++) {
        mark = engine.Output().size();
        const std::string best = Go("position startpos\ngo wtime 10000 btime 10000\n");
        EXPECT_NE(Since(mark).find("info string book move\n" + best + "\n"), std::string::npos) << Since(mark);
        played.insert(BestMoveWord(best));
    }
    EXPECT_EQ(played, (std::set<std::string>{"a2a3", "h2h3"}));

    const struct {
        const char* commands;
        bool bookMove;
    } cases[] = {
        {"ucinewgame\nposition startpos\ngo movetime 5000\n", true},
        {"ucinewgame\nposition startpos moves e2e4\ngo wtime 1000 btime 1000\n", false},
        {"ucinewgame\nposition startpos\ngo depth 2\n", false},
        {"ucinewgame\nposition startpos\nsetoption name OwnBook value false\ngo wtime 1000 btime 1000\n", false},
    };
    for (const auto& c : cases) {
        mark = engine.Output().size();
        EXPECT_NE(Go(c.commands), "") << c.commands;
        EXPECT_EQ(Count(Since(mark), "info string book move\n"), c.bookMove ? 1u : 0u) << c.commands;
    }
    Quit();
}

// A file that cannot be played from is reported once, and the engine
// searches without a book; a good file afterwards is played from again.
TEST_F(Uci, DamagedBookFileIsReportedOnceAndTheEngineSearches) {
    const std::string good = TwoMoveBook();
    const std::string start = PolyglotBookBytes({PolyglotEntryAfter("", "e2e4", 1)});
    const std::string afterE4 = PolyglotBookBytes({PolyglotEntryAfter("e2e4", "e7e5", 1)});
    const struct {
        const char* name;
        std::string bytes;
        const char* message;
    } cases[] = {
        {"missing.bin", "", "cannot be opened"},
        {"empty.bin", "", "is empty"},
        {"truncated.bin", good.substr(0, good.size() - 1),
         "is truncated: 63 bytes are not a whole number of 16-byte entries"},
        {"unsorted.bin", afterE4 + start, "is corrupt: entry 2 is out of key order"},
        {"corrupt.bin", good.substr(0, 8) + std::string("\x7f\xff", 2) + good.substr(10),
         "is corrupt: entry 1 holds no move"},
    };
    for (const auto& c : cases) {
        if (std::string(c.name) != "missing.bin") engine.WriteFile(c.name, c.bytes);
        const size_t mark = engine.Output().size();
        // A new game: the search starts afresh and shows its iterations.
        Go(std::string("setoption name Book File value ") + c.name +
           "\nucinewgame\nposition startpos\ngo wtime 1000 btime 1000\n");
        const std::string said = Since(mark);
        EXPECT_EQ(Count(said, "info string"), 1u) << said;
        EXPECT_NE(said.find(std::string("info string BOOK ERROR: Polyglot book '") + c.name + "' " + c.message + "\n"),
                  std::string::npos)
            << said;
        EXPECT_NE(said.find("info depth"), std::string::npos) << said;
        EXPECT_EQ(Count(said, "book move"), 0u) << said;
    }
    engine.WriteFile("good.bin", good);
    const size_t mark = engine.Output().size();
    const std::string best =
        Go("setoption name Book File value good.bin\nposition startpos\ngo wtime 1000 btime 1000\n");
    EXPECT_NE(Since(mark).find("info string book move\n" + best + "\n"), std::string::npos) << Since(mark);
    Quit();
}

TEST_F(Uci, CommandsDuringASearchRunAfterIt) {
    engine.Send("position startpos\ngo infinite\n");
    ASSERT_NE(engine.WaitForLine("info depth", Timeout), "");
    engine.Send("position startpos moves e2e4\nd\nsetoption name Nothing\n");
    engine.Drain(QuietMs);
    EXPECT_EQ(Count(engine.Output(), "Fen:"), 0u);
    engine.Send("stop\n");
    EXPECT_NE(engine.WaitForLine("bestmove", Timeout), "");
    EXPECT_EQ(engine.WaitForLine("Fen:", Timeout), "Fen: rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1");
    EXPECT_EQ(engine.WaitForLine("info string", Timeout), "info string No such option: Nothing");
    Quit();
}

TEST_F(Uci, QuitAndTheEndOfInputEndASearchPromptly) {
    engine.Send("position startpos\ngo infinite\n");
    ASSERT_NE(engine.WaitForLine("info depth", Timeout), "");
    Quit();
    EXPECT_EQ(Count(engine.Output(), "bestmove"), 1u);

    EngineProcess second{KAVRIN_UCI_BINARY};
    ASSERT_TRUE(second.Start());
    second.Send("position startpos\ngo infinite\n");
    ASSERT_NE(second.WaitForLine("info depth", Timeout), "");
    second.CloseInput();
    int status = -1;
    ASSERT_TRUE(second.WaitExit(Timeout, &status));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

TEST_F(Uci, UnknownCommandsAreReportedAndTheLogFileKeepsTheConversation) {
    const size_t mark = engine.Output().size();
    engine.Send("setoption name Log File value uci.log\nxyzzy 1 2\nposition startpos moves e2e4\n");
    EXPECT_NE(Go("go depth 3\n"), "");
    EXPECT_EQ(Lines(Since(mark))[0], "info string Unknown command: xyzzy 1 2");
    Quit();
    const std::string log = engine.ReadFile("uci.log");
    EXPECT_NE(log.find("::cmd:: xyzzy 1 2\n::cmd:: position startpos moves e2e4\n::cmd:: go depth 3\n"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("\n-E: 3:\t"), std::string::npos) << log;
    EXPECT_NE(log.find("\nbestmove "), std::string::npos) << log;
}

// lichess-bot's default options, in the order python-chess sends them: an
// option the engine does not list would stop the bot before its first game.
TEST_F(Uci, LichessBotsDefaultOptionsAreAllKnown) {
    const size_t mark = engine.Output().size();
    engine.Send(
        "setoption name Move Overhead value 100\nsetoption name Threads value 4\nsetoption name Hash value 512\n"
        "setoption name SyzygyPath value ./syzygy/\nsetoption name UCI_ShowWDL value true\n");
    Sync();
    const std::vector<std::string> lines = Lines(Since(mark));
    ASSERT_EQ(lines.size(), 3u) << Since(mark);
    EXPECT_EQ(lines[0].rfind("info string Hash table of ", 0), 0u) << lines[0];
    EXPECT_EQ(lines[1], TablebaseSupport() ? "info string Syzygy tablebases: none loaded; no folder ./syzygy/"
                                           : "info string no tablebase support in this build");
    Quit();
}

// A SyzygyPath the tables cannot come from gets one "info string" that says
// why, and the engine plays on without tables.
TEST_F(Uci, SyzygyPathProblemsGetOneInfoStringEachAndPlayGoesOn) {
    const std::string folder = engine.Directory();
    std::filesystem::create_directories(folder + "/empty");
    std::filesystem::create_directories(folder + "/cut");
    // The magic number of a WDL table, and then the file ends.
    WriteFileBytes(folder + "/cut/KQvKR.rtbw", std::string("\x71\xe8\x23\x5d\0\0\0\0\0\0", 10));
    const std::pair<std::string, std::string> cases[] = {
        {"missing", "no folder " + folder + "/missing"},
        {"empty", "no table files in " + folder + "/empty"},
        {"cut", folder + "/cut/KQvKR.rtbw: truncated or padded (10 bytes, not 16 past a multiple of 64); WDL table "
                         "KQvKR left out"},
    };
    const char* const fen = "k7/8/1K6/8/8/8/6r1/3Q4 w - - 0 1";
    for (const auto& [sub, problem] : cases) {
        SCOPED_TRACE(sub);
        const size_t mark = engine.Output().size();
        const std::string best = Go("setoption name SyzygyPath value " + folder + "/" + sub + "\nposition fen " + fen +
                                    "\ngo depth 4\n");
        const std::vector<std::string> lines = Lines(Since(mark));
        ASSERT_GE(lines.size(), 2u);
        EXPECT_EQ(lines[0], TablebaseSupport() ? "info string Syzygy tablebases: none loaded; " + problem
                                               : "info string no tablebase support in this build");
        EXPECT_EQ(Count(Since(mark), "info string"), 1u) << Since(mark);
        EXPECT_EQ(Count(Since(mark), " tbhits 0 "), Count(Since(mark), " tbhits ")) << Since(mark);
        ASSERT_TRUE(ReadFen(gamePosition, fen));
        EXPECT_TRUE(IsLegalMove(gamePosition, TextToMoveOnBoard(gamePosition, best.substr(9, 4).c_str()))) << best;
    }
    Quit();
}

// ---- With the 3- and 4-piece tables (support/tablebases.h).

class TablebaseUci : public UciSession {
  protected:
    void SetUp() override {
        REQUIRE_TABLES();
        UciSession::SetUp();
        if (HasFatalFailure()) return;
        engine.Send("setoption name SyzygyPath value " + TestTablebaseFolder() + "\n");
        ASSERT_EQ(engine.WaitForLine("info string", Timeout),
                  "info string Syzygy tablebases: 35 WDL and 35 DTZ files, up to 4 pieces");
    }
};

// kavrin-uci plays both sides of a won ending: the side that wins mates,
// before the fifty-move rule could draw the game.
TEST_F(TablebaseUci, WonEndingsArePlayedOutToMate) {
    const std::pair<const char*, const char*> endings[] = {
        {"KRvK", "8/8/8/4k3/8/8/8/R3K3 w - - 0 1"},
        {"KQvKR", "8/8/8/8/2k5/8/3r4/K5Q1 w - - 0 1"},
        {"KPvK", "4k3/8/4K3/4P3/8/8/8/8 w - - 0 1"},
    };
    constexpr int MaxPlies = 300;
    for (const auto& [name, fen] : endings) {
        SCOPED_TRACE(name);
        auto pos = std::make_unique<Position>();
        ASSERT_TRUE(ReadFen(*pos, fen));
        std::string moves;
        int plies = 0;
        for (; plies < MaxPlies; ++plies) {
            const std::string best = Go("position fen " + std::string(fen) + " moves" + moves + "\ngo depth 6\n");
            if (best == "bestmove (none)") break;
            const std::string move = best.substr(9, best.find(' ', 9) - 9);
            ASSERT_TRUE(PlayMoveOnGame(*pos, TextToMoveOnBoard(*pos, move.c_str()))) << best;
            ASSERT_LT(pos->historyTop->fiftyCounter, 100) << "drawn by the fifty-move rule after" << moves;
            moves += " " + move;
        }
        ASSERT_LT(plies, MaxPlies) << moves;
        // Mated, not stalemated, and the side that was to lose is to move.
        CheckInfo check;
        ComputeCheckers(*pos, check);
        EXPECT_NE(check.checkers, 0u) << moves;
        EXPECT_EQ(plies % 2, 1) << moves;
    }
    Quit();
}

// At a root in the tables every line shows the tables' score of its move (a
// win as cp 20000 less a ply, a draw as 0) unless the search found a mate,
// and only the moves that keep the best result are searched, among those of
// "searchmoves" when it names some.
TEST_F(TablebaseUci, RootLinesKeepTheBestResultAndShowItsScore) {
    struct RootCase {
        const char* name;
        std::string setup;  // options and position
        std::string go;
        const char* score;  // the pattern of the score and its rates
        int lines;          // per iteration
        const char* best;   // the move played, where only one may be
    };
    const std::string kpk = "position fen 4k3/8/4K3/4P3/8/8/8/8 w - - 0 1\n";
    const std::string krk90 = "position fen 8/8/8/4k3/8/8/8/R3K3 w - - 90 70\n";
    const RootCase cases[] = {
        {"KPvK: the two king moves that win", "setoption name MultiPV value 3\n" + kpk, "go depth 6\n",
         "cp 19999 wdl 1000 0 0", 2, ""},
        {"KPvK: searchmoves with one winning move", "setoption name MultiPV value 3\n" + kpk,
         "go depth 6 searchmoves e6d5 e6f6\n", "cp 19999 wdl 1000 0 0", 1, "e6f6"},
        {"KPvK: searchmoves that only draw", kpk, "go depth 6 searchmoves e6d5\n", "cp 0 wdl 0 1000 0", 1, "e6d5"},
        {"KPvK: the side that loses", "position fen 4k3/8/4K3/4P3/8/8/8/8 b - - 0 1\n", "go depth 6\n",
         "cp -19999 wdl 0 0 1000", 1, ""},
        {"KPvK drawn", "position fen k7/8/8/8/P7/8/8/K7 w - - 0 1\n", "go depth 6\n", "cp 0 wdl 0 1000 0", 1, ""},
        {"KQvKR: the search's mate", "position fen k7/8/1K6/8/8/8/6r1/3Q4 w - - 0 1\n", "go depth 4\n",
         "mate 1 wdl 1000 0 0", 1, "d1d8"},
        {"KRvK, the counter at 90: too late to mate under the rule", krk90, "go depth 6\n",
         "cp [1-9][0-9]? wdl [0-9]+ [0-9]+ [0-9]+", 1, ""},
        {"KRvK, the counter at 90, without the rule", "setoption name Syzygy50MoveRule value false\n" + krk90,
         "go depth 6\n", "cp 19999 wdl 1000 0 0", 1, ""},
    };
    engine.Send("setoption name UCI_ShowWDL value true\n");
    for (const RootCase& c : cases) {
        SCOPED_TRACE(c.name);
        engine.Send("setoption name MultiPV value 1\nsetoption name Syzygy50MoveRule value true\n" + c.setup);
        const size_t mark = engine.Output().size();
        const std::string best = Go(c.go);
        std::map<long long, int> linesAtDepth;
        for (const std::string& line : Lines(Since(mark))) {
            if (line.find(" score ") == std::string::npos) continue;
            ++linesAtDepth[Field(line, "depth")];
            const size_t from = line.find(" score ") + 7;
            EXPECT_TRUE(std::regex_match(line.substr(from, line.find(" nodes ") - from), std::regex(c.score))) << line;
            EXPECT_GT(Field(line, "tbhits"), 0) << line;
        }
        ASSERT_FALSE(linesAtDepth.empty());
        for (const auto& [depth, lines] : linesAtDepth) EXPECT_EQ(lines, c.lines) << "depth " << depth;
        if (*c.best) {
            EXPECT_EQ(best.substr(9, 4), c.best) << best;
        }
    }
    Quit();
}

// "SyzygyPath <empty>" unloads the tables: the next search probes none.
TEST_F(TablebaseUci, AnEmptyPathUnloadsTheTables) {
    const std::string kqkr = "position fen k7/8/1K6/8/8/8/6r1/3Q4 w - - 0 1\ngo depth 4\n";
    size_t mark = engine.Output().size();
    ASSERT_NE(Go(kqkr), "");
    EXPECT_GT(Count(Since(mark), " tbhits "), 0u);
    EXPECT_EQ(Count(Since(mark), " tbhits 0 "), 0u) << Since(mark);
    mark = engine.Output().size();
    ASSERT_NE(Go("setoption name SyzygyPath value <empty>\n" + kqkr), "");
    const std::vector<std::string> lines = Lines(Since(mark));
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[0], "info string Syzygy tablebases unloaded");
    EXPECT_EQ(Count(Since(mark), " tbhits 0 "), Count(Since(mark), " tbhits ")) << Since(mark);
    Quit();
}

// Two search threads probe the tables at once, in a search whose root has a
// piece too many for them; the win comes from the tables. (ThreadSanitizer
// runs this test.)
TEST_F(TablebaseUci, TwoThreadsProbeTheTablesInTheirSearch) {
    engine.Send("setoption name Threads value 2\n");
    const size_t mark = engine.Output().size();
    // Qxb2 leaves king, queen and pawn against the king.
    const std::string best = Go("position fen 4k3/8/8/8/8/8/1r3P2/1Q2K3 w - - 0 1\ngo depth 10\n");
    EXPECT_EQ(best.substr(0, 13), "bestmove b1b2") << best;
    // The last scored line (a progress line may follow it on a slow build).
    std::string last;
    for (const std::string& line : Lines(Since(mark)))
        if (line.find(" score ") != std::string::npos) last = line;
    ASSERT_NE(last, "") << Since(mark);
    EXPECT_GT(Field(last, "tbhits"), 0) << last;
    // A tablebase win, or a mate if the search got that far.
    EXPECT_TRUE(Field(last, "cp") > TbWinCentipawns - PlyStackSize || Field(last, "mate") > 0) << last;
    Quit();
}

}  // namespace
}  // namespace kavrin::test
