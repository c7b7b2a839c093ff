// Transposition table: packing, probe order, in-place improvement of slot 0,
// the worth-by-age replacement and the clear.
#include <gtest/gtest.h>

#include "board/board.h"
#include "search/tt.h"

namespace kavrin {
namespace {

class TranspositionTableTest : public ::testing::Test {
protected:
    void SetUp() override {
        ClearTranspositionTable();
        sideToMove = White;
        gamePly = 1;
    }
    // Keys of one bucket: same low 19 bits, different compared bits.
    static uint64_t KeyInBucket(uint32_t high, uint32_t upperLow) {
        return (static_cast<uint64_t>(high) << 32) | (upperLow << 19) | 0x1234u;
    }
};

TEST_F(TranspositionTableTest, EntryWordsArePackedBitByBit) {
    board.hashKey = 0x89ABCDEF12345678ull;
    gamePly = 515;  // age 3
    StoreTT(-8100, BoundUpper, 9, 0x3000);
    const TTBucket& b = transpositionTable.buckets[TTDefaultBuckets / 2 + (0x12345678u & (TTDefaultBuckets / 2 - 1))];
    EXPECT_EQ(b.slot[0].keyAndMove, 0x12343000u);
    EXPECT_EQ(b.slot[0].keyHigh, 0x89ABCDEFu);
    EXPECT_EQ(b.slot[0].data, 9u | 0x100u | (3u << 9) | (90u << 18));
    const TTEntry* e = ProbeTT();
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(EntryScore(*e), -8100);
    EXPECT_EQ(EntryDepth(*e), 9);
    EXPECT_EQ(EntryBound(*e), BoundUpper);
    EXPECT_EQ(EntryMove(*e), 0x3000);
    EXPECT_EQ(EntryAge(*e), 3);
}

TEST_F(TranspositionTableTest, ScoreRangeEndsSurviveTheField) {
    board.hashKey = 0x1111222233334444ull;
    StoreTT(ScoreMax, BoundExact, 0, 0x1234);
    EXPECT_EQ(EntryScore(*ProbeTT()), ScoreMax);
    board.hashKey = 0x5555666677778888ull;
    StoreTT(-ScoreMax, BoundExact, 0, 0x1234);
    EXPECT_EQ(EntryScore(*ProbeTT()), -ScoreMax);
}

TEST_F(TranspositionTableTest, SidesToMoveUseSeparateHalves) {
    board.hashKey = 0x0F0F0F0F55555555ull;
    StoreTT(10, BoundExact, 3, 0x0123);
    sideToMove = Black;
    EXPECT_EQ(ProbeTT(), nullptr);
    StoreTT(20, BoundExact, 3, 0x0456);
    EXPECT_EQ(EntryScore(*ProbeTT()), 20);
    sideToMove = White;
    EXPECT_EQ(EntryScore(*ProbeTT()), 10);
}

TEST_F(TranspositionTableTest, ProbeComparesHighWordAndUpperLowBits) {
    board.hashKey = KeyInBucket(7, 5);
    StoreTT(1, BoundExact, 2, 0x0101);
    board.hashKey = KeyInBucket(8, 5);
    EXPECT_EQ(ProbeTT(), nullptr);
    board.hashKey = KeyInBucket(7, 6);
    EXPECT_EQ(ProbeTT(), nullptr);
    board.hashKey = KeyInBucket(7, 5);
    EXPECT_NE(ProbeTT(), nullptr);
}

TEST_F(TranspositionTableTest, EmptyBucketFillsSlotZeroFirst) {
    board.hashKey = KeyInBucket(1, 1);
    StoreTT(5, BoundLower, 4, 0x0222);
    const TTBucket& b = BucketOfPosition();
    EXPECT_EQ(b.slot[0].keyHigh, 1u);
    EXPECT_EQ(b.slot[1].data, 0u);
    EXPECT_EQ(b.slot[2].data, 0u);
}

TEST_F(TranspositionTableTest, DeeperSameEntryInSlotZeroRefusesTheStore) {
    board.hashKey = KeyInBucket(1, 1);
    StoreTT(5, BoundUpper, 6, 0x0222);
    StoreTT(9, BoundExact, 5, 0x0333);
    const TTBucket& b = BucketOfPosition();
    EXPECT_EQ(EntryScore(b.slot[0]), 5);
    EXPECT_EQ(EntryMove(b.slot[0]), 0x0222);
    EXPECT_EQ(b.slot[1].data, 0u);
    EXPECT_EQ(b.slot[2].data, 0u);
}

TEST_F(TranspositionTableTest, SameDepthMoreExactBoundOverwritesSlotZeroInPlace) {
    board.hashKey = KeyInBucket(1, 1);
    StoreTT(5, BoundUpper, 6, 0x0222);
    StoreTT(7, BoundExact, 6, 0x0333);
    const TTBucket& b = BucketOfPosition();
    EXPECT_EQ(EntryScore(b.slot[0]), 7);
    EXPECT_EQ(EntryBound(b.slot[0]), BoundExact);
    EXPECT_EQ(EntryMove(b.slot[0]), 0x0333);
    EXPECT_EQ(b.slot[1].data, 0u);
    // Same depth, less exact: refused.
    StoreTT(8, BoundLower, 6, 0x0444);
    EXPECT_EQ(EntryScore(b.slot[0]), 7);
    // Deeper: taken whatever the bound.
    StoreTT(8, BoundUpper, 7, 0x0444);
    EXPECT_EQ(EntryScore(b.slot[0]), 8);
    EXPECT_EQ(EntryDepth(b.slot[0]), 7);
}

TEST_F(TranspositionTableTest, ReplaceableSlotZeroMovesDownToSlotOne) {
    board.hashKey = KeyInBucket(1, 1);
    StoreTT(5, BoundExact, 3, 0x0222);
    board.hashKey = KeyInBucket(2, 1);
    StoreTT(6, BoundExact, 4, 0x0333);
    const TTBucket& b = BucketOfPosition();
    EXPECT_EQ(b.slot[0].keyHigh, 2u);
    EXPECT_EQ(b.slot[1].keyHigh, 1u);
    // Equal worth and a more exact bound also gives way.
    board.hashKey = KeyInBucket(3, 1);
    StoreTT(7, BoundUpper, 4, 0x0444);  // worth 4 + 1 vs 4 + 1, less exact: not over slot 0
    EXPECT_EQ(b.slot[0].keyHigh, 2u);
}

TEST_F(TranspositionTableTest, FreshDeepEntriesLeaveOnlySlotTwoForShallowOnes) {
    const TTBucket& b = transpositionTable.buckets[TTDefaultBuckets / 2 + 0x1234];
    for (uint32_t i = 1; i <= 3; ++i) {
        board.hashKey = KeyInBucket(i, 1);
        StoreTT(static_cast<int16_t>(i), BoundExact, 10, 0x0100);
    }
    // Slot 0 and slot 1 hold entries of equal worth and bound: neither gives
    // way, so each shallow store lands in slot 2.
    for (uint32_t i = 10; i < 14; ++i) {
        board.hashKey = KeyInBucket(i, 1);
        StoreTT(1, BoundExact, 2, 0x0100);
        EXPECT_EQ(b.slot[2].keyHigh, i);
    }
    EXPECT_EQ(EntryDepth(b.slot[0]), 10);
    EXPECT_EQ(EntryDepth(b.slot[1]), 10);
}

TEST_F(TranspositionTableTest, AgedEntryGivesWayToDepthZero) {
    board.hashKey = KeyInBucket(1, 1);
    StoreTT(5, BoundExact, 6, 0x0222);
    gamePly = 1 + 6;  // worth 6 + 1 against 0 + 7: equal, exact is not more exact
    board.hashKey = KeyInBucket(2, 1);
    StoreTT(1, BoundExact, 0, 0x0333);
    const TTBucket& b = BucketOfPosition();
    EXPECT_EQ(b.slot[0].keyHigh, 1u);
    EXPECT_EQ(b.slot[1].keyHigh, 2u);
    gamePly = 1 + 7;  // now the depth-0 entry is worth more
    board.hashKey = KeyInBucket(3, 1);
    StoreTT(1, BoundUpper, 0, 0x0444);
    EXPECT_EQ(b.slot[0].keyHigh, 3u);
    EXPECT_EQ(b.slot[1].keyHigh, 1u);
}

TEST_F(TranspositionTableTest, SameDepthExactOverUpperBoundReplacesSlotOne) {
    board.hashKey = KeyInBucket(1, 1);
    StoreTT(5, BoundExact, 9, 0x0222);  // slot 0, never replaced below
    board.hashKey = KeyInBucket(2, 1);
    StoreTT(5, BoundUpper, 3, 0x0333);  // slot 1
    const TTBucket& b = BucketOfPosition();
    ASSERT_EQ(b.slot[1].keyHigh, 2u);
    board.hashKey = KeyInBucket(3, 1);
    StoreTT(5, BoundLower, 3, 0x0444);  // equal worth, more exact: slot 1
    EXPECT_EQ(b.slot[1].keyHigh, 3u);
    board.hashKey = KeyInBucket(4, 1);
    StoreTT(5, BoundUpper, 3, 0x0555);  // equal worth, less exact: slot 2
    EXPECT_EQ(b.slot[1].keyHigh, 3u);
    EXPECT_EQ(b.slot[2].keyHigh, 4u);
}

TEST_F(TranspositionTableTest, ProbeReturnsTheLowestMatchingSlot) {
    board.hashKey = KeyInBucket(1, 1);
    StoreTT(5, BoundExact, 5, 0x0222);
    board.hashKey = KeyInBucket(2, 1);
    StoreTT(6, BoundExact, 9, 0x0333);  // slot 0; the first position moves to slot 1
    board.hashKey = KeyInBucket(1, 1);
    StoreTT(7, BoundExact, 2, 0x0444);  // only slot 0 is compared: a second copy in slot 2
    const TTBucket& b = BucketOfPosition();
    EXPECT_EQ(b.slot[1].keyHigh, 1u);
    EXPECT_EQ(b.slot[2].keyHigh, 1u);
    EXPECT_EQ(ProbeTT(), &b.slot[1]);
    EXPECT_EQ(EntryScore(*ProbeTT()), 5);
}

TEST_F(TranspositionTableTest, MateScoreIsReturnedUnchanged) {
    board.hashKey = KeyInBucket(9, 2);
    StoreTT(static_cast<int16_t>(3 - MateValue), BoundExact, 0, 0x3000);
    EXPECT_EQ(EntryScore(*ProbeTT()), 3 - MateValue);
}

TEST_F(TranspositionTableTest, ClearEmptiesEveryWord) {
    board.hashKey = KeyInBucket(9, 2);
    StoreTT(1, BoundExact, 1, 0x0101);
    sideToMove = Black;
    StoreTT(1, BoundExact, 1, 0x0101);
    ClearTranspositionTable();
    EXPECT_EQ(ProbeTT(), nullptr);
    const uint32_t* words = reinterpret_cast<const uint32_t*>(transpositionTable.buckets);
    for (size_t i = 0; i < TTBytes() / 4; i += 4099) EXPECT_EQ(words[i], 0u);
}

// Other sizes: the largest power of two of buckets that fits, cleared; the
// default size goes back to the static table; entries in use are counted.
TEST_F(TranspositionTableTest, ResizeKeepsThePowerOfTwoGeometry) {
    board.hashKey = KeyInBucket(9, 2);
    StoreTT(1, BoundExact, 1, 0x0101);
    const TTBucket* const defaultBuckets = transpositionTable.buckets;
    ASSERT_TRUE(ResizeTranspositionTable(1));
    EXPECT_EQ(TTBucketCount(), 1u << 14);
    EXPECT_EQ(ProbeTT(), nullptr);
    EXPECT_EQ(TTPermillFull(), 0);
    for (uint32_t i = 0; i < 3 * TTBucketCount(); ++i) {
        board.hashKey = (static_cast<uint64_t>(i + 1) << 32) | (i * 0x9E3779B9u);
        sideToMove = i & 1;
        StoreTT(5, BoundExact, 3, 0x0101);
        ASSERT_NE(ProbeTT(), nullptr) << i;
    }
    EXPECT_GT(TTPermillFull(), 300);
    ASSERT_TRUE(ResizeTranspositionTable(128));
    EXPECT_EQ(TTBucketCount(), 1u << 21);
    ASSERT_TRUE(ResizeTranspositionTable(TTDefaultMegabytes));
    EXPECT_EQ(TTBucketCount(), TTDefaultBuckets);
    EXPECT_EQ(transpositionTable.buckets, defaultBuckets);
    EXPECT_EQ(TTPermillFull(), 0);
}

}  // namespace
}  // namespace kavrin
