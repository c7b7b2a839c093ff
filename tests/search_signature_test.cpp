// The fixed-depth node counts of the benchmark positions are the search's
// signature: any change to search, ordering, evaluation or move generation
// that alters them must be noticed here (and the file re-recorded).
#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "../bench/search_positions.h"
#include "support/files.h"
#include "support/text.h"

namespace kavrin {
namespace {

struct Recorded {
    int depth;
    uint32_t nodes;
};

std::vector<std::string> SignatureLines() {
    return test::Lines(test::ReadFileBytes(KAVRIN_SOURCE_DIR "/bench/search_signature.txt"));
}

std::map<int, Recorded> ReadSection(const std::string& section) {
    std::map<int, Recorded> lines;
    for (const std::string& line : SignatureLines()) {
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
    const int count = static_cast<int>(std::size(bench::SearchPositions));
    ASSERT_EQ(static_cast<int>(bench.size()), count);
    ASSERT_EQ(static_cast<int>(test.size()), count);
    uint64_t total = 0;
    for (int i = 0; i < count; ++i) {
        EXPECT_EQ(bench.at(i).depth, bench::SearchPositions[i].depth) << "position " << i;
        EXPECT_EQ(test.at(i).depth, bench::SignatureTestDepth(bench::SearchPositions[i])) << "position " << i;
        total += bench.at(i).nodes;
    }
    uint64_t recordedTotal = 0;
    for (const std::string& line : SignatureLines()) {
        if (line.rfind("bench-total ", 0) == 0) recordedTotal = std::stoull(line.substr(12));
    }
    EXPECT_EQ(total, recordedTotal);
}

TEST(SearchSignature, ShallowSearchesMatchTheRecordedCounts) {
    const auto test = ReadSection("test");
    ASSERT_EQ(test.size(), std::size(bench::SearchPositions));
    int index = 0;
    for (const bench::SearchPosition& p : bench::SearchPositions) {
        const bench::SearchCounts c = bench::SearchFixedDepth(p, bench::SignatureTestDepth(p));
        EXPECT_EQ(c.nodes, test.at(index).nodes) << p.name << " at depth " << bench::SignatureTestDepth(p);
        ++index;
    }
}

TEST(SearchSignature, SearchingAgainAfterAPositionReadGivesTheSameCount) {
    const bench::SearchPosition& p = bench::SearchPositions[4];
    const uint32_t first = bench::SearchFixedDepth(p, 5).nodes;
    // A different game in between leaves table, history and killers behind,
    // which the next position read must discard.
    bench::SearchFixedDepth(bench::SearchPositions[12], 6);
    EXPECT_EQ(bench::SearchFixedDepth(p, 5).nodes, first);
}

}  // namespace
}  // namespace kavrin
