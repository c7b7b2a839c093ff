// The in-memory book builder: kavrin.bin holds exactly the moves of the games
// that lead into Kavrin's book, weighted by the mover's half points there,
// without the moves that lost every game they were played in; two positions
// with one key stop the build; weights are scaled into 16 bits.
#include "book/bookmaker.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <tuple>
#include <vector>

#include "board/board.h"
#include "notation/converters.h"
#include "support/files.h"
#include "support/text.h"

namespace kavrin {
namespace {

using Entry = std::tuple<uint64_t, uint16_t, uint16_t>;  // key, move, weight

std::string Game(const std::string& moves, const std::string& result) {
    return "[Result \"" + result + "\"]\n\n" + moves + " " + result + "\n\n";
}

// Polyglot key of the position after the moves, and the word of the next one.
Entry EntryAfter(const std::string& moves, const char* next, uint16_t weight) {
    const PolyglotEntry e = test::PolyglotEntryAfter(moves, next, weight);
    return {e.key, e.move, e.weight};
}

std::vector<Entry> ReadEntries(const std::string& name) {
    const std::string bytes = test::ReadFileBytes(name);
    EXPECT_EQ(bytes.size() % PolyglotEntrySize, 0u);
    std::vector<Entry> entries;
    for (size_t at = 0; at + PolyglotEntrySize <= bytes.size(); at += PolyglotEntrySize) {
        const PolyglotEntry e = DecodePolyglotEntry(reinterpret_cast<const uint8_t*>(bytes.data() + at));
        EXPECT_EQ(e.learn, 0u);
        entries.emplace_back(e.key, e.move, e.weight);
    }
    return entries;
}

class BookMaker : public test::InScratchFolder {};

TEST_F(BookMaker, KavrinBinHoldsTheGameMovesIntoTheBookWithTheMoversHalfPoints) {
    std::string pgn;
    for (int i = 0; i < 3; i++) pgn += Game("1. e4 e5 2. Nf3 Nc6 3. Bb5 a6", "1-0");
    for (int i = 0; i < 2; i++) pgn += Game("1. d4 d5 2. c4 e6", "0-1");
    // One position reached two ways: 2. Nc3 after 1. Nf3 Nf6 won twice, 2. Nf3
    // after 1. Nc3 Nf6 lost once.
    for (int i = 0; i < 2; i++) pgn += Game("1. Nf3 Nf6 2. Nc3 d6", "1-0");
    pgn += Game("1. Nc3 Nf6 2. Nf3 d5", "0-1");
    test::WriteFileBytes("games.pgn", pgn);

    PositionSamples samples;
    Position replay;
    std::ifstream in("games.pgn");
    test::StdoutOf([&] {
        ConvertPgnGames(replay, in, "games.pgn", [&](const GameRecord& game) {
            CollectGamePositions(replay, game, samples);
            return true;
        });
    });
    // 6, 4, 4 and 4 positions before the moves, one after the last move each.
    EXPECT_EQ(samples.Size(), 3u * 7 + 2 * 5 + 2 * 5 + 5);
    BookBuildReport report;
    ASSERT_TRUE(WriteBooksFromSamples(samples, ".", report)) << report.message;
    EXPECT_EQ(samples.Size(), 0u);

    // Into "bookbtm" (White scored at least 0.53): 1. e4 and its two White
    // moves after it, 1. Nf3 and 2. Nc3; not 2. Nf3 after 1. Nc3 Nf6, which
    // lost its only game. Into "bookwtm": 1... d5 and 1... Nf6 after 1. Nc3.
    std::vector<Entry> expected = {
        EntryAfter("", "e2e4", 6),          EntryAfter("", "g1f3", 4),
        EntryAfter("e2e4 e7e5", "g1f3", 6), EntryAfter("e2e4 e7e5 g1f3 b8c6", "f1b5", 6),
        EntryAfter("g1f3 g8f6", "b1c3", 4), EntryAfter("d2d4", "d7d5", 4),
        EntryAfter("b1c3", "g8f6", 2),
    };
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(ReadEntries(PolyglotBookName), expected);
    EXPECT_EQ(report.polyglotEntries, expected.size());
    // White to move: the start, two more of 1. e4, one of each other opening.
    EXPECT_EQ(report.positions[White], 6u);
    EXPECT_EQ(report.positions[Black], 8u);
}

PositionSample Counted(uint64_t key, uint32_t fingerprint) {
    PositionSample s{};
    s.key = key;
    s.fingerprint = fingerprint;
    s.ply = 3;
    s.flags = SampleWhiteToMove | SampleDraw | SampleCounted;
    return s;
}

TEST_F(BookMaker, TwoPositionsWithOneKeyStopTheBuild) {
    struct Case {
        uint32_t secondFingerprint;
        bool secondWhiteToMove;
        bool collision;
    };
    // The same key for the other side to move is another database's record.
    const Case cases[] = {{7, true, false}, {8, true, true}, {8, false, false}};
    for (const Case& c : cases) {
        PositionSamples samples;
        samples.Add(Counted(0x1234, 7));
        PositionSample second = Counted(0x1234, c.secondFingerprint);
        if (!c.secondWhiteToMove) second.flags &= static_cast<uint8_t>(~SampleWhiteToMove);
        samples.Add(second);
        BookBuildReport report;
        EXPECT_EQ(WriteBooksFromSamples(samples, ".", report), !c.collision) << report.message;
        EXPECT_EQ(report.keyCollision, c.collision);
    }
}

TEST(BookWeights, AreTheMoversHalfPointsScaledIntoSixteenBits) {
    EXPECT_EQ(MoverHalfPoints(White, 3, 1, 2), 8u);
    EXPECT_EQ(MoverHalfPoints(Black, 3, 1, 2), 4u);
    const struct {
        uint32_t weight, largest;
        uint16_t scaled;
    } cases[] = {{1, 1, 1},      {65535, 65535, 65535},  {131070, 131070, 65535}, {65535, 131070, 32767},
                 {1, 200000, 1}, {100000, 200000, 32767}};
    for (const auto& c : cases) EXPECT_EQ(ScaledWeight(c.weight, c.largest), c.scaled) << c.weight << "/" << c.largest;
}

}  // namespace
}  // namespace kavrin
