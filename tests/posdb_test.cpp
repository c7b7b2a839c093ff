// Position-statistics databases: the POS line parser and its packing, the
// build with merging, side filter and the unsorted stop, and both lookups on
// sound and damaged files.
#include "book/posdb.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "board/board.h"
#include "board/fen.h"
#include "book/commands.h"
#include "search/game.h"
#include "support/files.h"
#include "support/test_engine.h"
#include "support/text.h"

namespace kavrin {
namespace {

using test::PosLine;
using test::ReadFileBytes;
using test::WriteDatabase;
using test::WriteFileBytes;

const std::string StartPlacement = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR";

// The POS line of the initial placement, white to move, with its line end.
std::string StartLine(uint64_t key, char result, int ply) {
    return PosLine(key, StartPlacement + " w KQkq -", result, ply) + "\n";
}

PosParse Parse(const std::string& line, PositionRecord& record) {
    return ParsePosLine(line.c_str(), static_cast<int>(line.size()), record);
}

std::vector<PositionRecord> ReadRecords(const std::string& name) {
    std::string bytes = ReadFileBytes(name);
    std::vector<PositionRecord> records;
    for (size_t i = 0; i + PositionRecordSize <= bytes.size(); i += PositionRecordSize)
        records.push_back(DecodeRecord(reinterpret_cast<const uint8_t*>(bytes.data() + i)));
    return records;
}

PositionRecord RecordWithKey(uint64_t key, uint32_t w) {
    PositionRecord r{};
    r.key = key;
    r.whiteWins = w;
    r.ply = 5;
    return r;
}

using Build = test::InScratchFolder;
using Lookup = test::InScratchFolder;

// --- Packing ---------------------------------------------------------------

TEST(PosParse, StartingPositionPacksFortySlotsThenFillers) {
    PositionRecord r;
    ASSERT_EQ(Parse(PosLine(0x0123456789ABCDEFull, StartPlacement + " w KQkq -", 'W', 1), r), PosParse::Ok);
    EXPECT_EQ(r.key, 0x0123456789ABCDEFull);
    const uint8_t expected[PlacementBytes] = {0xFC, 0xAE, 0xBA, 0xCF, 0xDD, 0xDD, 0xDD, 0xDD, 0x33, 0x33, 0x33,
                                              0x33, 0x77, 0x77, 0x77, 0x77, 0x96, 0x48, 0x54, 0x69, 0xFF, 0xFF,
                                              0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_EQ(std::memcmp(r.placement, expected, PlacementBytes), 0);
    EXPECT_EQ(r.flags, 0xF8);
    EXPECT_EQ(r.ply, 1);
    EXPECT_EQ(r.whiteWins, 1u);
    EXPECT_EQ(r.blackWins + r.draws, 0u);
}

TEST(PosParse, LongRunsTakeTwoSlotsAndEnPassantSetsFileAndFlag) {
    PositionRecord r;
    ASSERT_EQ(Parse(PosLine(1, "4k3/8/8/8/4P3/8/8/4K3 b - e3", 'B', 2), r), PosParse::Ok);
    // 4k3: 3,11,2; 8: 3,3 (x3); 4P3: 3,7,2; 8: 3,3 (x2); 4K3: 3,5,2; then 15s.
    const uint8_t expected[] = {0x3B, 0x23, 0x33, 0x33, 0x33, 0x72, 0x33, 0x33, 0x35, 0x2F};
    EXPECT_EQ(std::memcmp(r.placement, expected, sizeof expected), 0);
    for (size_t i = sizeof expected; i < PlacementBytes; i++) EXPECT_EQ(r.placement[i], 0xFF);
    EXPECT_EQ(r.flags, 4);  // black to move, no castling, file e
    EXPECT_EQ(r.ply, PlyEpGiven | 2);
    EXPECT_EQ(r.blackWins, 1u);
}

TEST(PosParse, CastlingLettersSetTheirOwnBitsAndPlyIsCappedAt127) {
    PositionRecord r;
    ASSERT_EQ(Parse(PosLine(1, StartPlacement + " w Kq -", 'D', 999999999), r), PosParse::Ok);
    EXPECT_EQ(r.flags, FlagWhiteToMove | FlagWhiteKingSide | FlagBlackQueenSide);
    EXPECT_EQ(r.ply, 127);
    EXPECT_EQ(r.draws, 1u);
    ASSERT_EQ(Parse(PosLine(1, StartPlacement + " x Qk -", 'D', 127), r), PosParse::Ok);
    EXPECT_EQ(r.flags, FlagWhiteQueenSide | FlagBlackKingSide);  // any other side letter is black
    EXPECT_EQ(r.ply, 127);
}

TEST(PosParse, RecordBytesAreLittleEndianInTheirPlaces) {
    PositionRecord r{};
    r.key = 0x1122334455667788ull;
    r.placement[0] = 0xAB;
    r.placement[31] = 0xCD;
    r.flags = 0x81;
    r.ply = 0x85;
    r.whiteWins = 0x01020304;
    r.blackWins = 0x05060708;
    r.draws = 0x090A0B0C;
    uint8_t b[PositionRecordSize];
    EncodeRecord(r, b);
    const uint8_t head[] = {0x88, 0x77, 0x66, 0x55, 0x44, 0x33, 0x22, 0x11, 0xAB};
    EXPECT_EQ(std::memcmp(b, head, sizeof head), 0);
    EXPECT_EQ(b[39], 0xCD);
    EXPECT_EQ(b[40], 0x81);
    EXPECT_EQ(b[41], 0x85);
    const uint8_t counts[] = {4, 3, 2, 1, 8, 7, 6, 5, 0x0C, 0x0B, 0x0A, 0x09};
    EXPECT_EQ(std::memcmp(b + 42, counts, sizeof counts), 0);
    PositionRecord back = DecodeRecord(b);
    EXPECT_EQ(back.key, r.key);
    EXPECT_EQ(back.draws, r.draws);
    EXPECT_EQ(std::memcmp(back.placement, r.placement, PlacementBytes), 0);
}

TEST(PosParse, MalformedLinesAreRefusedWithoutTouchingMemoryBeyondThem) {
    const std::string tail = " w KQkq -\tW\t1";
    const std::vector<std::string> bad = {
        PosLine(1, StartPlacement + "/8" + " w KQkq -", 'W', 1),                   // nine ranks
        PosLine(1, "rnbqkbnrp/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w - -", 'W', 1),  // nine files
        PosLine(1, "ppppppppppppppppppppppppppppppppppppppppppppppppppppppppppppppppppp w - -", 'W', 1),
        PosLine(1, "rnbqkbnr/pppppppp/9/8/8/8/PPPPPPPP/RNBQKBNR w - -", 'W', 1),
        PosLine(1, "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBN w - -", 'W', 1),   // short rank
        PosLine(1, "rnbqkbnr/ppppxppp/8/8/8/8/PPPPPPPP/RNBQKBNR w - -", 'W', 1),  // unknown letter
        PosLine(1, StartPlacement + " w KQkq e9", 'W', 1),
        PosLine(1, StartPlacement + " w KQkq z3", 'W', 1),
        PosLine(1, StartPlacement + " w KQkq -", 'X', 1),           // result character
        "0123456789ABCDEF\t" + StartPlacement,                      // no fields after
        "0123456789ABCDEF\t" + StartPlacement + " w",               // no castling
        "0123456789ABCDEF\t" + StartPlacement + " w KQkq",          // no en passant
        "0123456789ABCDEF\t" + StartPlacement + " w KQkq -",        // no result
        "0123456789ABCDEF\t" + StartPlacement + " w KQkq -\tW",     // no ply
        "0123456789ABCDEF\t" + StartPlacement + " w KQkq -\tW\tx",  // ply not a number
        "0123456789ABCDEF\t" + StartPlacement + "  KQkq -\tW\t1",   // empty side
        "0123456789ABCDEF\t" + StartPlacement + " w  -\tW\t1",      // empty castling
        "0123456789ABCDEG\t" + StartPlacement + tail,               // key digit
        "0123456789ABCDE\t" + StartPlacement + tail,                // short key
    };
    for (const std::string& line : bad) {
        // An exact-size heap copy lets the address checker catch a read past the line.
        std::vector<char> copy(line.begin(), line.end());
        PositionRecord r;
        EXPECT_EQ(ParsePosLine(copy.data(), static_cast<int>(copy.size()), r), PosParse::Malformed) << line;
    }
    PositionRecord r;
    EXPECT_EQ(Parse("0123456789ABCDEF", r), PosParse::TooShort);
    EXPECT_EQ(Parse("", r), PosParse::TooShort);
}

// --- Building --------------------------------------------------------------

TEST_F(Build, SameKeyAndPlacementMergeCountsAndKeepTheEarliestPly) {
    WriteFileBytes("in.pos", StartLine(0x10, 'W', 9) + StartLine(0x10, 'D', 7) + StartLine(0x20, 'B', 3));
    char message[FileMessageSize] = "OK";
    ASSERT_TRUE(CreateDatabase("in.pos", "w.db", 'W', message));
    std::vector<PositionRecord> records = ReadRecords("w.db");
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].key, 0x10u);
    EXPECT_EQ(records[0].whiteWins, 1u);
    EXPECT_EQ(records[0].draws, 1u);
    EXPECT_EQ(records[0].blackWins, 0u);
    EXPECT_EQ(records[0].ply, 7);
    EXPECT_EQ(records[1].key, 0x20u);
    EXPECT_EQ(records[1].blackWins, 1u);
    EXPECT_EQ(ReadFileBytes("w.db").size(), 2u * PositionRecordSize);
}

TEST_F(Build, SameKeyWithAnotherPlacementReplacesThePendingRecord) {
    WriteFileBytes("in.pos", StartLine(0x10, 'W', 1) + StartLine(0x10, 'W', 1) +
                                 PosLine(0x10, "4k3/8/8/8/8/8/8/4K3 w - -", 'D', 20) + "\n" +
                                 PosLine(0x10, StartPlacement + " w Kkq -", 'B', 4) + "\n");
    char message[FileMessageSize] = "OK";
    ASSERT_TRUE(CreateDatabase("in.pos", "w.db", 'W', message));
    std::vector<PositionRecord> records = ReadRecords("w.db");
    ASSERT_EQ(records.size(), 1u);
    // The last line differs in its castling rights from the one before it.
    EXPECT_EQ(records[0].blackWins, 1u);
    EXPECT_EQ(records[0].whiteWins + records[0].draws, 0u);
    EXPECT_EQ(records[0].ply, 4);
}

TEST_F(Build, SideFilterKeepsOnlyTheSideToMoveOfEachFile) {
    WriteFileBytes("in.pos", StartLine(0x10, 'W', 1) + PosLine(0x11, StartPlacement + " b KQkq e3", 'D', 2) + "\n" +
                                 StartLine(0x12, 'B', 3));
    char message[FileMessageSize] = "OK";
    ASSERT_TRUE(CreateDatabase("in.pos", "w.db", 'W', message));
    ASSERT_TRUE(CreateDatabase("in.pos", "b.db", 'B', message));
    std::vector<PositionRecord> white = ReadRecords("w.db");
    std::vector<PositionRecord> black = ReadRecords("b.db");
    ASSERT_EQ(white.size(), 2u);
    EXPECT_EQ(white[0].key, 0x10u);
    EXPECT_EQ(white[1].key, 0x12u);
    ASSERT_EQ(black.size(), 1u);
    EXPECT_EQ(black[0].key, 0x11u);
    EXPECT_EQ(black[0].flags & FlagWhiteToMove, 0);
    EXPECT_EQ(black[0].ply, PlyEpGiven | 2);
}

TEST_F(Build, UnsortedInputStopsWithTheLineAndKeepsWhatWasBuilt) {
    const std::string late = PosLine(0x05, StartPlacement + " w KQkq -", 'W', 1);
    WriteFileBytes("in.pos", StartLine(0x10, 'W', 1) + StartLine(0x20, 'W', 1) + late + "\n" + StartLine(0x30, 'W', 1));
    char message[FileMessageSize] = "OK";
    std::string out = test::StdoutOf([&] { EXPECT_FALSE(CreateDatabase("in.pos", "w.db", 'W', message)); });
    EXPECT_EQ(std::string(message), "ERROR: input file with positions not sorted by hash!\n" + late + "\n");
    EXPECT_EQ(out.find("done"), std::string::npos);
    std::vector<PositionRecord> records = ReadRecords("w.db");
    ASSERT_EQ(records.size(), 2u);  // the written one and the pending one
    EXPECT_EQ(records[0].key, 0x10u);
    EXPECT_EQ(records[1].key, 0x20u);
}

TEST_F(Build, UnsortedMessageKeepsItsLimitForTheLongestLine) {
    // A line as long as the reader takes, valid through its long ply number.
    std::string late = PosLine(0x05, StartPlacement + " w KQkq -", 'W', 1);
    late.insert(late.size() - 1, std::string(PosLineLimit - late.size(), '0'));
    ASSERT_EQ(late.size(), static_cast<size_t>(PosLineLimit));
    WriteFileBytes("in.pos", StartLine(0x10, 'W', 1) + late + "\n");
    char message[FileMessageSize + 16];
    std::memset(message, 'x', sizeof message);
    test::StdoutOf([&] { EXPECT_FALSE(CreateDatabase("in.pos", "w.db", 'W', message)); });
    const std::string text(message);
    EXPECT_LT(text.size(), static_cast<size_t>(FileMessageSize));
    EXPECT_EQ(text.rfind("ERROR: input file with positions not sorted by hash!\n" + late.substr(0, 100), 0), 0u);
    EXPECT_EQ(text.back(), '\n');
    EXPECT_EQ(message[FileMessageSize], 'x');
}

TEST_F(Build, BadLinesAreReportedWithTheirCountAndSkipped) {
    const std::string bad = "0000000000000011\t" + StartPlacement + " w KQkq -\tX\t3";
    const std::string longLine(400, 'A');
    WriteFileBytes("in.pos", PosLine(0x10, StartPlacement + " w KQkq -", 'W', 1) + "\nshort\n" + bad + "\n" + longLine +
                                 "\n" + StartLine(0x12, 'D', 3));
    char message[FileMessageSize] = "OK";
    std::string out = test::StdoutOf([&] { EXPECT_TRUE(CreateDatabase("in.pos", "w.db", 'W', message)); });
    EXPECT_NE(out.find("\nparse error skipped line: 2\n" + bad + "\n"), std::string::npos) << out;
    EXPECT_NE(out.find("\nparse error skipped line: 3\n" + longLine.substr(0, PosLineLimit) + "\n"), std::string::npos);
    EXPECT_EQ(ReadRecords("w.db").size(), 2u);
}

TEST_F(Build, ProgressRunsFromZeroToDone) {
    WriteFileBytes("in.pos", StartLine(0x10, 'W', 1) + StartLine(0x20, 'W', 1) + StartLine(0x30, 'W', 1));
    char message[FileMessageSize] = "OK";
    std::string out = test::StdoutOf([&] { ASSERT_TRUE(CreateDatabase("in.pos", "w.db", 'W', message)); });
    // A record is written when the next key arrives: after two thirds of the
    // file, then after all of it; the last one closes the file.
    EXPECT_EQ(out, "creating new database 'w.db':  0%\b\b\b\b 66%\b\b\b\b100%\b\b\b\b100%... done.\n");
}

TEST_F(Build, RefusalsCarryTheirMessages) {
    char message[FileMessageSize] = "OK";
    EXPECT_FALSE(CreateDatabase("in.pos", "w.db", 'X', message));
    EXPECT_STREQ(message, "WRONG STM parameter: X\n");
    EXPECT_FALSE(CreateDatabase("missing.pos", "w.db", 'W', message));
    EXPECT_STREQ(message, "Cannot open file statistics: missing.pos\n");
    ASSERT_EQ(mkdir("dir.pos", 0700), 0);
    EXPECT_FALSE(CreateDatabase("dir.pos", "w.db", 'W', message));
    EXPECT_STREQ(message, "Cannot open file: dir.pos\n");
    WriteFileBytes("in.pos", "");
    ASSERT_EQ(mkdir("dir.db", 0700), 0);
    EXPECT_FALSE(CreateDatabase("in.pos", "dir.db", 'W', message));
    EXPECT_STREQ(message, "Cannot open file: dir.db\n");
}

TEST_F(Build, DbCreateOfAnEmptyFileMakesTwoEmptyDatabases) {
    WriteFileBytes("empty.pos", "");
    std::string out = test::StdoutOf([&] { DbCreateCommand("empty.pos", "x"); });
    EXPECT_EQ(out,
              "creating new database 'x_black.db':  0%\b\b\b\b100%... done.\n"
              "creating new database 'x_white.db':  0%\b\b\b\b100%... done.\ncreated.\n");
    EXPECT_EQ(access("x_white.db", F_OK), 0);
    EXPECT_EQ(ReadFileBytes("x_white.db").size(), 0u);
    EXPECT_EQ(ReadFileBytes("x_black.db").size(), 0u);
}

TEST_F(Build, DbCreatePrintsTheUnsortedMessage) {
    const std::string late = PosLine(0x05, StartPlacement + " b KQkq -", 'W', 1);
    WriteFileBytes("in.pos", PosLine(0x10, StartPlacement + " b KQkq -", 'W', 1) + "\n" + late + "\n");
    std::string out = test::StdoutOf([&] { DbCreateCommand("in.pos", "x"); });
    const std::string expectedEnd = "ERROR: input file with positions not sorted by hash!\n" + late + "\n\n";
    ASSERT_GE(out.size(), expectedEnd.size());
    EXPECT_EQ(out.substr(out.size() - expectedEnd.size()), expectedEnd);
    EXPECT_EQ(access("x_white.db", F_OK), -1);  // the second pass never ran
}

// --- Lookups ---------------------------------------------------------------

TEST_F(Lookup, OpenCreatesMissingFilesEmptyAndFindsNothing) {
    PositionDatabase db;
    EXPECT_STREQ(db.message, "OK");
    ASSERT_TRUE(db.Open("white.db", "black.db"));
    EXPECT_EQ(access("white.db", F_OK), 0);
    EXPECT_EQ(access("black.db", F_OK), 0);
    EXPECT_EQ(db.FindRecord(1, 0), nullptr);
    EXPECT_EQ(db.FindRecord(0, 12345), nullptr);
    EXPECT_EQ(db.FindRecordLinear(1, 0), nullptr);
}

TEST_F(Lookup, OpenReportsAFileThatCannotBeRead) {
    ASSERT_EQ(mkdir("black.db", 0700), 0);
    PositionDatabase db;
    // A folder opens for reading, but its first record cannot be read.
    EXPECT_FALSE(db.Open("white.db", "black.db"));
    EXPECT_STREQ(db.message, "Cannot open file: black.db\n");
    EXPECT_EQ(db.file[0].file, nullptr);
}

TEST_F(Lookup, FindRecordFindsFirstLastAndEveryKeyButNoOther) {
    std::vector<PositionRecord> records;
    for (uint32_t i = 0; i < 37; i++) records.push_back(RecordWithKey(0x1000 + 0x10ull * i, i));
    WriteDatabase("white.db", records);
    PositionDatabase db;
    ASSERT_TRUE(db.Open("white.db", "black.db"));
    EXPECT_EQ(db.file[1].recordCount, 37u);
    EXPECT_EQ(db.file[1].firstKey, 0x1000u);
    EXPECT_EQ(db.file[1].lastKey, 0x1000u + 0x10 * 36);
    // In an order that starts the search below, above and at the buffered record.
    for (uint32_t i : {0u, 36u, 18u, 17u, 1u, 35u, 35u, 2u}) {
        const PositionRecord* r = db.FindRecord(1, 0x1000 + 0x10ull * i);
        ASSERT_NE(r, nullptr) << i;
        EXPECT_EQ(r->whiteWins, i);
    }
    for (uint32_t i = 0; i < 37; i++) {
        ASSERT_NE(db.FindRecord(1, 0x1000 + 0x10ull * i), nullptr);
        EXPECT_EQ(db.FindRecord(1, 0x1000 + 0x10ull * i + 1), nullptr);
    }
    EXPECT_EQ(db.FindRecord(1, 0xFFF), nullptr);
    EXPECT_EQ(db.FindRecord(1, 0x1000 + 0x10 * 36 + 1), nullptr);
    EXPECT_EQ(db.FindRecord(1, ~uint64_t{0}), nullptr);
    EXPECT_EQ(db.FindRecord(0, 0x1000), nullptr);  // the other side's file is empty
}

TEST_F(Lookup, FindRecordLinearReportsEveryPlaceOutOfOrder) {
    WriteDatabase("white.db",
                  {RecordWithKey(0, 1), RecordWithKey(0x30, 2), RecordWithKey(0x20, 3), RecordWithKey(0x40, 4)});
    PositionDatabase db;
    ASSERT_TRUE(db.Open("white.db", "black.db"));
    const PositionRecord* r = nullptr;
    std::string out = test::StdoutOf([&] { r = db.FindRecordLinear(1, 0x40); });
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->whiteWins, 4u);
    EXPECT_EQ(out, "Sort ERROR: current: 0, prev: 0\nSort ERROR: current: 20, prev: 30\n");
    test::StdoutOf([&] {
        EXPECT_EQ(db.FindRecordLinear(1, 0x35), nullptr);  // stops at the first key above it
        EXPECT_EQ(db.FindRecordLinear(1, 0x50), nullptr);  // end of file
    });
}

TEST_F(Lookup, PartialTrailingRecordIsNeverRead) {
    std::vector<PositionRecord> records = {RecordWithKey(0x10, 1), RecordWithKey(0x20, 2), RecordWithKey(0x30, 3)};
    WriteDatabase("white.db", records, std::string(53, '\x7F'));
    PositionDatabase db;
    ASSERT_TRUE(db.Open("white.db", "black.db"));
    EXPECT_EQ(db.file[1].recordCount, 3u);
    EXPECT_EQ(db.file[1].lastKey, 0x30u);
    ASSERT_NE(db.FindRecord(1, 0x30), nullptr);
    EXPECT_EQ(db.FindRecord(1, 0x7F7F7F7F7F7F7F7Full), nullptr);
    EXPECT_EQ(test::StdoutOf([&] {
                  EXPECT_NE(db.FindRecordLinear(1, 0x30), nullptr);
                  EXPECT_EQ(db.FindRecordLinear(1, 0x31), nullptr);
              }),
              "");
}

TEST_F(Lookup, ShuffledRecordsGiveOnlyTrueAnswers) {
    std::vector<PositionRecord> records;
    for (uint32_t i = 0; i < 50; i++) records.push_back(RecordWithKey((i * 7919u) % 101u + 1, i));
    records.front().key = 1;
    records.back().key = 500;
    WriteDatabase("white.db", records);
    PositionDatabase db;
    ASSERT_TRUE(db.Open("white.db", "black.db"));
    for (uint64_t key = 0; key <= 501; key++) {
        const PositionRecord* r = db.FindRecord(1, key);
        if (r != nullptr) {
            EXPECT_EQ(r->key, key);
        }
    }
    test::StdoutOf([&] {
        for (uint64_t key = 0; key <= 501; key += 25) {
            const PositionRecord* r = db.FindRecordLinear(1, key);
            if (r != nullptr) {
                EXPECT_EQ(r->key, key);
            }
        }
    });
}

TEST_F(Lookup, ReadFailureAfterOpenIsNotFound) {
    std::vector<PositionRecord> records;
    // Large enough that the probes lie outside what the stream holds buffered.
    for (uint32_t i = 0; i < 200; i++) records.push_back(RecordWithKey(0x100 + i, i));
    WriteDatabase("white.db", records);
    PositionDatabase db;
    ASSERT_TRUE(db.Open("white.db", "black.db"));
    ASSERT_EQ(truncate("white.db", 3 * PositionRecordSize), 0);
    EXPECT_EQ(db.FindRecord(1, 0x100 + 150), nullptr);
    EXPECT_EQ(db.FindRecord(1, 0x101), nullptr);  // its first probe lies beyond the end now
    test::StdoutOf([&] { EXPECT_NE(db.FindRecordLinear(1, 0x101), nullptr); });  // still inside the file
}

// --- "dbshow" and "dbshowlin" ----------------------------------------------

class DbShow : public test::InScratchFolder {
  protected:
    void SetUp() override {
        InScratchFolder::SetUp();
        ASSERT_TRUE(ReadFen(gamePosition, InitialFen));
        key_ = gamePosition.board.hashKey;
        ASSERT_GT(key_, 2u);
        ASSERT_LT(key_, ~uint64_t{0} - 2);
    }
    static std::string Show(bool linear) {
        return test::StdoutOf([&] { DbShowCommand(gamePosition, linear); });
    }
    static bool EndsWith(const std::string& text, const std::string& end) {
        return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
    }
    uint64_t key_ = 0;
};

TEST_F(DbShow, FindsThePositionAsFirstAndAsLastRecord) {
    PositionRecord mine = RecordWithKey(key_, 2);
    mine.blackWins = 1;
    const std::string line = "w: 2, b: 1, d: 0, score: 0.666667\n";
    WriteDatabase("white.db", {mine, RecordWithKey(key_ + 1, 9), RecordWithKey(key_ + 2, 9)});
    std::string out = Show(false);
    EXPECT_TRUE(EndsWith(out, line)) << out;
    EXPECT_GT(out.size(), line.size());  // the diagram comes first
    EXPECT_TRUE(EndsWith(Show(true), line));
    WriteDatabase("white.db", {RecordWithKey(key_ - 2, 9), RecordWithKey(key_ - 1, 9), mine});
    EXPECT_TRUE(EndsWith(Show(false), line));
    EXPECT_TRUE(EndsWith(Show(true), line));
}

TEST_F(DbShow, LooksInTheFileOfTheSideToMove) {
    WriteDatabase("black.db", {RecordWithKey(key_, 3)});
    EXPECT_TRUE(EndsWith(Show(false), "record not found.\n"));
    ASSERT_TRUE(ReadFen(gamePosition, "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR b KQkq -"));
    ASSERT_EQ(gamePosition.board.hashKey, key_);
    EXPECT_TRUE(EndsWith(Show(false), "w: 3, b: 0, d: 0, score: 1.000000\n"));
    EXPECT_TRUE(EndsWith(Show(true), "w: 3, b: 0, d: 0, score: 1.000000\n"));
}

TEST_F(DbShow, MissingDatabasesAreCreatedAndHoldNothing) {
    EXPECT_TRUE(EndsWith(Show(false), "record not found.\n"));
    EXPECT_EQ(access("white.db", F_OK), 0);
    EXPECT_EQ(access("black.db", F_OK), 0);
    ASSERT_EQ(unlink("black.db"), 0);
    ASSERT_EQ(mkdir("black.db", 0700), 0);
    // A folder in place of a database opens but cannot be read.
    EXPECT_EQ(Show(true), "Cannot open file: black.db\n\n");
}

}  // namespace
}  // namespace kavrin
