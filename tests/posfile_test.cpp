// POS lines: the exact line, which positions of a game are written, the split
// into sixteen files by the first hex digit, and refusal of stored moves that
// the position does not allow.
#include "notation/posfile.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "board/board.h"
#include "board/fen.h"
#include "notation/pgn.h"
#include "search/game.h"
#include "support/files.h"
#include "support/test_engine.h"
#include "support/text.h"

namespace kavrin {
namespace {

constexpr const char* InitialPlacement = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -";

using test::Lines;
using test::PosLine;

class PosFileTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(ReadFen(gamePosition, InitialFen)); }

    // Reads a PGN game into game (the Board returns to the initial position).
    void ReadGame(const std::string& pgn) {
        std::istringstream in(pgn);
        GameHeader bits = 0;
        test::StdoutOf([&] { bits = ReadPgnGame(gamePosition, game, in); });
        ASSERT_NE(bits, 0) << pgn;
    }
    static std::string KnightShuffle(int plies, const char* result) {
        std::string text = std::string("[Result \"") + result + "\"]\n";
        const char* cycle[] = {"Nf3", "Nf6", "Ng1", "Ng8"};
        for (int i = 0; i < plies; ++i) text += std::string(cycle[i % 4]) + ' ';
        return text + result;
    }

    GameRecord game{};
};

TEST_F(PosFileTest, LineOfTheInitialPosition) {
    GameRecord record{};
    SetResultFromCode(record.result, 'W');
    std::ostringstream out;
    WritePosLine(gamePosition, record, out, 1);
    const std::string expected = PosLine(gamePosition.board.hashKey, InitialPlacement, 'W', 1) + "\n";
    EXPECT_EQ(out.str(), expected);
    EXPECT_EQ(out.str().size(), 17 + std::strlen(InitialPlacement) + 5);
    EXPECT_EQ(out.str()[16], '\t');
    SetResultFromCode(record.result, 'D');
    std::ostringstream later;
    WritePosLine(gamePosition, record, later, 137);
    EXPECT_EQ(later.str(), PosLine(gamePosition.board.hashKey, InitialPlacement, 'D', 137) + "\n");
}

TEST_F(PosFileTest, ShortGameGivesOneLinePerPlyBeforeTheLast) {
    ReadGame("[Result \"0-1\"]\n1. e4 e5 2. Nf3 0-1");
    const uint64_t initialKey = gamePosition.board.hashKey;
    std::ostringstream out;
    WriteGamePositions(gamePosition, game, out, PosPlyLimit);
    const std::vector<std::string> lines = Lines(out.str());
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], PosLine(initialKey, InitialPlacement, 'B', 1));
    EXPECT_NE(lines[1].find("\trnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3\tB\t2"), std::string::npos);
    EXPECT_NE(lines[2].find("\trnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNR w KQkq e6\tB\t3"), std::string::npos);
    EXPECT_EQ(gamePosition.board.hashKey, initialKey);
    EXPECT_EQ(gamePosition.historyTop, gamePosition.history);
    EXPECT_EQ(gamePosition.sideToMove, White);
}

TEST_F(PosFileTest, LongGameStopsAtSixtyFourPlies) {
    ReadGame(KnightShuffle(200, "1/2-1/2"));
    ASSERT_EQ(game.PlyCount(), 200);
    std::ostringstream out;
    WriteGamePositions(gamePosition, game, out, PosPlyLimit);
    const std::vector<std::string> lines = Lines(out.str());
    ASSERT_EQ(lines.size(), 64u);
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string tail = "\tD\t" + std::to_string(i + 1);
        EXPECT_EQ(lines[i].substr(lines[i].size() - tail.size()), tail);
    }
    // The shuffle repeats the initial position every four plies.
    EXPECT_EQ(lines[4], Lines(out.str())[0].substr(0, 17) + InitialPlacement + "\tD\t5");
}

TEST_F(PosFileTest, SplitFollowsTheFirstHexDigit) {
    std::ostringstream files[PosFileCount];
    std::ostream* outs[PosFileCount];
    for (int i = 0; i < PosFileCount; ++i) outs[i] = &files[i];
    std::ifstream pgn(KAVRIN_TEST_DATA "/games.pgn");
    ASSERT_TRUE(pgn.is_open());
    int games = 0;
    size_t expectedLines = 0;
    test::StdoutOf([&] {
        while (pgn.good() && pgn.peek() != EOF) {
            if (ReadPgnGame(gamePosition, game, pgn) != 0) {
                WriteGamePositions(gamePosition, game, outs, PosPlyLimit);
                ++games;
                expectedLines += static_cast<size_t>(std::min(game.PlyCount(), PosPlyLimit));
            }
            pgn >> std::ws;
        }
    });
    ASSERT_GT(games, 10);
    size_t total = 0;
    int used = 0;
    for (int i = 0; i < PosFileCount; ++i) {
        const std::vector<std::string> lines = Lines(files[i].str());
        total += lines.size();
        used += lines.empty() ? 0 : 1;
        const char digit = "0123456789ABCDEF"[i];
        for (const std::string& line : lines) {
            ASSERT_EQ(line[0], digit) << line;
            ASSERT_EQ(line.find_first_not_of("0123456789ABCDEF"), 16u) << line;
        }
    }
    EXPECT_EQ(total, expectedLines);
    EXPECT_GE(used, 12) << "positions of real games spread over the files";
    EXPECT_FALSE(files[0].str().empty()) << "hashes below 2^60 start with 0";
}

TEST_F(PosFileTest, StoredMoveThatThePositionRefuses) {
    ReadGame("[Result \"1-0\"]\n1. e4 e5 2. Nf3 Nc6 1-0");
    const uint64_t initialKey = gamePosition.board.hashKey;
    game.moves[3] = MakeMoveWord(59, 3, Capture);  // Qd1xd8 through pieces
    std::ostringstream out;
    EXPECT_EQ(test::GameFileErrorOf([&] { WriteGamePositions(gamePosition, game, out, PosPlyLimit); }),
              "MOVE NOT LEGAL 1");
    EXPECT_EQ(Lines(out.str()).size(), 3u) << "the positions up to the bad move";
    EXPECT_EQ(gamePosition.board.hashKey, initialKey);
    EXPECT_EQ(gamePosition.historyTop, gamePosition.history);

    // A pinned knight's move is generated but refused after it is made.
    ReadGame("[Result \"1-0\"]\n1. e4 d6 2. Bb5+ Nd7 3. a3 Ngf6 1-0");
    game.moves[6] = MakeMoveWord(11, 17, Quiet);  // Nd7-b6
    std::ostringstream checked;
    EXPECT_EQ(test::GameFileErrorOf([&] { WriteGamePositions(gamePosition, game, checked, PosPlyLimit); }),
              "MOVE NOT LEGAL 2 - check revealed");
    EXPECT_EQ(gamePosition.board.hashKey, initialKey);
}

TEST_F(PosFileTest, GarbageMoveWordsAreRefused) {
    ReadGame("[Result \"1-0\"]\n1. e4 e5 1-0");
    const uint64_t initialKey = gamePosition.board.hashKey;
    uint32_t seed = 5;
    for (int round = 0; round < 500; ++round) {
        GameRecord record{};
        SetResultFromCode(record.result, 'W');
        record.moves[0] = HeaderWhiteWon | 8;
        for (int i = 1; i <= 8; ++i) {
            seed = seed * 1103515245u + 12345u;
            record.moves[i] = static_cast<Move>(seed >> 16);
        }
        record.moves[1] = MakeMoveWord(52, 36, Quiet);
        std::ostringstream out;
        test::GameFileErrorOf([&] { WriteGamePositions(gamePosition, record, out, PosPlyLimit); });
        ASSERT_EQ(gamePosition.board.hashKey, initialKey);
    }
}

}  // namespace
}  // namespace kavrin
