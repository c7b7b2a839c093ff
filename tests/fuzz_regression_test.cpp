// Replays the committed seed corpora and the saved findings of every fuzz
// target through the entry functions the fuzzers use, so that the normal and
// the sanitizer builds run each of them. A body aborts when a reader breaks an
// invariant; the sanitizers catch what the readers do to memory.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "board/board.h"
#include "board/fen.h"
#include "board/legal.h"
#include "board/makemove.h"
#include "board/movetext.h"
#include "board/poscheck.h"
#include "driver/game.h"
#include "search/game.h"
#include "support/files.h"
#include "support/fuzz_bodies.h"
#include "support/fuzz_support.h"
#include "support/test_engine.h"

namespace kavrin::fuzz {
namespace {

namespace fs = std::filesystem;

const fs::path FuzzFolder = fs::path(KAVRIN_SOURCE_DIR) / "fuzz";

std::vector<fs::path> InputsOf(const std::string& folder, const std::string& target) {
    std::vector<fs::path> inputs;
    const fs::path directory = FuzzFolder / folder / target;
    if (!fs::is_directory(directory)) return inputs;
    for (const auto& entry : fs::directory_iterator(directory)) {
        if (entry.is_regular_file()) inputs.push_back(entry.path());
    }
    std::sort(inputs.begin(), inputs.end());
    return inputs;
}

void Replay(const FuzzTarget& target, const std::vector<fs::path>& inputs) {
    for (const fs::path& input : inputs) {
        SCOPED_TRACE(input.string());
        const std::string bytes = test::ReadFileBytes(input);
        EXPECT_EQ(target.body(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()), 0);
    }
}

class FuzzReplayTest : public testing::TestWithParam<int> {
  protected:
    const FuzzTarget& Target() const { return FuzzTargets[GetParam()]; }
};

TEST_P(FuzzReplayTest, SeedCorpusReplaysCleanly) {
    const std::vector<fs::path> inputs = InputsOf("corpus", Target().name);
    ASSERT_FALSE(inputs.empty()) << "no seed corpus for " << Target().name;
    Replay(Target(), inputs);
}

TEST_P(FuzzReplayTest, SavedFindingsReplayCleanly) { Replay(Target(), InputsOf("regressions", Target().name)); }

// Inputs cut short at every length: the end of input in the middle of every
// field and item of the seeds.
TEST_P(FuzzReplayTest, TruncatedSeedsReplayCleanly) {
    for (const fs::path& input : InputsOf("corpus", Target().name)) {
        SCOPED_TRACE(input.string());
        const std::string bytes = test::ReadFileBytes(input);
        const size_t step = std::max<size_t>(1, bytes.size() / 24);
        for (size_t length = 0; length < bytes.size(); length += step) {
            const std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(length));
            EXPECT_EQ(Target().body(cut.data(), cut.size()), 0) << "cut at " << length;
        }
    }
}

// The saved book findings (white books, probed in the position after 1. e4)
// failed only when an input for a black book had read the initial position
// between two of them: replayed in that order in one process.
TEST(FuzzReplaySequence, WhiteBookFindingsAfterABlackBookInput) {
    const FuzzTarget* book = FindFuzzTarget("book");
    ASSERT_NE(book, nullptr);
    const std::vector<fs::path> findings = InputsOf("regressions", "book");
    ASSERT_FALSE(findings.empty());
    // Mode 1: an index built from bucket counts (none: an empty book), black.
    const uint8_t blackBook[] = {1, 0, 0};
    for (const fs::path& input : findings) {
        SCOPED_TRACE(input.string());
        const std::string bytes = test::ReadFileBytes(input);
        const auto* finding = reinterpret_cast<const uint8_t*>(bytes.data());
        EXPECT_EQ(book->body(finding, bytes.size()), 0);
        EXPECT_EQ(book->body(blackBook, sizeof blackBook), 0);
        EXPECT_EQ(book->body(finding, bytes.size()), 0);
    }
}

std::string TargetName(const testing::TestParamInfo<int>& info) { return FuzzTargets[info.param].name; }

INSTANTIATE_TEST_SUITE_P(Targets, FuzzReplayTest, testing::Range(0, FuzzTargetCount), TargetName);

TEST(FuzzTargetTable, MatchesTheFuzzExecutables) {
    const std::string cmake = test::ReadFileBytes(FuzzFolder / "CMakeLists.txt");
    std::smatch match;
    ASSERT_TRUE(std::regex_search(cmake, match, std::regex(R"(set\(KAVRIN_FUZZ_TARGETS ([^)]*)\))")));
    std::istringstream names(match[1].str());
    std::set<std::string> executables{std::istream_iterator<std::string>(names), std::istream_iterator<std::string>()};
    std::set<std::string> table;
    for (int i = 0; i < FuzzTargetCount; ++i) table.insert(FuzzTargets[i].name);
    EXPECT_EQ(executables, table);
    for (const std::string& name : table) EXPECT_EQ(FindFuzzTarget(name.c_str())->name, name);
    EXPECT_EQ(FindFuzzTarget("no-such-target"), nullptr);
}

TEST(FuzzSupport, BrokenInvariantAborts) {
    EXPECT_DEATH(Require(false, "the check", "with detail"), "fuzz invariant broken: the check with detail");
}

TEST(FuzzSupport, ScratchFilesHoldTheBytesAndAreCleared) {
    const uint8_t bytes[] = {0, 1, 0xFF, '\n'};
    const std::string path = WriteScratchFile("probe.bin", bytes, sizeof bytes);
    EXPECT_EQ(test::ReadFileBytes(path), std::string("\0\1\xFF\n", 4));
    ClearScratchDirectory();
    EXPECT_FALSE(fs::exists(path));
    EXPECT_TRUE(fs::is_directory(ScratchDirectory()));
}

// Positions are set up from a cache between inputs. The key scheme lets the
// first move after a read toggle out the en-passant key of the text read, so
// a position restored from the cache must bring back that square too, or a
// move after it (a book probe, say) breaks the position check depending on
// which text the inputs before it read.
TEST(FuzzSupport, CachedPositionsKeepTheirReadEnPassantSquare) {
    PrepareEngine();
    const std::string afterE4 = "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3";
    SetUpPosition(afterE4);
    SetUpPosition(InitialFen);
    EXPECT_EQ(gamePosition.readEpSquare, 0);
    SetUpPosition(afterE4);
    EXPECT_EQ(gamePosition.readEpSquare, 44);
    const Move m = TextToMoveOnBoard(gamePosition, "e7e5");
    ASSERT_TRUE(IsLegalMove(gamePosition, m));
    UndoRecord ply{};
    SaveForMake(gamePosition, ply);
    MakeMove(gamePosition, m, ply);
    const char* why = nullptr;
    EXPECT_TRUE(CheckPosition(gamePosition, &why)) << (why != nullptr ? why : "");
    UnmakeMove(gamePosition, m, ply);
    EXPECT_TRUE(CheckPosition(gamePosition, &why)) << (why != nullptr ? why : "");
}

}  // namespace
}  // namespace kavrin::fuzz
