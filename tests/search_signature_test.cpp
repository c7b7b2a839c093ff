// The fixed-depth node counts of the benchmark positions are the search's
// signature: any change to search, ordering, evaluation or move generation
// that alters them must be noticed here (and the file re-recorded).
#include <gtest/gtest.h>

#include "search/benchmark.h"
#include "support/signature.h"
#include "support/test_engine.h"

namespace kavrin {
namespace {

// Each profile's sections, and the profile that searches them.
struct ProfileSections {
    SearchProfile profile;
    const char* full;
    const char* shallow;
};
constexpr ProfileSections Profiles[] = {
    {SearchProfile::Classic, "bench", "test"},
    {SearchProfile::Modern, "modern-bench", "modern-test"},
};

TEST(SearchSignature, FileRecordsEveryPositionAtBothDepths) {
    for (const ProfileSections& sections : Profiles) {
        SCOPED_TRACE(sections.full);
        const auto full = test::RecordedSignature(sections.full);
        const auto shallow = test::RecordedSignature(sections.shallow);
        const int count = static_cast<int>(std::size(BenchmarkPositions));
        ASSERT_EQ(static_cast<int>(full.size()), count);
        ASSERT_EQ(static_cast<int>(shallow.size()), count);
        uint64_t total = 0;
        for (int i = 0; i < count; ++i) {
            EXPECT_EQ(full.at(i).depth, BenchmarkPositions[i].depth) << "position " << i;
            EXPECT_EQ(shallow.at(i).depth, SignatureTestDepth(BenchmarkPositions[i])) << "position " << i;
            total += full.at(i).nodes;
        }
        EXPECT_EQ(total, test::RecordedBenchTotal(sections.full));
    }
}

TEST(SearchSignature, ShallowSearchesMatchTheRecordedCounts) {
    Engine& engine = test::TestEngine();
    for (const ProfileSections& sections : Profiles) {
        const auto shallow = test::RecordedSignature(sections.shallow);
        ASSERT_EQ(shallow.size(), std::size(BenchmarkPositions));
        engine.Options().profile = sections.profile;
        int index = 0;
        for (const BenchmarkPosition& p : BenchmarkPositions) {
            const SearchCounts c = SearchFixedDepth(engine, p, SignatureTestDepth(p));
            EXPECT_EQ(c.nodes, shallow.at(index).nodes)
                << sections.shallow << " " << p.name << " at depth " << SignatureTestDepth(p);
            ++index;
        }
    }
    engine.Options().profile = SearchProfile::Classic;
}

TEST(SearchSignature, SearchingAgainAfterAPositionReadGivesTheSameCount) {
    const BenchmarkPosition& p = BenchmarkPositions[4];
    const uint32_t first = SearchFixedDepth(test::TestEngine(), p, 5).nodes;
    // A different game in between leaves table, history and killers behind,
    // which the next position read must discard.
    SearchFixedDepth(test::TestEngine(), BenchmarkPositions[12], 6);
    EXPECT_EQ(SearchFixedDepth(test::TestEngine(), p, 5).nodes, first);
}

}  // namespace
}  // namespace kavrin
