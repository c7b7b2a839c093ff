// The search end to end on the Board: mates with their scores and markers,
// stalemate and draw markers at the root, the repetition guard on table
// cutoffs, the thinking line and the log lines, stopping on input and on
// time, the reset of all search state, and the cut for a full history.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "board/board.h"
#include "board/fen.h"
#include "board/movetext.h"
#include "board/perft.h"
#include "driver/engine_state.h"
#include "driver/thinking.h"
#include "search/alphabeta.h"
#include "search/alphabeta_node.h"
#include "search/control.h"
#include "search/engine.h"
#include "search/game.h"
#include "search/movepick.h"
#include "search/pawnhash.h"
#include "search/quiesce.h"
#include "search/quiesce_node.h"
#include "search/root.h"
#include "search/threads.h"
#include "search/tt.h"
#include "search/worker.h"
#include "support/board_setup.h"
#include "support/engine_process.h"
#include "support/test_engine.h"
#include "support/text.h"
#include "system/clock.h"

namespace kavrin {

// What these tests look at inside the main search thread's worker.
struct SearchWorkerTestAccess {
    static SearchWorker& Main() { return test::TestEngine().Threads().Main(); }
    // Searches the game position's node one ply below a root at full width,
    // in the search of profile P, with the stop flag and the line limits a
    // root sets.
    template <class P = ClassicProfile>
    static int SearchNode(int depth, int alpha, int beta) {
        SearchWorker& w = Main();
        CopyPositionFrom(w.pos, gamePosition);
        w.limits = SearchLimits{};
        w.limits.untimed = true;
        w.plies[0].moveListEnd = w.moveStack;
        w.plies[1].moveListEnd = nullptr;
        w.checkCount[0] = w.checkCount[1] = 0;
        w.nextPollAt = w.nodes + PollInterval;
        w.shared.stop.store(false);
        w.SetLineLimits();
        return w.AlphaBeta<P>(depth, 1, alpha, beta, false);
    }
    static int DeepestSearchPly() { return Main().deepestSearchPly; }
    static uint64_t Nodes() { return Main().nodes; }
    static bool AnyExcludedMove() {
        for (const SearchPly& p : Main().plies)
            if (p.excluded != 0) return true;
        return false;
    }
    // Whether any killer, history counter or pawn cache entry is set.
    static bool AnyKiller() {
        for (const SearchPly& p : Main().plies)
            if (p.killer1 || p.killer2) return true;
        return false;
    }
    static const HistoryTable& History() { return Main().history; }
    static PawnCache& Pawns() { return Main().pawns; }
};

namespace {

constexpr const char* MateInOne = "r1bqkb1r/pppp1ppp/2n2n2/4p2Q/2B1P3/8/PPPP1PPP/RNB1K1NR w KQkq -";
constexpr const char* MateInTwo = "r2qkb1r/pp2nppp/3p4/2pNN1B1/2BnP3/3P4/PPP2PPP/R2bK2R w KQkq -";
constexpr const char* MateInThree = "r1b1kb1r/pppp1ppp/5q2/4n3/3KP3/2N3PN/PPP4P/R1BQ1B1R b kq -";
constexpr const char* Middlegame = "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq -";

// Standard input is a pipe the test writes to; the log stream goes into a
// string, and standard output of a search can be captured.
class SearchTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        int fds[2];
        ASSERT_EQ(pipe(fds), 0);
        dup2(fds[0], STDIN_FILENO);
        inputWriter = fds[1];
    }

    void SetUp() override {
        searchLimits = SearchLimits{};
        searchLimits.searchStart = ClockMs();
        searchLimits.timeAllotment = 1000000000;
        searchLimits.movesToGo = 0;
        searchLimits.maxDepth = 4;
    }

    // A fresh position, as "setboard" sets it up: the search forgets the old ones.
    static void SetUpPosition(const char* fen) {
        test::SetUpPosition(fen);
        test::TestEngine().ResetSearchState();
    }

    // Plays a game move on the Board as the driver does.
    static void PlayMove(const char* text) {
        ASSERT_TRUE(test::PlayIfLegal(text)) << text;
        ++gamePosition.gamePly;
    }

    // Runs a search that reports as the xboard front end's do; returns what
    // it printed.
    std::string SearchCapturingOutput(Move* best) {
        return test::StdoutOf([&] { *best = test::TestEngine().Search(searchLimits, &test::TestSession()); });
    }
    static const SearchResult& Result() { return test::TestEngine().Threads().Main().Result(); }
    static int IterationDepth() { return test::TestEngine().Threads().Main().IterationDepth(); }

    SearchLimits searchLimits;
    static int inputWriter;
    test::LogCapture log;
};

int SearchTest::inputWriter = -1;

TEST_F(SearchTest, MateInOneScoresMateValueMinusOneAndShowsTheMateMarker) {
    SetUpPosition(MateInOne);
    Move best;
    const std::string out = SearchCapturingOutput(&best);
    EXPECT_EQ(test::MoveText(best), "h5f7");
    EXPECT_EQ(Result().bestScore, MateValue - 1);
    EXPECT_NE(out.find("h5f7 # \n"), std::string::npos) << out;
    EXPECT_NE(log.Text().find("--- MATE: 8099\n"), std::string::npos);
}

TEST_F(SearchTest, MateInTwoAndThreeScoreByTheMatingPly) {
    SetUpPosition(MateInTwo);
    searchLimits.maxDepth = 5;
    Move best;
    SearchCapturingOutput(&best);
    EXPECT_EQ(test::MoveText(best), "d5f6");
    EXPECT_EQ(Result().bestScore, MateValue - 3);

    SetUpPosition(MateInThree);
    searchLimits.maxDepth = 6;
    const std::string out = SearchCapturingOutput(&best);
    EXPECT_EQ(test::MoveText(best), "f8c5");
    EXPECT_EQ(Result().bestScore, MateValue - 5);
    // The fourth iteration that shows the mate ends the search.
    searchLimits.maxDepth = 20;
    SetUpPosition(MateInThree);
    SearchCapturingOutput(&best);
    // Iterations 5 to 8 show the mate in three.
    EXPECT_EQ(IterationDepth(), 8);
    EXPECT_EQ(Result().bestScore, MateValue - 5);
}

TEST_F(SearchTest, MatedRootGivesTheCheckmateMarker) {
    SetUpPosition("rnb1kbnr/pppp1ppp/8/4p3/6Pq/5P2/PPPPP2P/RNBQKBNR w KQkq -");
    Move best;
    const std::string out = SearchCapturingOutput(&best);
    EXPECT_EQ(best, ResultCheckmated);
    EXPECT_EQ(Result().bestScore, -MateValue);
    EXPECT_NE(out.find("    2     -8100     0     "), std::string::npos) << out;
    EXPECT_NE(out.find("  # \n"), std::string::npos) << out;
    TTEntry e;
    ASSERT_TRUE(test::TestEngine().Table().Probe(gamePosition, e));
    EXPECT_EQ(EntryMove(e), ResultCheckmated);
    EXPECT_EQ(EntryScore(e), -MateValue);
}

TEST_F(SearchTest, StalemateAtTheRootEndsAtOnceWithItsMarker) {
    SetUpPosition("7k/5Q2/6K1/8/8/8/8/8 b - -");
    Move best;
    const std::string out = SearchCapturingOutput(&best);
    EXPECT_EQ(best, ResultStalemate);
    EXPECT_EQ(Result().bestScore, 0);
    EXPECT_EQ(out, "");
    EXPECT_NE(log.Text().find("-----STALEMATED---\n"), std::string::npos);
}

TEST_F(SearchTest, DrawnRootReturnsTheDrawMarkerWithoutSearching) {
    SetUpPosition("8/8/4k3/8/8/3BK3/8/8 w - -");
    Move best;
    std::string out = SearchCapturingOutput(&best);
    EXPECT_EQ(best, ResultInsufficientMaterial);
    EXPECT_EQ(out, "");
    EXPECT_EQ(log.Text(), "");

    SetUpPosition("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -");
    for (const char* m : {"g1f3", "g8f6", "f3g1", "f6g8", "g1f3", "g8f6", "f3g1", "f6g8"}) PlayMove(m);
    out = SearchCapturingOutput(&best);
    EXPECT_EQ(best, ResultRepetition);
    EXPECT_EQ(Result().bestScore, 0);
    EXPECT_EQ(out, "");
    EXPECT_EQ(log.Text(), "");
}

// A deep exact table entry for the node is a cutoff, unless its move would
// repeat a position.
TEST_F(SearchTest, TableCutoffIsRefusedWhenTheHashMoveRepeats) {
    auto searchNode = [](Move hashMove) {
        SetUpPosition("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -");
        PlayMove("g1f3");
        PlayMove("g8f6");
        PlayMove("f3g1");
        test::TestEngine().Table().Store(gamePosition, 777, Bound::Exact, 20, hashMove);
        return SearchWorkerTestAccess::SearchNode(1, -MateValue, MateValue);
    };
    const Move back = MakeMoveWord(21, 6, Quiet);   // f6g8
    const Move pawn = MakeMoveWord(12, 28, Quiet);  // e7e5
    EXPECT_EQ(searchNode(pawn), 777);
    const int searched = searchNode(back);
    EXPECT_NE(searched, 777);
    EXPECT_LT(searched, 200);
    EXPECT_GT(searched, -200);
}

// One search's thinking line and log lines, byte for byte; then the same
// position again, resumed from its table entry.
TEST_F(SearchTest, ThinkingLineAndLogLinesOfOneSearch) {
    SetUpPosition(MateInOne);
    searchLimits.maxDepth = 2;
    Move best;
    std::string out = SearchCapturingOutput(&best);
    char expected[128];
    std::snprintf(expected, sizeof expected, "    2     8099     0     %d  h5f7 # \n",
                  static_cast<int>(test::TestEngine().Threads().Main().Nodes()));
    EXPECT_EQ(out, expected);
    EXPECT_EQ(log.Text(),
              "---------- brak hm na poczatku!!!\n"
              "-FEN:\tr1bqkb1r/pppp1ppp/2n2n2/4p2Q/2B1P3/8/PPPP1PPP/RNB1K1NR w KQkq -\n"
              "-E: 2:\t8099\th5f7 # \n"
              "--- MATE: 8099\n");

    log.Clear();
    searchLimits.untimed = searchLimits.pondering = true;
    out = SearchCapturingOutput(&best);
    EXPECT_EQ(out, "");
    EXPECT_EQ(log.Text(), "---------- mate score from hash!!! m:" + std::to_string(best) +
                              "\n"
                              "-FEN:\tr1bqkb1r/pppp1ppp/2n2n2/4p2Q/2B1P3/8/PPPP1PPP/RNB1K1NR w KQkq -\n"
                              "-PONDER:\n"
                              "-E: 2:\t8099\th5f7 # \n"
                              "--- MATE: 8099\n");
}

TEST_F(SearchTest, ThinkingLinesGrowByOneIterationEach) {
    SetUpPosition(Middlegame);
    searchLimits.maxDepth = 4;
    Move best;
    const std::string out = SearchCapturingOutput(&best);
    std::istringstream lines(out);
    std::string line;
    int depth = 2;
    while (std::getline(lines, line)) {
        EXPECT_EQ(line.rfind("    " + std::to_string(depth) + "     ", 0), 0u) << line;
        EXPECT_NE(line.find("     0     "), std::string::npos) << line;
        EXPECT_EQ(line.back(), ' ') << line;
        ++depth;
    }
    EXPECT_EQ(depth, 5);
    EXPECT_NE(best, 0);
}

TEST_F(SearchTest, PendingInputStopsTheSearchMidway) {
    SetUpPosition(Middlegame);
    searchLimits.maxDepth = 60;
    std::thread writer([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        const char byte = '\n';
        ASSERT_EQ(write(inputWriter, &byte, 1), 1);
    });
    const auto start = std::chrono::steady_clock::now();
    Move best;
    SearchCapturingOutput(&best);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    writer.join();
    EXPECT_TRUE(test::TestEngine().Threads().StoppedEarly());
    EXPECT_LT(seconds, 10.0);
    EXPECT_LT(IterationDepth(), 60);
    EXPECT_NE(best, 0);
    char byte;
    ASSERT_EQ(read(STDIN_FILENO, &byte, 1), 1);
}

TEST_F(SearchTest, SpentTimeStopsTheSearchOnlyAfterIterationTwo) {
    SetUpPosition(Middlegame);
    searchLimits.maxDepth = 60;
    searchLimits.timeAllotment = 0;
    Move best;
    const std::string out = SearchCapturingOutput(&best);
    EXPECT_EQ(out.rfind("    2     ", 0), 0u) << out;
    EXPECT_EQ(out.find("    3     "), std::string::npos) << out;
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 1);
    EXPECT_TRUE(test::TestEngine().Threads().StoppedEarly());
    EXPECT_EQ(IterationDepth(), 3);
    EXPECT_NE(best, 0);

    // Pondering has no time limit: only the depth ends it.
    SetUpPosition(Middlegame);
    searchLimits.untimed = searchLimits.pondering = true;
    searchLimits.maxDepth = 4;
    SearchCapturingOutput(&best);
    EXPECT_FALSE(test::TestEngine().Threads().StoppedEarly());
    EXPECT_EQ(IterationDepth(), 5);
}

TEST_F(SearchTest, FailLowTriplesTheAllotmentUntilTheIterationEnds) {
    SetUpPosition(Middlegame);
    searchLimits.maxDepth = 5;
    searchLimits.movesToGo = 10;
    searchLimits.timeAllotment = 100000000;
    Move best;
    SearchCapturingOutput(&best);
    EXPECT_EQ(test::TestEngine().Threads().Main().Limits().timeAllotment, 100000000);
}

TEST_F(SearchTest, SearchStateResetEmptiesTableHistoryKillersAndPawnHash) {
    SetUpPosition(Middlegame);
    Move best;
    SearchCapturingOutput(&best);
    auto anyNonZero = [](const void* data, size_t size) {
        const unsigned char* bytes = static_cast<const unsigned char*>(data);
        for (size_t i = 0; i < size; ++i) {
            if (bytes[i]) return true;
        }
        return false;
    };
    using Access = SearchWorkerTestAccess;
    ASSERT_TRUE(anyNonZero(&test::TestEngine().Table().BucketOf(Black, 0), test::TestEngine().Table().Bytes()));
    ASSERT_TRUE(anyNonZero(Access::History(), sizeof(HistoryTable)));
    ASSERT_TRUE(anyNonZero(&Access::Pawns().EntryOf(0), Access::Pawns().Bytes()));
    ASSERT_TRUE(Access::AnyKiller());

    SetUpPosition("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -");
    EXPECT_FALSE(anyNonZero(&test::TestEngine().Table().BucketOf(Black, 0), test::TestEngine().Table().Bytes()));
    EXPECT_FALSE(anyNonZero(Access::History(), sizeof(HistoryTable)));
    EXPECT_FALSE(anyNonZero(&Access::Pawns().EntryOf(0), Access::Pawns().Bytes()));
    EXPECT_FALSE(Access::AnyKiller());
    SearchCapturingOutput(&best);
    EXPECT_NE(log.Text().find("---------- brak hm na poczatku!!!\n"), std::string::npos);
}

// A game that has nearly filled the position history: the search line is
// cut to the room left, and with no room at all no move is returned.
TEST_F(SearchTest, NearlyFullHistoryCutsTheLineOrRefuses) {
    for (int used : {HistorySize - 40, HistorySize - 9, HistorySize - 3}) {
        SetUpPosition(Middlegame);
        gamePosition.history[used] = gamePosition.history[0];
        gamePosition.historyTop = gamePosition.history + used;
        searchLimits.maxDepth = 6;
        Move best;
        SearchCapturingOutput(&best);
        EXPECT_NE(best, 0) << used;
        EXPECT_EQ(gamePosition.HistoryIndex(), used);
        EXPECT_LE(SearchWorkerTestAccess::DeepestSearchPly(), HistorySize - 2 - used);
    }
    SetUpPosition(Middlegame);
    log.Clear();
    gamePosition.history[HistorySize - 2] = gamePosition.history[0];
    gamePosition.historyTop = gamePosition.history + HistorySize - 2;
    Move best;
    const std::string out = SearchCapturingOutput(&best);
    EXPECT_EQ(best, 0);
    EXPECT_EQ(out, "");
    EXPECT_EQ(log.Text(), "---------- no history room for a search\n");
    SetUpPosition(Middlegame);
}

// The variation text plays only legal table moves: a corrupt entry ends it.
TEST_F(SearchTest, VariationTextStopsAtAnImpossibleTableMove) {
    SearchWorker& worker = test::TestEngine().Threads().Main();
    // The variation of the game position, read by the main thread's worker.
    auto variation = [&](int moves) {
        CopyPositionFrom(worker.pos, gamePosition);
        char text[PvTextSize];
        worker.BuildPvText(text, moves);
        EXPECT_EQ(worker.pos.HistoryIndex(), gamePosition.HistoryIndex());
        return std::string(text);
    };
    SetUpPosition(Middlegame);
    test::TestEngine().Table().Store(gamePosition, 10, Bound::Exact, 5, TextToMoveOnBoard(gamePosition, "e5f7"));
    EXPECT_EQ(variation(12), "e5f7 NOE ");
    test::TestEngine().Table().Clear();
    test::TestEngine().Table().Store(gamePosition, 10, Bound::Exact, 5,
                                     MakeMoveWord(56, 0, Quiet));  // a1a8 through its own pieces
    EXPECT_EQ(variation(12), "");
    // A pinned knight's move is pseudo-legal but exposes the king.
    SetUpPosition("4k3/8/8/8/4r3/8/4N3/4K3 w - -");
    test::TestEngine().Table().Store(gamePosition, 10, Bound::Exact, 5, TextToMoveOnBoard(gamePosition, "e2c3"));
    EXPECT_EQ(variation(12), "");
    test::TestEngine().Table().Clear();
    test::TestEngine().Table().Store(gamePosition, 10, Bound::Exact, 5, ResultStalemate);
    EXPECT_EQ(variation(12), "1/2 - 1/2 (stalemate)");
    test::TestEngine().Table().Clear();
    test::TestEngine().Table().Store(gamePosition, 10, Bound::Exact, 5, 0x3123);
    EXPECT_EQ(variation(12), "ERROR: 3123");
    EXPECT_EQ(variation(0), "");
}

// A short game through the interface: the engine answers "go" and each
// scripted reply with legal moves and prints its thinking lines.
TEST(SearchGame, EngineThinksAndPlaysLegalMovesUnderATimeControl) {
    test::SetUpPosition(InitialFen);
    test::EngineProcess engine{KAVRIN_BINARY};
    engine.WriteEmptyBooks();
    ASSERT_TRUE(engine.Start());
    ASSERT_TRUE(engine.Greet());
    engine.Send("new\nlevel 40 1 0\ntime 6000 otim 6000\ngo\n");
    for (int turn = 0; turn < 3; ++turn) {
        const std::string line = engine.WaitForLine("move ", 20000);
        ASSERT_FALSE(line.empty()) << engine.Output();
        const std::string move = line.substr(5);
        ASSERT_TRUE(test::PlayIfLegal(move)) << move;
        // The first legal reply.
        const std::vector<std::string> replies = test::LegalMoveTexts();
        ASSERT_FALSE(replies.empty());
        const std::string reply = replies.front();
        ASSERT_TRUE(test::PlayIfLegal(reply));
        engine.Send("time 5800 otim 5800\n" + reply + "\n");
    }
    engine.Send("quit\n");
    ASSERT_TRUE(engine.ExitsNormally(20000));
    int thinkingLines = 0;
    std::istringstream lines(engine.Output());
    std::string line;
    while (std::getline(lines, line)) {
        if (line.rfind("    ", 0) == 0 && line.find("     0     ") != std::string::npos) ++thinkingLines;
    }
    EXPECT_GE(thinkingLines, 3) << engine.Output();
    EXPECT_NE(engine.Log().find("-E: 2:\t"), std::string::npos);
}

// Profiles whose move loop skips moves: every quiet move, or every move.
struct SkipsQuietMoves : ClassicProfile {
    static constexpr bool SkipsMoves = true;
    static constexpr bool SkipMove(const MoveChoice& c) { return MoveKindOf(c.move) == Quiet || IsCastling(c.move); }
};
struct SkipsEveryMove : ClassicProfile {
    static constexpr bool SkipsMoves = true;
    static constexpr bool SkipMove(const MoveChoice&) { return true; }
};

// A node that skips moves: what it scores, and what the table then holds for
// it (the move of its entry, or 0 when it has none).
struct SkippingCase {
    const char* fen;
    int depth;
    bool skipsEveryMove;
    int score;       // alpha is -100, beta 100
    Move tableMove;  // ResultCheckmated, ResultStalemate, or 0 for no entry
};

TEST_F(SearchTest, SkippedMovesNeverMakeAMateOrAStalemate) {
    const SkippingCase cases[] = {
        // Only quiet king moves, all skipped: a fail low, nothing kept.
        {"7k/8/8/8/8/8/8/K7 b - -", 1, false, -100, 0},
        {"7k/8/8/8/8/8/8/K7 b - -", 4, false, -100, 0},
        // Every move skipped in a middlegame: the same.
        {Middlegame, 3, true, -100, 0},
        // No legal move: mated and stalemate all the same.
        {"R5k1/5ppp/8/8/8/8/8/6K1 b - -", 3, true, 1 - MateValue, ResultCheckmated},
        {"7k/5Q2/6K1/8/8/8/8/8 b - -", 3, true, 0, ResultStalemate},
    };
    for (const SkippingCase& c : cases) {
        SCOPED_TRACE(c.fen);
        SetUpPosition(c.fen);
        const int score = c.skipsEveryMove ? SearchWorkerTestAccess::SearchNode<SkipsEveryMove>(c.depth, -100, 100)
                                           : SearchWorkerTestAccess::SearchNode<SkipsQuietMoves>(c.depth, -100, 100);
        EXPECT_EQ(score, c.score);
        TTEntry e;
        const bool found = test::TestEngine().Table().Probe(gamePosition, e);
        EXPECT_EQ(found ? EntryMove(e) : Move{0}, c.tableMove);
    }
}

// Quiet moves skipped, the captures searched: a frontier node scores its
// best capture as a node that skips nothing does when that capture is best.
TEST_F(SearchTest, SkippedQuietMovesLeaveTheBestCaptureItsScore) {
    SetUpPosition("4k3/8/8/3q4/8/8/8/3QK3 w - -");
    const int full = SearchWorkerTestAccess::SearchNode(1, -WideWindow, WideWindow);
    SetUpPosition("4k3/8/8/3q4/8/8/8/3QK3 w - -");
    EXPECT_EQ(SearchWorkerTestAccess::SearchNode<SkipsQuietMoves>(1, -WideWindow, WideWindow), full);
    EXPECT_GT(full, 500);
}

// kavrin-uci's profile with every step it may gain turned on: whatever
// matches decide to keep, the steps together keep mate scores exact.
struct EveryStep : ModernProfile {
    static constexpr bool StaticScore = true;
    static constexpr bool ReverseFutility = true;
    static constexpr bool AdaptiveNullMove = true;
    static constexpr bool FirstMoveWindow = true;
    static constexpr bool ReductionsByImproving = true;
    static constexpr bool FutilityPruning = true;
    static constexpr bool LateMovePruning = true;
    static constexpr bool CorrectionHistory = true;
    static constexpr bool ExchangePruning = true;
    static constexpr bool QuiesceExchangePruning = true;
    static constexpr bool CheckExtension = true;
    static constexpr bool GravityHistory = true;
    static constexpr bool ContinuationHistory = true;
    static constexpr bool FollowUpHistory = true;
    static constexpr bool CounterMove = true;
    static constexpr bool SingularExtension = true;
};
struct EveryStepButSingular : EveryStep {
    static constexpr bool SingularExtension = false;
};

TEST_F(SearchTest, EveryStepTogetherKeepsMateScoresExact) {
    struct MateCase {
        const char* fen;
        int depth;
    };
    const MateCase cases[] = {{MateInOne, 9}, {MateInTwo, 9}, {MateInThree, 10}};
    for (const MateCase& c : cases) {
        SCOPED_TRACE(c.fen);
        SetUpPosition(c.fen);
        const int classic = SearchWorkerTestAccess::SearchNode(c.depth, -MateValue, MateValue);
        ASSERT_GT(classic, MateScoreThreshold);
        // Deepening as a search does, so that deep nodes find table entries
        // (the singular test needs them).
        uint64_t nodes[2] = {0, 0};
        for (int withSingular = 0; withSingular < 2; ++withSingular) {
            SetUpPosition(c.fen);
            const uint64_t before = SearchWorkerTestAccess::Nodes();
            int score = 0;
            for (int d = 1; d <= c.depth; ++d)
                score = withSingular
                            ? SearchWorkerTestAccess::SearchNode<EveryStep>(d, -MateValue, MateValue)
                            : SearchWorkerTestAccess::SearchNode<EveryStepButSingular>(d, -MateValue, MateValue);
            nodes[withSingular] = SearchWorkerTestAccess::Nodes() - before;
            EXPECT_EQ(score, classic);
            EXPECT_FALSE(SearchWorkerTestAccess::AnyExcludedMove());
        }
        // The deepest case reaches nodes where the singular test runs.
        if (c.depth == 10) {
            EXPECT_NE(nodes[0], nodes[1]);
        }
    }
}

}  // namespace
}  // namespace kavrin
