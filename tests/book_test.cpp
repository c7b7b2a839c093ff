// Opening book: loading with each failure and its message, lookups on the
// first, last and empty buckets of book files written here, damaged files,
// and the probe's candidate order and clock-based choice.
#include "book/book.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "board/board.h"
#include "board/fen.h"
#include "board/legal.h"
#include "board/makemove.h"
#include "board/movegen.h"
#include "search/game.h"
#include "support/files.h"
#include "support/test_engine.h"
#include "system/clock.h"

namespace kavrin {
namespace {

using test::WriteEmptyBook;
using test::WriteFileBytes;

uint32_t BucketOf(uint64_t key) { return static_cast<uint32_t>(key >> 32) >> BookBucketShift; }

class BookFiles : public test::InScratchFolderWithBooks {
  protected:
    static std::string IndexBytes(const std::vector<uint32_t>& index) {
        std::string bytes(4 * index.size(), '\0');
        PutLeWords(reinterpret_cast<uint8_t*>(bytes.data()), index.data(), index.size());
        return bytes;
    }
    // Writes baseName as a book of the keys (sorted here), the way the
    // builder lays it out; extra records can follow the indexed ones.
    static void WriteBook(const std::string& baseName, std::vector<uint64_t> keys, const std::string& tail = "") {
        std::sort(keys.begin(), keys.end(), [](uint64_t a, uint64_t b) { return a < b; });
        std::vector<uint32_t> index(BookIndexEntries, 0);
        std::string records;
        for (uint64_t key : keys) {
            uint8_t b[BookRecordSize];
            EncodeBookRecord(BookRecordOf(key), b);
            records.append(reinterpret_cast<const char*>(b), BookRecordSize);
            index[BucketOf(key)]++;
        }
        for (int i = 1; i < BookIndexEntries; i++) index[i] += index[i - 1];
        WriteFileBytes(baseName + ".mbx", IndexBytes(index));
        WriteFileBytes(baseName + ".mbk", records + tail);
    }
};

using BookLoad = BookFiles;
using BookLookup = BookFiles;
using BookProbing = BookFiles;

// --- Record layout ---------------------------------------------------------

TEST(BookRecordLayout, SixLittleEndianBytesOfTheLower47Bits) {
    const uint64_t key = 0xFEDC'BA98'7654'3210ull;
    BookRecord r = BookRecordOf(key);
    EXPECT_EQ(r.lower, 0x76543210u);
    EXPECT_EQ(r.upper, 0xBA98 & 0x7FFF);
    EXPECT_EQ(BucketOf(key), 0xFEDCBA98u >> 15);
    uint8_t b[BookRecordSize];
    EncodeBookRecord(r, b);
    const uint8_t expected[] = {0x10, 0x32, 0x54, 0x76, 0x98, 0x3A};
    EXPECT_EQ(std::memcmp(b, expected, BookRecordSize), 0);
    BookRecord back = DecodeBookRecord(b);
    EXPECT_EQ(back.lower, r.lower);
    EXPECT_EQ(back.upper, r.upper);
}

// --- Loading ---------------------------------------------------------------

TEST_F(BookLoad, BothValidBooksLoadAndEmptyRecordFilesAreValid) {
    WriteEmptyBook("bookbtm");
    WriteBook("bookwtm", {1, 2, 3});
    ASSERT_TRUE(books->Load());
    EXPECT_EQ(books->book[0].recordCount, 0u);
    EXPECT_EQ(books->book[1].recordCount, 3u);
    EXPECT_TRUE(BookContains(books->book[1], 2));
    EXPECT_FALSE(BookContains(books->book[0], 2));
}

TEST_F(BookLoad, MissingIndexIsReportedAndTheOtherBookIsNotTried) {
    WriteBook("bookwtm", {1});
    EXPECT_FALSE(books->Load());
    EXPECT_STREQ(books->message, "Cannot load file: 'bookbtm.mbx'\n");
    EXPECT_EQ(books->book[1].recordCount, 0u);
    EXPECT_FALSE(BookContains(books->book[1], 1));
}

TEST_F(BookLoad, IndexOfAnyOtherSizeIsAWrongFormat) {
    WriteEmptyBook("bookwtm");
    for (size_t size : {size_t{0}, size_t{BookIndexBytes - 1}, size_t{BookIndexBytes + 1}, size_t{4}}) {
        WriteFileBytes("bookbtm.mbx", std::string(size, '\0'));
        WriteFileBytes("bookbtm.mbk", "");
        EXPECT_FALSE(books->Load()) << size;
        EXPECT_STREQ(books->message, "Wrong file format 'bookbtm.mbx'.\n");
    }
}

TEST_F(BookLoad, MissingRecordFileIsReportedWithItsName) {
    WriteEmptyBook("bookbtm");
    WriteEmptyBook("bookwtm");
    ASSERT_EQ(unlink("bookwtm.mbk"), 0);
    EXPECT_FALSE(books->Load());
    EXPECT_STREQ(books->message, "Cannot open file: 'bookwtm.mbk'\n");
    EXPECT_EQ(books->book[1].recordCount, 0u);
}

TEST_F(BookLoad, FolderInPlaceOfAFileIsRefused) {
    WriteEmptyBook("bookwtm");
    ASSERT_EQ(mkdir("bookbtm.mbx", 0700), 0);
    EXPECT_FALSE(books->Load());
    EXPECT_STREQ(books->message, "Wrong file format 'bookbtm.mbx'.\n");
    ASSERT_EQ(rmdir("bookbtm.mbx"), 0);
    WriteEmptyBook("bookbtm");
    ASSERT_EQ(unlink("bookbtm.mbk"), 0);
    ASSERT_EQ(mkdir("bookbtm.mbk", 0700), 0);
    EXPECT_FALSE(books->Load());
    EXPECT_STREQ(books->message, "Cannot open file: 'bookbtm.mbk'\n");
    EXPECT_EQ(books->book[0].recordCount, 0u);
    EXPECT_EQ(books->book[0].recordFile, nullptr);
}

TEST_F(BookLoad, IndexThatDoesNotFitTheRecordsIsRefused) {
    WriteEmptyBook("bookwtm");
    // An entry that reaches past the two records of the file.
    std::vector<uint32_t> index(BookIndexEntries, 2);
    index[BookIndexEntries - 1] = 3;
    WriteFileBytes("bookbtm.mbx", IndexBytes(index));
    WriteFileBytes("bookbtm.mbk", std::string(2 * BookRecordSize, '\0'));
    EXPECT_FALSE(books->Load());
    EXPECT_STREQ(books->message, "Wrong file format 'bookbtm.mbx'.\n");
    EXPECT_EQ(books->book[0].recordCount, 0u);
    EXPECT_FALSE(BookContains(books->book[0], 0));

    // Entries that decrease.
    index.assign(BookIndexEntries, 2);
    index[10] = 1;
    WriteFileBytes("bookbtm.mbx", IndexBytes(index));
    EXPECT_FALSE(books->Load());
    EXPECT_STREQ(books->message, "Wrong file format 'bookbtm.mbx'.\n");
    EXPECT_FALSE(BookContains(books->book[0], 0));
}

TEST_F(BookLoad, ReloadReplacesTheEarlierBook) {
    WriteBook("bookbtm", {5});
    WriteBook("bookwtm", {6});
    ASSERT_TRUE(books->Load());
    EXPECT_TRUE(BookContains(books->book[0], 5));
    WriteBook("bookbtm", {7, 8});
    ASSERT_TRUE(books->Load());
    EXPECT_EQ(books->book[0].recordCount, 2u);
    EXPECT_FALSE(BookContains(books->book[0], 5));
    EXPECT_TRUE(BookContains(books->book[0], 8));
}

// --- Lookups ---------------------------------------------------------------

TEST_F(BookLookup, FirstLastAndEveryRecordOfCrowdedBucketsAreFound) {
    std::vector<uint64_t> keys = {0x0000'0000'0000'0000ull, 0x0000'0000'0000'0001ull, 0x0000'7FFF'FFFF'FFFFull,
                                  0xFFFF'FFFF'FFFF'FFFFull, 0xFFFF'8000'0000'0000ull};
    // One crowded bucket of 40 records with keys that differ in both halves.
    for (uint64_t i = 0; i < 40; i++) keys.push_back((0x1234ull << 47) | (i << 33) | (i * 0x9E3779B9ull & 0xFFFFFFFF));
    WriteBook("bookbtm", keys);
    WriteEmptyBook("bookwtm");
    ASSERT_TRUE(books->Load());
    OpeningBook& book = books->book[0];
    for (uint64_t key : keys) EXPECT_TRUE(BookContains(book, key)) << std::hex << key;
    for (uint64_t key : keys) {
        EXPECT_FALSE(BookContains(book, key ^ 0x2)) << std::hex << key;
        EXPECT_FALSE(BookContains(book, key ^ (1ull << 40))) << std::hex << key;
    }
}

TEST_F(BookLookup, EmptyBucketIsRejectedWithoutAnyRead) {
    WriteBook("bookbtm", {0x0000'0001'0000'0000ull, 0x0004'0000'0000'0000ull});
    WriteEmptyBook("bookwtm");
    ASSERT_TRUE(books->Load());
    OpeningBook& book = books->book[0];
    ASSERT_TRUE(BookContains(book, 0x0004'0000'0000'0000ull));
    uint64_t position = book.filePosition;
    // Buckets 1 (between the two) and 0x10000 (above both) hold nothing.
    EXPECT_FALSE(BookContains(book, 0x0000'8000'0000'0000ull));
    EXPECT_FALSE(BookContains(book, 0x8000'0000'0000'0000ull));
    EXPECT_EQ(book.filePosition, position);
    EXPECT_TRUE(book.cacheValid);
}

TEST_F(BookLookup, CachedRecordAnswersOnlyForItsOwnBucket) {
    const uint64_t stored = 0x0000'1234'5678'9ABCull;
    WriteBook("bookbtm", {stored, 0x0000'8000'0000'0001ull});
    WriteEmptyBook("bookwtm");
    ASSERT_TRUE(books->Load());
    OpeningBook& book = books->book[0];
    ASSERT_TRUE(BookContains(book, stored));
    uint64_t position = book.filePosition;
    EXPECT_TRUE(BookContains(book, stored));  // from the cache: no read
    EXPECT_EQ(book.filePosition, position);
    // The same lower 47 bits in the empty bucket 5, then in bucket 1.
    EXPECT_FALSE(BookContains(book, stored | (5ull << 47)));
    EXPECT_FALSE(BookContains(book, stored | (1ull << 47)));
}

TEST_F(BookLookup, ZeroKeyIsNotFoundInAFreshOrEmptyBook) {
    WriteEmptyBook("bookbtm");
    WriteBook("bookwtm", {0x0000'8000'0000'0000ull});
    ASSERT_TRUE(books->Load());
    EXPECT_FALSE(BookContains(books->book[0], 0));
    EXPECT_FALSE(BookContains(books->book[1], 0));
    BookSet fresh;
    EXPECT_FALSE(BookContains(fresh.book[0], 0));
    EXPECT_FALSE(BookContains(fresh.book[1], 0x0000'8000'0000'0000ull));
}

TEST_F(BookLookup, RecordsBeyondTheIndexAreNeverConsulted) {
    uint8_t b[BookRecordSize];
    EncodeBookRecord(BookRecordOf(0x0000'0000'0000'0900ull), b);
    WriteBook("bookbtm", {0x100, 0x200}, std::string(reinterpret_cast<const char*>(b), BookRecordSize));
    WriteEmptyBook("bookwtm");
    ASSERT_TRUE(books->Load());
    EXPECT_EQ(books->book[0].recordCount, 3u);
    EXPECT_TRUE(BookContains(books->book[0], 0x200));
    EXPECT_FALSE(BookContains(books->book[0], 0x900));
}

TEST_F(BookLookup, IndexDamagedAfterLoadNeverReadsBeyondTheRecords) {
    WriteBook("bookbtm", {0x10, 0x20, 0x30});
    WriteEmptyBook("bookwtm");
    ASSERT_TRUE(books->Load());
    OpeningBook& book = books->book[0];
    book.index[0] = 1000;  // bucket 0 now claims records that do not exist
    book.index[1] = 2;     // and bucket 1 ends before it starts
    EXPECT_TRUE(BookContains(book, 0x30));
    EXPECT_FALSE(BookContains(book, 0x40));
    EXPECT_FALSE(BookContains(book, 1ull << 47));
}

TEST_F(BookLookup, FailedReadCountsAsNotFound) {
    std::vector<uint64_t> keys;
    for (uint64_t i = 0; i < 64; i++) keys.push_back(0x1000 + i);
    WriteBook("bookbtm", keys);
    WriteEmptyBook("bookwtm");
    ASSERT_TRUE(books->Load());
    OpeningBook& book = books->book[0];
    // The file shrinks under the open book: the first probe (record 32) is gone.
    ASSERT_EQ(truncate("bookbtm.mbk", 10 * BookRecordSize), 0);
    EXPECT_FALSE(BookContains(book, 0x1000 + 40));
    EXPECT_FALSE(book.cacheValid);
    EXPECT_FALSE(BookContains(book, 0x1000 + 40));
    // Restored, the same open book finds it again from a fresh position.
    WriteBook("bookbtm", keys);
    EXPECT_TRUE(BookContains(book, 0x1000 + 40));
    EXPECT_TRUE(BookContains(book, 0x1000 + 3));
}

// --- Probing ---------------------------------------------------------------

class ProbePosition : public BookFiles {
  protected:
    void SetUp() override {
        BookFiles::SetUp();
        ASSERT_TRUE(ReadFen(gamePosition, InitialFen));
    }
    void TearDown() override {
        bookSet.Close();
        BookFiles::TearDown();
    }
    const std::unique_ptr<BookSet> books = std::make_unique<BookSet>();
    BookSet& bookSet = *books;
    // The legal moves of the Board position in generation order and the key
    // each one leads to.
    static std::vector<std::pair<Move, uint64_t>> Replies() {
        std::vector<std::pair<Move, uint64_t>> replies;
        MoveEntry moves[MaxGeneratedMoves];
        MoveEntry* end = GenerateLegalMoves(gamePosition, moves);
        UndoRecord ply{};
        SaveForMake(gamePosition, ply);
        for (MoveEntry* e = moves; e != end; ++e) {
            MakeMove(gamePosition, e->move, ply);
            replies.emplace_back(e->move, gamePosition.board.hashKey);
            UnmakeMove(gamePosition, e->move, ply);
        }
        return replies;
    }
    void LoadBookSet() { ASSERT_TRUE(bookSet.Load()) << bookSet.message; }
};

TEST_F(ProbePosition, NoBookOrAnEmptyBookGivesNoMove) {
    EXPECT_EQ(BookProbe(bookSet, gamePosition), 0);
    WriteEmptyBook("bookbtm");
    WriteEmptyBook("bookwtm");
    LoadBookSet();
    EXPECT_EQ(BookProbe(bookSet, gamePosition), 0);
}

TEST_F(ProbePosition, OneCandidateIsAlwaysChosenAndTheBoardIsUnchanged) {
    std::vector<std::pair<Move, uint64_t>> replies = Replies();
    ASSERT_EQ(replies.size(), 20u);
    const auto& chosen = replies[7];
    // The white book holds the position itself: only black's book counts.
    WriteBook("bookbtm", {chosen.second, 0x1234});
    WriteBook("bookwtm", {gamePosition.board.hashKey});
    LoadBookSet();
    Board before = gamePosition.board;
    HistoryEntry* top = gamePosition.historyTop;
    uint16_t ply = gamePosition.gamePly;
    for (int i = 0; i < 5; i++) EXPECT_EQ(BookProbe(bookSet, gamePosition), chosen.first);
    EXPECT_EQ(std::memcmp(&before, &gamePosition.board, sizeof gamePosition.board), 0);
    EXPECT_EQ(gamePosition.historyTop, top);
    EXPECT_EQ(gamePosition.gamePly, ply);
    EXPECT_EQ(gamePosition.sideToMove, 1);
}

TEST_F(ProbePosition, CandidatesRunFromTheLastGeneratedMoveAndTheClockPicks) {
    std::vector<std::pair<Move, uint64_t>> replies = Replies();
    ASSERT_GE(replies.size(), 12u);
    std::vector<uint64_t> keys;
    std::vector<Move> expected;  // the probe's order: last generated first
    for (int i : {11, 6, 2, 0}) {
        keys.push_back(replies[i].second);
        expected.push_back(replies[i].first);
    }
    WriteBook("bookbtm", keys);
    WriteEmptyBook("bookwtm");
    LoadBookSet();
    int checked = 0;
    std::vector<bool> seen(expected.size(), false);
    for (int attempt = 0; attempt < 2000 && checked < 40; attempt++) {
        int before = ClockMs();
        Move m = BookProbe(bookSet, gamePosition);
        int after = ClockMs();
        if (before != after) continue;
        size_t pick = static_cast<unsigned>(before) % expected.size();
        EXPECT_EQ(m, expected[pick]) << "clock " << before;
        seen[pick] = true;
        checked++;
        usleep(1300);
    }
    EXPECT_GE(checked, 20);
    EXPECT_GE(std::count(seen.begin(), seen.end(), true), 2);
}

TEST_F(ProbePosition, BlackToMoveLooksInTheWhiteBook) {
    std::vector<std::pair<Move, uint64_t>> replies = Replies();
    UndoRecord ply{};
    SaveForMake(gamePosition, ply);
    MakeMove(gamePosition, replies[3].first, ply);  // a first move for white; black to move now
    ASSERT_EQ(gamePosition.sideToMove, 0);
    std::vector<std::pair<Move, uint64_t>> answers = Replies();
    ASSERT_FALSE(answers.empty());
    WriteBook("bookbtm", {answers.back().second});
    WriteBook("bookwtm", {answers.front().second});
    LoadBookSet();
    EXPECT_EQ(BookProbe(bookSet, gamePosition), answers.front().first);
    UnmakeMove(gamePosition, replies[3].first, ply);
}

TEST_F(ProbePosition, InCheckOnlyEvasionsAreCandidates) {
    // White king on e1 in check from the rook on e8: the book holds the
    // position after the king steps aside and after an illegal pawn move.
    ASSERT_TRUE(ReadFen(gamePosition, "4r1k1/8/8/8/8/8/3P4/4K3 w - -"));
    std::vector<std::pair<Move, uint64_t>> replies = Replies();
    ASSERT_FALSE(replies.empty());
    uint64_t pawnKey = 0;
    {
        UndoRecord ply{};
        SaveForMake(gamePosition, ply);
        Move push = MakeMoveWord(51, 43, Quiet);  // d2d3 leaves the king in check
        MakeMove(gamePosition, push, ply);
        pawnKey = gamePosition.board.hashKey;
        UnmakeMove(gamePosition, push, ply);
    }
    WriteBook("bookbtm", {pawnKey, replies[0].second});
    WriteEmptyBook("bookwtm");
    LoadBookSet();
    EXPECT_EQ(BookProbe(bookSet, gamePosition), replies[0].first);
}

}  // namespace
}  // namespace kavrin
