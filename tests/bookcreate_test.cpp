// Book creation: the selection boundaries, the cumulative index, the record
// file with an older tail, the messages of "bookcreate", and a book built
// here answering lookups.
#include "book/bookcreate.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "book/book.h"
#include "book/commands.h"
#include "book/posdb.h"
#include "support/files.h"
#include "support/text.h"

namespace kavrin {
namespace {

using test::ReadFileBytes;
using test::WriteDatabase;
using test::WriteFileBytes;

class BookBuild : public test::InScratchFolderWithBooks {
  protected:
    static PositionRecord Record(uint64_t key, uint32_t w, uint32_t b, uint32_t d, int ply) {
        PositionRecord r{};
        r.key = key;
        r.whiteWins = w;
        r.blackWins = b;
        r.draws = d;
        r.ply = static_cast<uint8_t>(ply);
        return r;
    }
    static std::vector<uint32_t> ReadIndex(const std::string& name) {
        std::string bytes = ReadFileBytes(name);
        std::vector<uint32_t> index(bytes.size() / 4);
        GetLeWords(reinterpret_cast<const uint8_t*>(bytes.data()), index.data(), index.size());
        return index;
    }
    static std::vector<uint64_t> ReadBookKeys(const std::string& name) {
        std::string bytes = ReadFileBytes(name);
        std::vector<uint64_t> keys;
        for (size_t i = 0; i + BookRecordSize <= bytes.size(); i += BookRecordSize) {
            BookRecord r = DecodeBookRecord(reinterpret_cast<const uint8_t*>(bytes.data() + i));
            keys.push_back((static_cast<uint64_t>(r.upper) << 32) | r.lower);
        }
        return keys;
    }
    // Builds book side from the database file name with GenerateBook and
    // returns what it printed.
    std::string Generate(const std::string& dbName, int side, bool* ok) {
        PositionDatabase db;
        EXPECT_TRUE(side == 1 ? db.Open(dbName.c_str(), "unused_black.db")
                              : db.Open("unused_white.db", dbName.c_str()));
        return test::StdoutOf([&] { *ok = GenerateBook(BookBaseNames[side], db.file[side], side, *books); });
    }
};

TEST(BookSelection, ThresholdsAreInclusive) {
    EXPECT_TRUE(KeepInBook(0, 53, 47, 0, 30));  // exactly 0.53
    EXPECT_FALSE(KeepInBook(0, 52, 48, 0, 30));
    EXPECT_TRUE(KeepInBook(0, 50, 44, 6, 30));  // 0.53 with draws counted as halves
    EXPECT_TRUE(KeepInBook(1, 52, 48, 0, 60));  // exactly 0.52 at the last ply
    EXPECT_FALSE(KeepInBook(1, 53, 47, 0, 60));
    EXPECT_TRUE(KeepInBook(1, 0, 1, 0, 1));
    EXPECT_FALSE(KeepInBook(0, 0, 1, 0, 1));
}

TEST(BookSelection, EarlyPliesAllowTheHigherThresholdForWhiteToMove) {
    EXPECT_TRUE(KeepInBook(1, 54, 46, 0, 11));
    EXPECT_FALSE(KeepInBook(1, 54, 46, 0, 12));
    EXPECT_TRUE(KeepInBook(1, 55, 45, 0, 11));  // exactly 0.55
    EXPECT_FALSE(KeepInBook(1, 56, 44, 0, 1));
}

TEST(BookSelection, LatePliesAndRecordsWithoutGamesStayOut) {
    EXPECT_FALSE(KeepInBook(0, 1, 0, 0, 61));
    EXPECT_FALSE(KeepInBook(1, 0, 1, 0, 61));
    EXPECT_TRUE(KeepInBook(0, 1, 0, 0, 60));
    EXPECT_FALSE(KeepInBook(0, 0, 0, 0, 1));
    EXPECT_FALSE(KeepInBook(1, 0, 0, 0, 1));
}

TEST_F(BookBuild, KeptRecordsAndCumulativeIndex) {
    // Buckets 0, 2, 2, 5 and the last one; one record of each kind left out.
    const uint64_t b2 = 2ull << 47, b5 = 5ull << 47, last = 0x1FFFFull << 47;
    WriteDatabase("w.db", {Record(0x10, 1, 0, 0, 3), Record(0x20, 0, 0, 0, 3), Record(b2 | 1, 53, 47, 0, 9),
                           Record(b2 | 2, 2, 0, 1, 60), Record(b2 | 3, 1, 0, 0, 61), Record(b5 | 0xABCDEF, 0, 0, 1, 1),
                           Record(b5 | 0xABCDF0, 1, 0, 0, 1), Record(last | 7, 1, 0, 0, 127)});
    bool ok = false;
    std::string out = Generate("w.db", 0, &ok);
    ASSERT_TRUE(ok) << books->message;
    std::vector<uint64_t> keys = ReadBookKeys("bookbtm.mbk");
    ASSERT_EQ(keys.size(), 4u);
    EXPECT_EQ(keys[0], 0x10u);
    EXPECT_EQ(keys[1], 1u);  // bucket bits are not stored
    EXPECT_EQ(keys[2], 2u);
    EXPECT_EQ(keys[3], 0xABCDF0u);
    std::vector<uint32_t> index = ReadIndex("bookbtm.mbx");
    ASSERT_EQ(index.size(), static_cast<size_t>(BookIndexEntries));
    EXPECT_EQ(index[0], 1u);
    EXPECT_EQ(index[1], 1u);
    EXPECT_EQ(index[2], 3u);
    EXPECT_EQ(index[4], 3u);
    EXPECT_EQ(index[5], 4u);
    EXPECT_EQ(index[BookIndexEntries - 1], 4u);
    // White's score over every record: w 59, b 47, d 2.
    char expected[64];
    std::snprintf(expected, sizeof expected, "bookbtm: %f\n", (59 + 1.0) / 108);
    EXPECT_EQ(out, expected);
}

TEST_F(BookBuild, BuiltBookAnswersForItsKeysOnly) {
    std::vector<PositionRecord> records;
    for (uint64_t i = 0; i < 300; i++) {
        uint64_t key = (i * 0x9E3779B97F4A7C15ull >> 20) << 20 | i;
        records.push_back(
            Record(key, static_cast<uint32_t>(i % 3), static_cast<uint32_t>(i % 5), 1, static_cast<int>(i % 70)));
    }
    std::sort(records.begin(), records.end(),
              [](const PositionRecord& a, const PositionRecord& b) { return a.key < b.key; });
    WriteDatabase("w.db", records);
    bool ok = false;
    Generate("w.db", 1, &ok);
    ASSERT_TRUE(ok);
    test::WriteEmptyBook("bookbtm");
    BookSet loaded;
    ASSERT_TRUE(loaded.Load()) << loaded.message;
    int kept = 0;
    for (const PositionRecord& r : records) {
        bool keep = KeepInBook(1, r.whiteWins, r.blackWins, r.draws, r.ply);
        kept += keep;
        EXPECT_EQ(BookContains(loaded.book[1], r.key), keep) << std::hex << r.key;
        EXPECT_FALSE(BookContains(loaded.book[1], r.key ^ 0x80000));
    }
    EXPECT_GT(kept, 20);
    EXPECT_LT(kept, 280);
}

TEST_F(BookBuild, EmptyDatabaseGivesEmptyRecordsZeroIndexAndNoScore) {
    WriteFileBytes("w.db", "");
    bool ok = false;
    std::string out = Generate("w.db", 1, &ok);
    ASSERT_TRUE(ok);
    EXPECT_EQ(ReadFileBytes("bookwtm.mbk"), "");
    EXPECT_EQ(ReadFileBytes("bookwtm.mbx"), std::string(BookIndexBytes, '\0'));
    EXPECT_EQ(out, "bookwtm: nan\n");
}

TEST_F(BookBuild, OlderLongerRecordFileKeepsItsTailOutsideTheIndex) {
    WriteFileBytes("bookbtm.mbk", std::string(10 * BookRecordSize, '\x55'));
    WriteFileBytes("bookbtm.mbx", std::string(BookIndexBytes + 100, '\x01'));
    WriteDatabase("w.db", {Record(0x10, 1, 0, 0, 1), Record(0x20, 1, 0, 0, 1)});
    bool ok = false;
    Generate("w.db", 0, &ok);
    ASSERT_TRUE(ok);
    std::string records = ReadFileBytes("bookbtm.mbk");
    ASSERT_EQ(records.size(), 10u * BookRecordSize);
    EXPECT_EQ(records.substr(2 * BookRecordSize), std::string(8 * BookRecordSize, '\x55'));
    EXPECT_EQ(ReadFileBytes("bookbtm.mbx").size(), static_cast<size_t>(BookIndexBytes));
    EXPECT_EQ(ReadIndex("bookbtm.mbx").back(), 2u);
    test::WriteEmptyBook("bookwtm");
    BookSet loaded;
    ASSERT_TRUE(loaded.Load()) << loaded.message;
    EXPECT_TRUE(BookContains(loaded.book[0], 0x20));
    EXPECT_FALSE(BookContains(loaded.book[0], 0x555555555555ull));
}

TEST_F(BookBuild, RecordsOutOfKeyOrderStayOutOfTheBook) {
    WriteDatabase("w.db", {Record(0x30, 1, 0, 0, 1), Record(0x10, 1, 0, 0, 1), Record(0x40, 1, 0, 0, 1)});
    bool ok = false;
    Generate("w.db", 0, &ok);
    ASSERT_TRUE(ok);
    std::vector<uint64_t> keys = ReadBookKeys("bookbtm.mbk");
    ASSERT_EQ(keys.size(), 2u);
    EXPECT_EQ(keys[0], 0x30u);
    EXPECT_EQ(keys[1], 0x40u);
}

TEST_F(BookBuild, BookCreateOnMissingDatabasesBuildsEmptyBooks) {
    std::string out = test::StdoutOf([&] { BookCreateCommand(); });
    EXPECT_EQ(out, "Generating bookbtm...\nbookbtm: nan\nGenerating bookwtm...\nbookwtm: nan\ncreated.\n");
    EXPECT_EQ(access("white.db", F_OK), 0);
    EXPECT_EQ(access("black.db", F_OK), 0);
    BookSet loaded;
    EXPECT_TRUE(loaded.Load()) << loaded.message;
}

TEST_F(BookBuild, BookThatCannotBeCreatedIsReportedAndTheOtherIsStillBuilt) {
    ASSERT_EQ(mkdir("bookbtm.mbx", 0700), 0);
    ASSERT_EQ(mkdir("bookwtm.mbk", 0700), 0);
    WriteDatabase("white.db", {Record(0x10, 0, 1, 0, 2)});
    std::string out = test::StdoutOf([&] { BookCreateCommand(); });
    EXPECT_EQ(out,
              "Generating bookbtm...\nCannot create index file: 'bookbtm.mbx'\n"
              "Generating bookwtm...\nCannot create file: 'bookwtm.mbk'\ncreated.\n");
}

TEST_F(BookBuild, BookCreateReportsDatabasesThatCannotBeOpened) {
    ASSERT_EQ(mkdir("black.db", 0000), 0);
    std::string out = test::StdoutOf([&] { BookCreateCommand(); });
    // Refused at the open or at the first read, with the same message.
    EXPECT_EQ(out, "Cannot open file: black.db\n\n");
    EXPECT_EQ(access("bookbtm.mbx", F_OK), -1);
}

}  // namespace
}  // namespace kavrin
