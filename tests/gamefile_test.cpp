// GAME records: byte layout, counting corrupt files, reading them without
// running past their data, and the duplicate test with and without the index.
#include "notation/gamefile.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "support/files.h"

namespace kavrin {
namespace {

std::string Bytes(std::initializer_list<int> values) {
    std::string s;
    for (const int v : values) s += static_cast<char>(v);
    return s;
}

GameRecord Record(GameHeader resultBits, std::initializer_list<Move> moves) {
    GameRecord game{};
    int n = 0;
    for (const Move m : moves) game.moves[++n] = m;
    game.moves[0] = static_cast<GameHeader>(resultBits | n);
    return game;
}

int Count(const std::string& data) {
    std::istringstream in(data);
    return CountGameRecords(in);
}

// A GAME file in a scratch folder, opened as the converters open it.
class GameFileTest : public test::InScratchFolder {
  protected:
    void WriteRaw(const std::string& data) { test::WriteFileBytes(path, data); }
    std::fstream Open() { return std::fstream(path, std::ios::in | std::ios::out | std::ios::app | std::ios::binary); }
    const std::string path = "records.game";
};

TEST(GameRecordLayout, LittleEndianHeaderAndMoves) {
    std::ostringstream out;
    WriteGameRecord(Record(HeaderWhiteWon, {0x0D24}), out);
    EXPECT_EQ(out.str(), Bytes({0x01, 0x80, 0x24, 0x0D}));
    std::ostringstream castle;
    WriteGameRecord(Record(HeaderDraw, {0x0D24, 0x0314, CastleWhiteKingSide}), castle);
    EXPECT_EQ(castle.str(), Bytes({0x03, 0xC0, 0x24, 0x0D, 0x14, 0x03, 0x3E, 0xDF}));
    EXPECT_EQ(GameRecordBytes(3), 8);
}

TEST(GameRecordLayout, ReadSetsResultAndMoves) {
    std::istringstream in(Bytes({0x02, 0x40, 0x24, 0x0D, 0x06, 0xC1, 0x00, 0xC0, 0x01, 0xC0, 0x3A, 0xFF}));
    GameRecord game{};
    ASSERT_TRUE(ReadGameRecord(game, in));
    EXPECT_EQ(game.Header(), HeaderBlackWon | 2);
    EXPECT_EQ(game.result.code, 'B');
    EXPECT_STREQ(game.result.text, "0-1");
    EXPECT_EQ(game.moves[1], 0x0D24);
    EXPECT_EQ(game.moves[2], CastleBlackKingSide);
    ASSERT_TRUE(ReadGameRecord(game, in));  // n = 0 is accepted
    EXPECT_EQ(game.PlyCount(), 0);
    EXPECT_EQ(game.result.code, 'D');
    ASSERT_TRUE(ReadGameRecord(game, in));
    EXPECT_EQ(game.moves[1], CastleWhiteQueenSide);
    EXPECT_FALSE(ReadGameRecord(game, in));
}

TEST(GameRecordLayout, ReadRefusesBadRecords) {
    GameRecord game{};
    std::istringstream noResult(Bytes({0x05, 0x00, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
    EXPECT_EQ(test::GameFileErrorOf([&] { ReadGameRecord(game, noResult); }), "WRONG RESULT");
    std::istringstream cut(Bytes({0x03, 0x80, 0x24, 0x0D, 0x14}));
    EXPECT_FALSE(ReadGameRecord(game, cut));
    std::istringstream single(Bytes({0x03}));
    EXPECT_FALSE(ReadGameRecord(game, single));
    // More plies than a game may hold: refused before any move is read.
    std::string big = Bytes({0xFF, 0xBF});
    big += std::string(2 * 0x3FFF, '\x11');
    std::istringstream tooLong(big);
    EXPECT_FALSE(ReadGameRecord(game, tooLong));
}

TEST(GameRecordCount, CompleteTruncatedAndCorruptFiles) {
    const std::string one = Bytes({0x01, 0x80, 0x24, 0x0D});
    EXPECT_EQ(Count(""), 0);
    EXPECT_EQ(Count(one + one + one), 3);
    EXPECT_EQ(Count(one + one + Bytes({0x01})), 2) << "a single trailing byte";
    EXPECT_EQ(Count(one + one + Bytes({0x02, 0x80, 0x24, 0x0D})), -3) << "cut inside its moves";
    EXPECT_EQ(Count(one + Bytes({0x05, 0x00})), -2) << "result bits 00";
    EXPECT_EQ(Count(Bytes({0x00, 0x84}) + std::string(2048, '\0')), -1) << "1024 plies";
    std::string longest = Bytes({0xFF, 0x83}) + std::string(2 * 1023, '\x24');
    EXPECT_EQ(Count(longest + one), 2) << "1023 plies";
}

TEST(GameRecordCount, RandomBytesNeverReadPastTheData) {
    std::mt19937 rng(7);
    for (int round = 0; round < 300; ++round) {
        std::string data(rng() % 64, '\0');
        for (char& c : data) c = static_cast<char>(rng());
        const int count = Count(data);
        EXPECT_LE(count, static_cast<int>(data.size() / 2));
        std::istringstream in(data);
        GameRecord game{};
        int read = 0;
        try {
            while (ReadGameRecord(game, in)) {
                EXPECT_LE(game.PlyCount(), MaxGamePlies);
                ++read;
            }
        } catch (const GameFileError& e) {
            EXPECT_STREQ(e.text, "WRONG RESULT");
        }
        if (count >= 0) {
            EXPECT_GE(read, count);
        }
    }
}

TEST_F(GameFileTest, DuplicateTestFindsOnlyIdenticalRecords) {
    const GameRecord a = Record(HeaderWhiteWon, {0x0D24, 0x0314});
    const GameRecord b = Record(HeaderBlackWon, {0x0D24, 0x0314});  // other result
    const GameRecord prefix = Record(HeaderWhiteWon, {0x0D24});
    {
        std::ofstream out(path, std::ios::binary);
        WriteGameRecord(a, out);
    }
    std::fstream file = Open();
    GameIndex index;
    BuildGameIndex(index, file);
    EXPECT_TRUE(GameAlreadyStored(a, file));
    EXPECT_TRUE(IndexedGameStored(index, a, file));
    EXPECT_FALSE(GameAlreadyStored(b, file));
    EXPECT_FALSE(IndexedGameStored(index, b, file));
    EXPECT_FALSE(GameAlreadyStored(prefix, file));
    EXPECT_FALSE(IndexedGameStored(index, prefix, file));
    // Appended records are found by both, whatever the read position.
    WriteGameRecord(b, file);
    AddToGameIndex(index, b);
    EXPECT_TRUE(GameAlreadyStored(b, file));
    EXPECT_TRUE(IndexedGameStored(index, b, file));
    WriteGameRecord(prefix, file);
    AddToGameIndex(index, prefix);
    EXPECT_TRUE(IndexedGameStored(index, prefix, file));
    EXPECT_TRUE(GameAlreadyStored(prefix, file));
    file.close();
    EXPECT_EQ(std::filesystem::file_size(path), 6u + 6u + 4u);
}

TEST_F(GameFileTest, IndexAgreesWithTheFullScan) {
    std::mt19937 rng(99);
    std::vector<GameRecord> offered;
    for (int i = 0; i < 300; ++i) {
        GameRecord g{};
        const int n = 1 + static_cast<int>(rng() % 4);
        for (int k = 1; k <= n; ++k) g.moves[k] = static_cast<Move>(rng() % 3);
        g.moves[0] = static_cast<GameHeader>((rng() % 2 ? HeaderWhiteWon : HeaderDraw) | n);
        offered.push_back(g);
    }
    std::fstream file = Open();
    GameIndex index;
    BuildGameIndex(index, file);
    int stored = 0;
    for (const GameRecord& g : offered) {
        const bool plain = GameAlreadyStored(g, file);
        ASSERT_EQ(IndexedGameStored(index, g, file), plain);
        if (!plain) {
            WriteGameRecord(g, file);
            AddToGameIndex(index, g);
            ++stored;
        }
    }
    EXPECT_GT(stored, 20);
    EXPECT_LT(stored, 300) << "the small alphabet repeats games";
    // A fresh index of the written file gives the same answers.
    GameIndex rebuilt;
    BuildGameIndex(rebuilt, file);
    for (const GameRecord& g : offered) EXPECT_TRUE(IndexedGameStored(rebuilt, g, file));
}

TEST_F(GameFileTest, WrongResultMetByTheDuplicateTest) {
    const GameRecord a = Record(HeaderWhiteWon, {0x0D24});
    std::string data;
    {
        std::ostringstream out;
        WriteGameRecord(a, out);
        data = out.str() + Bytes({0x05, 0x00, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
    }
    WriteRaw(data);
    std::fstream file = Open();
    GameIndex index;
    BuildGameIndex(index, file);
    // Found before the bad record: no error.
    EXPECT_TRUE(GameAlreadyStored(a, file));
    EXPECT_TRUE(IndexedGameStored(index, a, file));
    const GameRecord other = Record(HeaderDraw, {0x0D24});
    EXPECT_EQ(test::GameFileErrorOf([&] { GameAlreadyStored(other, file); }), "WRONG RESULT");
    EXPECT_EQ(test::GameFileErrorOf([&] { IndexedGameStored(index, other, file); }), "WRONG RESULT");
    // The stream is usable afterwards.
    EXPECT_TRUE(GameAlreadyStored(a, file));
}

TEST_F(GameFileTest, TruncatedTailEndsTheScan) {
    const GameRecord a = Record(HeaderWhiteWon, {0x0D24});
    std::ostringstream out;
    WriteGameRecord(a, out);
    WriteRaw(out.str() + Bytes({0x09, 0x80, 0x24}));
    std::fstream file = Open();
    GameIndex index;
    BuildGameIndex(index, file);
    EXPECT_TRUE(IndexedGameStored(index, a, file));
    EXPECT_FALSE(IndexedGameStored(index, Record(HeaderWhiteWon, {0x0D25}), file));
    EXPECT_EQ(index.endOffset, 7u);
}

}  // namespace
}  // namespace kavrin
