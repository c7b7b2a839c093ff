// Perft: exact counts for the suite in tests/data/perft.txt and for positions
// that exercise en passant, promotions, castling, checks, mate and stalemate;
// the report text of the "perft" command.
#include "board/perft.h"

#include <gtest/gtest.h>

#include <cstring>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "board/board.h"
#include "board/fen.h"
#include "board/movegen.h"
#include "search/game.h"
#include "support/board_setup.h"
#include "support/files.h"
#include "support/test_engine.h"
#include "support/text.h"

namespace kavrin {
namespace {

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KAVRIN_TEST_INSTRUMENTED 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(KAVRIN_POSITION_CHECK)
#define KAVRIN_TEST_INSTRUMENTED 1
#endif

// Trees walked per position: up to the deepest depth whose leaf count stays
// below this. Sanitizer and position-check builds walk far smaller trees.
#ifdef KAVRIN_TEST_INSTRUMENTED
constexpr uint64_t LeafLimit = 60000;
#else
constexpr uint64_t LeafLimit = 20000000;
#endif

using test::SetUpPosition;

// Moves made by the PerftFromRoot calls since it was last set to 0.
uint32_t perftMoveCount = 0;

// Perft as the command runs it, leaving the position as it was.
uint64_t PerftFromRoot(int depth) {
    const Board before = gamePosition.board;
    const uint64_t n = Perft(gamePosition, depth, &perftMoveCount);
    EXPECT_EQ(std::memcmp(&before, &gamePosition.board, sizeof before), 0);
    return n;
}

struct PerftCase {
    std::string fen;
    std::vector<uint64_t> leaves;  // per depth 1, 2, ...
};

// Checks every depth up to the leaf limit: Perft(gamePosition, d) counts plies 1..d.
void ExpectCumulativeCounts(const PerftCase& c) {
    SetUpPosition(c.fen.c_str());
    const Board before = gamePosition.board;
    const HistoryEntry* const top = gamePosition.historyTop;
    uint64_t cumulative = 0;
    for (size_t d = 1; d <= c.leaves.size() && c.leaves[d - 1] < LeafLimit; ++d) {
        cumulative += c.leaves[d - 1];
        EXPECT_EQ(PerftFromRoot(static_cast<int>(d)), cumulative) << c.fen << " depth " << d;
    }
    EXPECT_EQ(std::memcmp(&before, &gamePosition.board, sizeof gamePosition.board), 0)
        << "perft left the Board changed: " << c.fen;
    EXPECT_EQ(gamePosition.historyTop, top);
}

std::vector<PerftCase> ReadSuite(const std::string& path) {
    std::vector<PerftCase> cases;
    for (const std::string& line : test::Lines(test::ReadFileBytes(path))) {
        if (line.empty() || line[0] == '#') continue;
        const size_t semicolon = line.find(';');
        if (semicolon == std::string::npos) continue;
        PerftCase c;
        c.fen = line.substr(0, semicolon);
        std::istringstream counts(line.substr(semicolon + 1));
        for (uint64_t n; counts >> n;) c.leaves.push_back(n);
        cases.push_back(c);
    }
    return cases;
}

TEST(PerftSuite, EveryPositionOfTheSuiteFileIsExact) {
    const std::vector<PerftCase> cases = ReadSuite(std::string(KAVRIN_TEST_DATA) + "/perft.txt");
    ASSERT_GE(cases.size(), 6u);
    for (const PerftCase& c : cases) ExpectCumulativeCounts(c);
}

TEST(PerftSuite, InitialPositionRows) {
    SetUpPosition(InitialFen);
    EXPECT_EQ(PerftFromRoot(1), 20u);
    EXPECT_EQ(PerftFromRoot(2), 420u);
    EXPECT_EQ(PerftFromRoot(3), 9322u);
}

// Per-depth leaf counts of these positions agree with an independent
// reference generator.
TEST(PerftPositions, EnPassant) {
    // d7-d5 then c5xd6 would uncover the rook's check along the rank.
    ExpectCumulativeCounts({"3k4/3p4/8/K1P4r/8/8/8/8 b - -", {18, 92, 1670, 10138, 185429, 1134888}});
    // The capture gives check.
    ExpectCumulativeCounts({"8/8/1k6/2b5/2pP4/8/5K2/8 b - d3", {15, 126, 1928, 13931, 206379, 1440467}});
    // Rank pin at the root: b5xc6 would leave both pawns' rank to the rook.
    ExpectCumulativeCounts({"8/8/8/KPp4r/8/8/8/7k w - c6", {4, 56, 259, 4225, 23591}});
}

TEST(PerftPositions, Promotions) {
    ExpectCumulativeCounts({"4k3/1P6/8/8/8/8/K7/8 w - -", {9, 40, 472, 2661, 38983, 217342}});
    ExpectCumulativeCounts({"8/P1k5/K7/8/8/8/8/8 w - -", {6, 27, 273, 1329, 18135, 92683}});
    ExpectCumulativeCounts({"n1n5/PPPk4/8/8/8/8/4Kppp/5N1N b - -", {24, 496, 9483, 182838, 3605103}});
}

TEST(PerftPositions, Castling) {
    ExpectCumulativeCounts({"5k2/8/8/8/8/8/8/4K2R w K -", {15, 66, 1198, 6399, 120330, 661072}});
    ExpectCumulativeCounts({"3k4/8/8/8/8/8/8/R3K3 w Q -", {16, 71, 1286, 7418, 141077, 803711}});
    ExpectCumulativeCounts({"r3k2r/1b4bq/8/8/8/8/7B/R3K2R w KQkq -", {26, 1141, 27826, 1274206}});
    ExpectCumulativeCounts({"r3k2r/8/3Q4/8/8/5q2/8/R3K2R b KQkq -", {44, 1494, 50509, 1720476}});
    ExpectCumulativeCounts({"r3k2r/8/8/8/8/8/8/R3K2R w KQkq -", {26, 568, 13744, 314346, 7594526}});
    // Out of check, into check, through f1, through d1, and past an attacked b1
    // (which does not stop the queen-side castling).
    ExpectCumulativeCounts({"4k3/8/8/8/4r3/8/8/R3K2R w KQ -", {4, 72, 1736, 29376}});
    ExpectCumulativeCounts({"4k3/8/8/8/8/8/6r1/R3K2R w KQ -", {22, 375, 8252, 133030}});
    ExpectCumulativeCounts({"4k3/8/8/8/8/8/5r2/R3K2R w KQ -", {22, 363, 7899, 122635}});
    ExpectCumulativeCounts({"4k3/8/8/8/8/3r4/8/R3K2R w KQ -", {23, 396, 9239, 150010}});
    ExpectCumulativeCounts({"4k3/8/8/8/8/1r6/8/R3K2R w KQ -", {26, 449, 10878, 179619}});
    ExpectCumulativeCounts({"r3k2r/8/8/8/8/8/8/1R2K1R1 b kq -", {25, 574, 14110, 340791}});
}

TEST(PerftPositions, ChecksMatesAndStalemates) {
    // Double check at the root (rook along the rank, knight).
    ExpectCumulativeCounts({"4k3/8/8/8/8/3n4/8/4K2r w - -", {2, 54, 239, 5876, 30381}});
    // Discovered checks.
    ExpectCumulativeCounts({"8/8/1P2K3/8/2n5/1q6/8/5k2 b - -", {29, 165, 5160, 31961, 1004658}});
    ExpectCumulativeCounts({"K1k5/8/P7/8/8/8/8/8 w - -", {2, 6, 13, 63, 382, 2217}});
    ExpectCumulativeCounts({"8/k1P5/8/1K6/8/8/8/8 w - -", {10, 25, 268, 926, 10857, 43261, 567584}});
    ExpectCumulativeCounts({"8/8/2k5/5q2/5n2/8/5K2/8 b - -", {37, 183, 6559, 23527}});
}

TEST(PerftPositions, NoLegalMoveAtTheRootCountsNothing) {
    // Checkmated: no evasion at all (the king may not step onto the
    // blocking square f2).
    SetUpPosition("rnb1kbnr/pppp1ppp/8/4p3/6Pq/5P2/PPPPP2P/RNBQKBNR w KQkq -");
    perftMoveCount = 0;
    for (int d = 1; d <= 3; ++d) EXPECT_EQ(PerftFromRoot(d), 0u);
    EXPECT_EQ(perftMoveCount, 0u);
    // Checkmated on the back rank: Kh8 is generated, made and refused.
    SetUpPosition("R5k1/5ppp/8/8/8/8/8/6K1 b - -");
    perftMoveCount = 0;
    for (int d = 1; d <= 3; ++d) EXPECT_EQ(PerftFromRoot(d), 0u);
    EXPECT_EQ(perftMoveCount, 3u);
    // Stalemated.
    SetUpPosition("7k/5Q2/6K1/8/8/8/8/8 b - -");
    perftMoveCount = 0;
    for (int d = 1; d <= 3; ++d) EXPECT_EQ(PerftFromRoot(d), 0u);
    // Only Kg8 is generated (g7 and h7 touch the white king), once per depth.
    EXPECT_EQ(perftMoveCount, 3u);
}

TEST(PerftPositions, CastlingThroughCheckIsMadeAndRejected) {
    // f1 is attacked: the castling is generated and made, but not counted.
    SetUpPosition("4kr2/8/8/8/8/8/8/4K2R w K -");
    MoveEntry moves[MaxGeneratedMoves];
    MoveEntry* end = GenerateAll(gamePosition, moves);
    bool listed = false;
    for (MoveEntry* e = moves; e < end; ++e) listed |= e->move == CastleWhiteKingSide;
    EXPECT_TRUE(listed);
    perftMoveCount = 0;
    const uint64_t legal = PerftFromRoot(1);
    EXPECT_EQ(perftMoveCount, static_cast<uint32_t>(end - moves));
    // King: d1, d2, e2 (f1, f2 attacked); rook: 9 squares; no castling.
    EXPECT_EQ(legal, 3u + 9u);
}

TEST(PerftPositions, BoardWithoutBothKingsCountsNothing) {
    SetUpPosition("8/8/8/8/8/8/8/R3K3 w - -");
    ASSERT_FALSE(gamePosition.playable);
    perftMoveCount = 0;
    EXPECT_EQ(PerftFromRoot(1), 0u);
    EXPECT_EQ(PerftFromRoot(4), 0u);
    EXPECT_EQ(perftMoveCount, 0u);
}

// The report, with the time field checked for its form only.
std::string PerftReport(int depth) {
    return test::StdoutOf([&] { RunPerft(gamePosition, depth); });
}

std::string MaskDurations(const std::string& report) {
    static const std::regex row("^(\\d+)\\t\\d+\\.\\d\\t", std::regex::multiline);
    return std::regex_replace(report, row, "$1\tT\t");
}

TEST(PerftReport, InitialPositionDepthTwo) {
    SetUpPosition(InitialFen);
    const std::string report = PerftReport(2);
    EXPECT_EQ(MaskDurations(report),
              "ply\tduration\tnodes\n1\tT\t20\n2\tT\t420\ntotal nodes: 440\n(total moves[32]: 440)\n");
}

TEST(PerftReport, InitialPositionDepthThree) {
    SetUpPosition(InitialFen);
    const std::string report = PerftReport(3);
    const std::string masked = MaskDurations(report);
    const std::string expectedStart =
        "ply\tduration\tnodes\n1\tT\t20\n2\tT\t420\n3\tT\t9322\ntotal nodes: 9762\n(total moves[32]: ";
    ASSERT_EQ(masked.substr(0, expectedStart.size()), expectedStart);
    // Every move made counts, also the few illegal ones at ply 3.
    const unsigned moves = static_cast<unsigned>(std::stoul(masked.substr(expectedStart.size())));
    EXPECT_GE(moves, 9762u);
    EXPECT_EQ(masked.substr(masked.size() - 2), ")\n");
    // The total is what the walks of depths 1 to 3 made.
    uint32_t made = 0;
    for (int depth = 1; depth <= 3; ++depth) Perft(gamePosition, depth, &made);
    EXPECT_EQ(made, moves);
}

TEST(PerftReport, DurationIsSecondsWithOneDecimal) {
    SetUpPosition(InitialFen);
    const std::string report = PerftReport(1);
    EXPECT_TRUE(std::regex_search(report, std::regex("\n1\t\\d+\\.\\d\t20\n"))) << report;
}

TEST(PerftReport, DepthZeroAndBelowPrintOnlyTheTotals) {
    SetUpPosition(InitialFen);
    const std::string expected = "ply\tduration\tnodes\ntotal nodes: 0\n(total moves[32]: 0)\n";
    EXPECT_EQ(PerftReport(0), expected);
    EXPECT_EQ(PerftReport(-5), expected);
}

TEST(PerftReport, UnplayableBoardReportsZeroRowsUpToTheDepthLimit) {
    SetUpPosition("8/8/8/8/8/8/8/8 w - -");
    ASSERT_FALSE(gamePosition.playable);
    EXPECT_EQ(MaskDurations(PerftReport(3)),
              "ply\tduration\tnodes\n1\tT\t0\n2\tT\t0\n3\tT\t0\ntotal nodes: 0\n(total moves[32]: 0)\n");
    // Deeper requests stop at 127 rows.
    std::string expected = "ply\tduration\tnodes\n";
    for (int i = 1; i <= MaxDepth; ++i) expected += std::to_string(i) + "\tT\t0\n";
    expected += "total nodes: 0\n(total moves[32]: 0)\n";
    EXPECT_EQ(MaskDurations(PerftReport(1000)), expected);
}

}  // namespace
}  // namespace kavrin
