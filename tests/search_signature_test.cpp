// The fixed-depth node counts of the benchmark positions are the search's
// signature: any change to search, ordering, evaluation or move generation
// that alters them must be noticed here (and the file re-recorded).
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "search/benchmark.h"
#include "board/tables.h"

namespace kavrin {
namespace {

struct Recorded {
    int depth;
    uint32_t nodes;
};

std::map<int, Recorded> ReadSection(const std::string& section) {
    std::ifstream in(KAVRIN_SOURCE_DIR "/bench/search_signature.txt");
    std::map<int, Recorded> lines;
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string name;
        int index = 0;
        Recorded r{};
        if (fields >> name >> index >> r.depth >> r.nodes && name == section) lines[index] = r;
    }
    return lines;
}

TEST(SearchSignature, FileRecordsEveryPositionAtBothDepths) {
    const auto bench = ReadSection("bench");
    const auto test = ReadSection("test");
    const int count = static_cast<int>(std::size(BenchmarkPositions));
    ASSERT_EQ(static_cast<int>(bench.size()), count);
    ASSERT_EQ(static_cast<int>(test.size()), count);
    uint64_t total = 0;
    for (int i = 0; i < count; ++i) {
        EXPECT_EQ(bench.at(i).depth, BenchmarkPositions[i].depth) << "position " << i;
        EXPECT_EQ(test.at(i).depth, SignatureTestDepth(BenchmarkPositions[i])) << "position " << i;
        total += bench.at(i).nodes;
    }
    std::ifstream in(KAVRIN_SOURCE_DIR "/bench/search_signature.txt");
    std::string line;
    uint64_t recordedTotal = 0;
    while (std::getline(in, line)) {
        if (line.rfind("bench-total ", 0) == 0) recordedTotal = std::stoull(line.substr(12));
    }
    EXPECT_EQ(total, recordedTotal);
}

TEST(SearchSignature, ShallowSearchesMatchTheRecordedCounts) {
    BuildTables();
    const auto test = ReadSection("test");
    ASSERT_EQ(test.size(), std::size(BenchmarkPositions));
    int index = 0;
    for (const BenchmarkPosition& p : BenchmarkPositions) {
        const SearchCounts c = SearchFixedDepth(p, SignatureTestDepth(p));
        EXPECT_EQ(c.nodes, test.at(index).nodes) << p.name << " at depth " << SignatureTestDepth(p);
        ++index;
    }
}

TEST(SearchSignature, SearchingAgainAfterAPositionReadGivesTheSameCount) {
    BuildTables();
    const BenchmarkPosition& p = BenchmarkPositions[4];
    const uint32_t first = SearchFixedDepth(p, 5).nodes;
    // A different game in between leaves table, history and killers behind,
    // which the next position read must discard.
    SearchFixedDepth(BenchmarkPositions[12], 6);
    EXPECT_EQ(SearchFixedDepth(p, 5).nodes, first);
}

}  // namespace
}  // namespace kavrin
