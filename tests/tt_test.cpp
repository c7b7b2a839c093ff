// Transposition table: packing, probe order, in-place improvement of slot 0,
// the worth-by-age replacement and the clear.
#include "search/tt.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <memory>

#include "board/board.h"

namespace kavrin {
namespace {

class TranspositionTableTest : public ::testing::Test {
  protected:
    void SetUp() override {
        gamePosition.sideToMove = White;
        gamePosition.gamePly = 1;
    }
    // Whether the table holds the position, and its entry.
    bool Found() const {
        TTEntry e;
        return table.Probe(gamePosition, e);
    }
    TTEntry Probe() const {
        TTEntry e{};
        EXPECT_TRUE(table.Probe(gamePosition, e));
        return e;
    }
    void Store(int score, Bound bound, int depth, Move move) { table.Store(gamePosition, score, bound, depth, move); }
    const TTBucket& BucketOfPosition(const Position& pos) const { return table.BucketOfPosition(pos); }
    TTBucket& BucketOfPosition(const Position& pos) { return table.BucketOfPosition(pos); }

    TranspositionTable table;
    const std::unique_ptr<Position> position = std::make_unique<Position>();
    Position& gamePosition = *position;
    // Keys of one bucket: same low 19 bits, different compared bits.
    static uint64_t KeyInBucket(uint32_t high, uint32_t upperLow) {
        return (static_cast<uint64_t>(high) << 32) | (upperLow << 19) | 0x1234u;
    }
};

TEST_F(TranspositionTableTest, EntryWordsArePackedBitByBit) {
    gamePosition.board.hashKey = 0x89ABCDEF12345678ull;
    gamePosition.gamePly = 515;  // age 3
    Store(-8100, Bound::Upper, 9, 0x3000);
    const TTBucket& b = table.BucketOf(White, 0x89ABCDEF12345678ull);
    EXPECT_EQ(&b, &table.BucketOf(Black, 0) + TTDefaultBuckets / 2 + (0x12345678u & (TTDefaultBuckets / 2 - 1)));
    EXPECT_EQ(LoadEntry(b.slot[0]).keyAndMove, 0x12343000u);
    EXPECT_EQ(LoadEntry(b.slot[0]).keyHigh, 0x89ABCDEFu);
    EXPECT_EQ(LoadEntry(b.slot[0]).data, 9u | 0x100u | (3u << 9) | (90u << 18));
    // The high word is stored XORed with the other two.
    EXPECT_EQ(b.slot[0].keyCheck, 0x89ABCDEFu ^ b.slot[0].keyAndMove ^ b.slot[0].data);
    const TTEntry e = Probe();
    EXPECT_EQ(EntryScore(e), -8100);
    EXPECT_EQ(EntryDepth(e), 9);
    EXPECT_EQ(EntryBound(e), Bound::Upper);
    EXPECT_EQ(EntryMove(e), 0x3000);
    EXPECT_EQ(EntryAge(e), 3);
}

// Threads store and probe at once, a word at a time: an entry whose words come
// from two stores matches neither position and is never used.
TEST_F(TranspositionTableTest, TornEntryIsNotFound) {
    const uint64_t first = KeyInBucket(1, 1);
    const uint64_t second = KeyInBucket(2, 1);
    gamePosition.board.hashKey = first;
    Store(5, Bound::Exact, 4, 0x0222);
    TTBucket& b = BucketOfPosition(gamePosition);
    const TTSlot firstWords = b.slot[0];
    gamePosition.board.hashKey = second;
    Store(6, Bound::Lower, 7, 0x0333);
    const TTSlot secondWords = b.slot[0];
    b.slot[1] = TTSlot{};
    for (int word = 0; word < 3; ++word) {
        TTSlot torn = firstWords;
        uint32_t* const words[3] = {&torn.keyAndMove, &torn.keyCheck, &torn.data};
        const uint32_t others[3] = {secondWords.keyAndMove, secondWords.keyCheck, secondWords.data};
        *words[word] = others[word];
        b.slot[0] = torn;
        for (const uint64_t key : {first, second}) {
            gamePosition.board.hashKey = key;
            EXPECT_FALSE(Found()) << "word " << word << " key " << key;
        }
    }
    b.slot[0] = firstWords;
    gamePosition.board.hashKey = first;
    EXPECT_EQ(EntryScore(Probe()), 5);
}

TEST_F(TranspositionTableTest, ScoreRangeEndsSurviveTheField) {
    gamePosition.board.hashKey = 0x1111222233334444ull;
    Store(ScoreMax, Bound::Exact, 0, 0x1234);
    EXPECT_EQ(EntryScore(Probe()), ScoreMax);
    gamePosition.board.hashKey = 0x5555666677778888ull;
    Store(-ScoreMax, Bound::Exact, 0, 0x1234);
    EXPECT_EQ(EntryScore(Probe()), -ScoreMax);
}

TEST_F(TranspositionTableTest, SidesToMoveUseSeparateHalves) {
    gamePosition.board.hashKey = 0x0F0F0F0F55555555ull;
    Store(10, Bound::Exact, 3, 0x0123);
    gamePosition.sideToMove = Black;
    EXPECT_FALSE(Found());
    Store(20, Bound::Exact, 3, 0x0456);
    EXPECT_EQ(EntryScore(Probe()), 20);
    gamePosition.sideToMove = White;
    EXPECT_EQ(EntryScore(Probe()), 10);
}

TEST_F(TranspositionTableTest, ProbeComparesHighWordAndUpperLowBits) {
    gamePosition.board.hashKey = KeyInBucket(7, 5);
    Store(1, Bound::Exact, 2, 0x0101);
    gamePosition.board.hashKey = KeyInBucket(8, 5);
    EXPECT_FALSE(Found());
    gamePosition.board.hashKey = KeyInBucket(7, 6);
    EXPECT_FALSE(Found());
    gamePosition.board.hashKey = KeyInBucket(7, 5);
    EXPECT_TRUE(Found());
}

TEST_F(TranspositionTableTest, EmptyBucketFillsSlotZeroFirst) {
    gamePosition.board.hashKey = KeyInBucket(1, 1);
    Store(5, Bound::Lower, 4, 0x0222);
    const TTBucket& b = BucketOfPosition(gamePosition);
    EXPECT_EQ(LoadEntry(b.slot[0]).keyHigh, 1u);
    EXPECT_EQ(LoadEntry(b.slot[1]).data, 0u);
    EXPECT_EQ(LoadEntry(b.slot[2]).data, 0u);
}

TEST_F(TranspositionTableTest, DeeperSameEntryInSlotZeroRefusesTheStore) {
    gamePosition.board.hashKey = KeyInBucket(1, 1);
    Store(5, Bound::Upper, 6, 0x0222);
    Store(9, Bound::Exact, 5, 0x0333);
    const TTBucket& b = BucketOfPosition(gamePosition);
    EXPECT_EQ(EntryScore(LoadEntry(b.slot[0])), 5);
    EXPECT_EQ(EntryMove(LoadEntry(b.slot[0])), 0x0222);
    EXPECT_EQ(LoadEntry(b.slot[1]).data, 0u);
    EXPECT_EQ(LoadEntry(b.slot[2]).data, 0u);
}

TEST_F(TranspositionTableTest, SameDepthMoreExactBoundOverwritesSlotZeroInPlace) {
    gamePosition.board.hashKey = KeyInBucket(1, 1);
    Store(5, Bound::Upper, 6, 0x0222);
    Store(7, Bound::Exact, 6, 0x0333);
    const TTBucket& b = BucketOfPosition(gamePosition);
    EXPECT_EQ(EntryScore(LoadEntry(b.slot[0])), 7);
    EXPECT_EQ(EntryBound(LoadEntry(b.slot[0])), Bound::Exact);
    EXPECT_EQ(EntryMove(LoadEntry(b.slot[0])), 0x0333);
    EXPECT_EQ(LoadEntry(b.slot[1]).data, 0u);
    // Same depth, less exact: refused.
    Store(8, Bound::Lower, 6, 0x0444);
    EXPECT_EQ(EntryScore(LoadEntry(b.slot[0])), 7);
    // Deeper: taken whatever the bound.
    Store(8, Bound::Upper, 7, 0x0444);
    EXPECT_EQ(EntryScore(LoadEntry(b.slot[0])), 8);
    EXPECT_EQ(EntryDepth(LoadEntry(b.slot[0])), 7);
}

TEST_F(TranspositionTableTest, ReplaceableSlotZeroMovesDownToSlotOne) {
    gamePosition.board.hashKey = KeyInBucket(1, 1);
    Store(5, Bound::Exact, 3, 0x0222);
    gamePosition.board.hashKey = KeyInBucket(2, 1);
    Store(6, Bound::Exact, 4, 0x0333);
    const TTBucket& b = BucketOfPosition(gamePosition);
    EXPECT_EQ(LoadEntry(b.slot[0]).keyHigh, 2u);
    EXPECT_EQ(LoadEntry(b.slot[1]).keyHigh, 1u);
    // Equal worth and a more exact bound also gives way.
    gamePosition.board.hashKey = KeyInBucket(3, 1);
    Store(7, Bound::Upper, 4, 0x0444);  // worth 4 + 1 vs 4 + 1, less exact: not over slot 0
    EXPECT_EQ(LoadEntry(b.slot[0]).keyHigh, 2u);
}

TEST_F(TranspositionTableTest, FreshDeepEntriesLeaveOnlySlotTwoForShallowOnes) {
    const TTBucket& b = table.BucketOf(White, KeyInBucket(1, 1));
    for (uint32_t i = 1; i <= 3; ++i) {
        gamePosition.board.hashKey = KeyInBucket(i, 1);
        Store(static_cast<int>(i), Bound::Exact, 10, 0x0100);
    }
    // Slot 0 and slot 1 hold entries of equal worth and bound: neither gives
    // way, so each shallow store lands in slot 2.
    for (uint32_t i = 10; i < 14; ++i) {
        gamePosition.board.hashKey = KeyInBucket(i, 1);
        Store(1, Bound::Exact, 2, 0x0100);
        EXPECT_EQ(LoadEntry(b.slot[2]).keyHigh, i);
    }
    EXPECT_EQ(EntryDepth(LoadEntry(b.slot[0])), 10);
    EXPECT_EQ(EntryDepth(LoadEntry(b.slot[1])), 10);
}

TEST_F(TranspositionTableTest, AgedEntryGivesWayToDepthZero) {
    gamePosition.board.hashKey = KeyInBucket(1, 1);
    Store(5, Bound::Exact, 6, 0x0222);
    gamePosition.gamePly = 1 + 6;  // worth 6 + 1 against 0 + 7: equal, exact is not more exact
    gamePosition.board.hashKey = KeyInBucket(2, 1);
    Store(1, Bound::Exact, 0, 0x0333);
    const TTBucket& b = BucketOfPosition(gamePosition);
    EXPECT_EQ(LoadEntry(b.slot[0]).keyHigh, 1u);
    EXPECT_EQ(LoadEntry(b.slot[1]).keyHigh, 2u);
    gamePosition.gamePly = 1 + 7;  // now the depth-0 entry is worth more
    gamePosition.board.hashKey = KeyInBucket(3, 1);
    Store(1, Bound::Upper, 0, 0x0444);
    EXPECT_EQ(LoadEntry(b.slot[0]).keyHigh, 3u);
    EXPECT_EQ(LoadEntry(b.slot[1]).keyHigh, 1u);
}

TEST_F(TranspositionTableTest, SameDepthExactOverUpperBoundReplacesSlotOne) {
    gamePosition.board.hashKey = KeyInBucket(1, 1);
    Store(5, Bound::Exact, 9, 0x0222);  // slot 0, never replaced below
    gamePosition.board.hashKey = KeyInBucket(2, 1);
    Store(5, Bound::Upper, 3, 0x0333);  // slot 1
    const TTBucket& b = BucketOfPosition(gamePosition);
    ASSERT_EQ(LoadEntry(b.slot[1]).keyHigh, 2u);
    gamePosition.board.hashKey = KeyInBucket(3, 1);
    Store(5, Bound::Lower, 3, 0x0444);  // equal worth, more exact: slot 1
    EXPECT_EQ(LoadEntry(b.slot[1]).keyHigh, 3u);
    gamePosition.board.hashKey = KeyInBucket(4, 1);
    Store(5, Bound::Upper, 3, 0x0555);  // equal worth, less exact: slot 2
    EXPECT_EQ(LoadEntry(b.slot[1]).keyHigh, 3u);
    EXPECT_EQ(LoadEntry(b.slot[2]).keyHigh, 4u);
}

TEST_F(TranspositionTableTest, ProbeReturnsTheLowestMatchingSlot) {
    gamePosition.board.hashKey = KeyInBucket(1, 1);
    Store(5, Bound::Exact, 5, 0x0222);
    gamePosition.board.hashKey = KeyInBucket(2, 1);
    Store(6, Bound::Exact, 9, 0x0333);  // slot 0; the first position moves to slot 1
    gamePosition.board.hashKey = KeyInBucket(1, 1);
    Store(7, Bound::Exact, 2, 0x0444);  // only slot 0 is compared: a second copy in slot 2
    const TTBucket& b = BucketOfPosition(gamePosition);
    EXPECT_EQ(LoadEntry(b.slot[1]).keyHigh, 1u);
    EXPECT_EQ(LoadEntry(b.slot[2]).keyHigh, 1u);
    EXPECT_EQ(EntryScore(Probe()), 5);
}

TEST_F(TranspositionTableTest, MateScoreIsReturnedUnchanged) {
    gamePosition.board.hashKey = KeyInBucket(9, 2);
    Store(3 - MateValue, Bound::Exact, 0, 0x3000);
    EXPECT_EQ(EntryScore(Probe()), 3 - MateValue);
}

TEST_F(TranspositionTableTest, ClearEmptiesEveryWord) {
    gamePosition.board.hashKey = KeyInBucket(9, 2);
    Store(1, Bound::Exact, 1, 0x0101);
    gamePosition.sideToMove = Black;
    Store(1, Bound::Exact, 1, 0x0101);
    table.Clear();
    EXPECT_FALSE(Found());
    const uint32_t* words = reinterpret_cast<const uint32_t*>(&table.BucketOf(Black, 0));
    for (size_t i = 0; i < table.Bytes() / 4; i += 4099) EXPECT_EQ(words[i], 0u);
}

// Every size asked for is given whole, less at most one bucket, cleared: the
// default size in its own geometry, any other scaled. Whatever the key, a
// bucket lies in its side's part of the table; entries in use are counted.
TEST_F(TranspositionTableTest, ResizeGivesEveryMegabyteAskedFor) {
    constexpr size_t Sizes[] = {1, 16, 36, 100, 512, 1000};
    constexpr uint64_t Keys[] = {0, ~uint64_t{0}, 0x00000000FFFFFFFFull, 0xFFFFFFFF00000000ull, 0x0123456789ABCDEFull};
    for (const size_t megabytes : Sizes) {
        gamePosition.board.hashKey = KeyInBucket(9, 2);
        Store(1, Bound::Exact, 1, 0x0101);
        ASSERT_TRUE(table.Resize(megabytes));
        const size_t asked = megabytes << 20;
        EXPECT_LE(table.Bytes(), asked) << megabytes;
        EXPECT_LT(asked - table.Bytes(), sizeof(TTBucket)) << megabytes;
        EXPECT_EQ(table.BucketCount() == TTDefaultBuckets, megabytes == TTDefaultMegabytes);
        EXPECT_FALSE(Found()) << megabytes;
        EXPECT_EQ(table.PermillFull(), 0);
        const TTBucket* const first = &table.BucketOf(Black, 0);
        const uint32_t blackPart = table.BucketCount() / 2;
        for (const uint64_t key : Keys) {
            const ptrdiff_t black = &table.BucketOf(Black, key) - first;
            const ptrdiff_t white = &table.BucketOf(White, key) - first;
            EXPECT_TRUE(black >= 0 && black < blackPart) << megabytes << " " << key;
            EXPECT_TRUE(white >= blackPart && white < table.BucketCount()) << megabytes << " " << key;
        }
    }
    ASSERT_TRUE(table.Resize(1));
    for (uint32_t i = 0; i < 3 * table.BucketCount(); ++i) {
        gamePosition.board.hashKey = (static_cast<uint64_t>(i + 1) << 32) | (i * 0x9E3779B9u);
        gamePosition.sideToMove = i & 1;
        Store(5, Bound::Exact, 3, 0x0101);
        ASSERT_TRUE(Found()) << i;
    }
    EXPECT_GT(table.PermillFull(), 300);
}

}  // namespace
}  // namespace kavrin
