// The five converters on the real games and on damaged inputs: messages,
// progress, log lines, file modes, what stays converted after an error, and
// the position they leave. Each test runs in its own temporary directory.
#include "notation/converters.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "board/board.h"
#include "board/fen.h"
#include "notation/gamefile.h"
#include "notation/pgn.h"
#include "search/game.h"
#include "support/engine_process.h"
#include "support/files.h"
#include "support/test_engine.h"
#include "support/text.h"

namespace kavrin {
namespace {

namespace fs = std::filesystem;
using test::Lines;
using test::ReadFileBytes;
using test::WriteFileBytes;

const std::string RealGames = KAVRIN_TEST_DATA "/games.pgn";

int Occurrences(const std::string& text, const std::string& part) {
    int n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

// What one converter call printed, and the error text it passed on.
struct Outcome {
    std::string printed;
    std::string error;
};

// Each test in a scratch folder of its own, with the log in a string.
class ConvertersTest : public test::InScratchFolder {
  protected:
    static Outcome Run(const std::function<void()>& call) {
        Outcome outcome;
        outcome.printed = test::StdoutOf([&] { outcome.error = test::GameFileErrorOf(call); });
        return outcome;
    }
    static Outcome ToGame(const std::string& pgn, const std::string& game) {
        return Run([&] {
            int total = 0;
            Pgn2Game(gamePosition, pgn.c_str(), game.c_str(), total);
        });
    }
    static int RealGameCount() { return Occurrences(ReadFileBytes(RealGames), "[Result "); }

    // Every game of the real file as the PGN reader delivers it, read here
    // without the converters; the Board returns to the initial position.
    static std::vector<GameRecord> RealGameRecords() {
        std::vector<GameRecord> games;
        std::ifstream in(RealGames);
        EXPECT_TRUE(ReadFen(gamePosition, InitialFen));
        GameRecord game{};
        const std::string printed = test::StdoutOf([&] {
            while (in.good() && in.peek() != EOF) {
                if (ReadPgnGame(gamePosition, game, in) != 0) games.push_back(game);
                in >> std::ws;
            }
        });
        EXPECT_EQ(printed, "") << "no game is given up";
        return games;
    }
    static bool SameGame(const GameRecord& a, const GameRecord& b) {
        if (a.Header() != b.Header()) return false;
        for (int i = 1; i <= a.PlyCount(); ++i) {
            if (a.moves[i] != b.moves[i]) return false;
        }
        return true;
    }

    // The Board, the game snapshot and the ply counter hold the initial position.
    static void ExpectInitialPosition() {
        const Board after = gamePosition.board;
        const GameSnapshot snapshot = gamePosition.snapshot;
        ASSERT_TRUE(ReadFen(gamePosition, InitialFen));
        EXPECT_EQ(std::memcmp(&after, &gamePosition.board, sizeof gamePosition.board), 0);
        EXPECT_EQ(std::memcmp(snapshot.pieceOn, gamePosition.snapshot.pieceOn, sizeof snapshot.pieceOn), 0);
        EXPECT_EQ(snapshot.castling, gamePosition.snapshot.castling);
        EXPECT_EQ(snapshot.epSquare, gamePosition.snapshot.epSquare);
        EXPECT_EQ(gamePosition.gamePly, 1);
    }

    test::LogCapture log;
};

std::string Progress(int count) {
    std::string text = "Converting " + std::to_string(count) + " games [  0%]...";
    int last = 0;
    for (int done = 1; done <= count; ++done) {
        const int p = done * 100 / count;
        if (p > last) {
            char field[32];
            std::snprintf(field, sizeof field, "\b\b\b\b\b\b\b\b%3d%%]...", p);
            text += field;
            last = p;
        }
    }
    return text;
}

constexpr const char* ThreeGames =
    "[Result \"1-0\"]\n1. e4 e5 2. Qh5 Nc6 3. Bc4 Nf6 4. Qxf7# 1-0\n\n"
    "[Result \"0-1\"]\n1. f3 e5 2. g4 Qh4# 0-1\n\n"
    "[Result \"1/2-1/2\"]\n1. d4 d5 2. c4 e6 1/2-1/2\n";

TEST_F(ConvertersTest, RealGamesRoundTripWithoutSkips) {
    const int n = RealGameCount();
    ASSERT_GT(n, 10);
    // The reader gives up none of them; a game that repeats an earlier one move
    // for move with the same result is the only kind pgn2game skips.
    const std::vector<GameRecord> records = RealGameRecords();
    ASSERT_EQ(records.size(), static_cast<size_t>(n));
    std::string warnings;
    int distinct = 0;
    for (size_t i = 0; i < records.size(); ++i) {
        bool repeated = false;
        for (size_t k = 0; k < i && !repeated; ++k) repeated = SameGame(records[i], records[k]);
        if (repeated)
            warnings += "Warning: game " + std::to_string(i + 1) + " (skipped) file: " + RealGames + "\n";
        else
            ++distinct;
    }
    const std::string d = std::to_string(distinct);
    const Outcome first = ToGame(RealGames, "first.game");
    EXPECT_EQ(first.error, "");
    EXPECT_EQ(first.printed, warnings + "converted: " + d + " games. (skipped: " + std::to_string(n - distinct) +
                                 ")\nfile: " + RealGames + " \t\tfinished\n");
    EXPECT_NE(log.Text().find("<<< OK:\t" + RealGames + "\t>>>\n"), std::string::npos);
    ExpectInitialPosition();

    const Outcome back = Run([] { Game2Pgn(gamePosition, "first.game", "back.pgn"); });
    EXPECT_EQ(back.printed, Progress(distinct) + "OK\nconverted: " + d + " games.\n");
    const std::vector<std::string> pgnLines = Lines(ReadFileBytes("back.pgn"));
    ASSERT_EQ(pgnLines.size(), static_cast<size_t>(2 * distinct));
    EXPECT_EQ(pgnLines[0].rfind("[Result \"", 0), 0u);
    EXPECT_EQ(pgnLines[1].rfind("1. ", 0), 0u);
    EXPECT_EQ(pgnLines[1].find_first_of("NBRQKx+#"), std::string::npos) << "coordinate notation";

    const Outcome again = ToGame("back.pgn", "second.game");
    EXPECT_EQ(again.printed, "converted: " + d + " games. (skipped: 0)\nfile: back.pgn \t\tfinished\n");
    const std::string bytes = ReadFileBytes("first.game");
    EXPECT_GT(bytes.size(), static_cast<size_t>(4 * distinct));
    EXPECT_EQ(ReadFileBytes("second.game"), bytes);

    // The same file again: every game is already stored.
    const Outcome twice = ToGame(RealGames, "first.game");
    EXPECT_EQ(Occurrences(twice.printed, "(skipped) file: " + RealGames + "\n"), n);
    EXPECT_NE(twice.printed.find("Warning: game 1 (skipped) file: "), std::string::npos);
    EXPECT_NE(twice.printed.find("converted: 0 games. (skipped: " + std::to_string(n) + ")\n"), std::string::npos);
    EXPECT_EQ(ReadFileBytes("first.game"), bytes);
}

TEST_F(ConvertersTest, PositionsOfTheRealGames) {
    ASSERT_EQ(ToGame(RealGames, "all.game").error, "");
    std::ifstream games("all.game", std::ios::binary);
    GameRecord record{};
    std::vector<std::pair<int, char>> expected;  // plies written, result code
    while (ReadGameRecord(record, games)) expected.emplace_back(std::min(record.PlyCount(), 64), record.result.code);
    const int stored = static_cast<int>(expected.size());
    ASSERT_GT(stored, 10);

    const Outcome pos = Run([] { Game2Pos(gamePosition, "all.game", "all.pos"); });
    EXPECT_EQ(pos.printed, Progress(stored) + "\tOK\nconverted: " + std::to_string(stored) + " games.\n");
    ExpectInitialPosition();

    const std::vector<std::string> lines = Lines(ReadFileBytes("all.pos"));
    size_t at = 0;
    for (const auto& [plies, code] : expected) {
        for (int ply = 1; ply <= plies; ++ply, ++at) {
            ASSERT_LT(at, lines.size());
            const std::string& line = lines[at];
            ASSERT_EQ(line.find('\t'), 16u) << line;
            const size_t fenEnd = line.find('\t', 17);
            ASSERT_NE(fenEnd, std::string::npos);
            const std::string fen = line.substr(17, fenEnd - 17);
            EXPECT_EQ(std::count(fen.begin(), fen.end(), ' '), 3) << fen;
            EXPECT_EQ(line.substr(fenEnd), std::string("\t") + code + "\t" + std::to_string(ply)) << line;
            if (ply == 1) {
                EXPECT_EQ(fen, InitialFen);
            }
        }
    }
    EXPECT_EQ(at, lines.size());

    // pgn2pos reads every game (no duplicate test) and writes the same lines,
    // each in the file of its first hex digit.
    const int n = RealGameCount();
    size_t allPlies = 0;
    for (const GameRecord& game : RealGameRecords()) allPlies += static_cast<size_t>(std::min(game.PlyCount(), 64));
    const Outcome split = Run([] { Pgn2Pos(gamePosition, RealGames.c_str()); });
    EXPECT_EQ(split.printed,
              "converted: " + std::to_string(n) + " games. (skipped: 0)\nfile: " + RealGames + " \t\tfinished\n");
    ExpectInitialPosition();
    std::vector<std::string> splitLines;
    for (int i = 0; i < 16; ++i) {
        char name[8];
        std::snprintf(name, sizeof name, "%X.pos", i);
        for (const std::string& line : Lines(ReadFileBytes(name))) {
            EXPECT_EQ(line[0], name[0]) << line;
            splitLines.push_back(line);
        }
    }
    EXPECT_EQ(splitLines.size(), allPlies);
    std::vector<std::string> sortedLines = lines;
    std::sort(sortedLines.begin(), sortedLines.end());
    sortedLines.erase(std::unique(sortedLines.begin(), sortedLines.end()), sortedLines.end());
    std::sort(splitLines.begin(), splitLines.end());
    splitLines.erase(std::unique(splitLines.begin(), splitLines.end()), splitLines.end());
    EXPECT_EQ(splitLines, sortedLines);

    // game2pos appends; pgn2pos starts its files afresh.
    Run([] { Game2Pos(gamePosition, "all.game", "all.pos"); });
    EXPECT_EQ(Lines(ReadFileBytes("all.pos")).size(), 2 * lines.size());
    Run([] { Pgn2Pos(gamePosition, RealGames.c_str()); });
    size_t again = 0;
    for (const char* name : {"0.pos", "1.pos", "2.pos", "3.pos", "4.pos", "5.pos", "6.pos", "7.pos", "8.pos", "9.pos",
                             "A.pos", "B.pos", "C.pos", "D.pos", "E.pos", "F.pos"}) {
        again += Lines(ReadFileBytes(name)).size();
    }
    EXPECT_EQ(again, allPlies);
}

TEST_F(ConvertersTest, ProgressCountsUpInPlace) {
    WriteFileBytes("three.pgn", ThreeGames);
    ASSERT_EQ(ToGame("three.pgn", "three.game").error, "");
    const Outcome back = Run([] { Game2Pgn(gamePosition, "three.game", "three_back.pgn"); });
    EXPECT_EQ(back.printed,
              "Converting 3 games [  0%]...\b\b\b\b\b\b\b\b 33%]...\b\b\b\b\b\b\b\b 66%]...\b\b\b\b\b\b\b\b100%]..."
              "OK\nconverted: 3 games.\n");
    EXPECT_EQ(ReadFileBytes("three_back.pgn"),
              "[Result \"1-0\"]\n1. e2e4 e7e5 2. d1h5 b8c6 3. f1c4 g8f6 4. h5f7 1-0\n"
              "[Result \"0-1\"]\n1. f2f3 e7e5 2. g2g4 d8h4 0-1\n"
              "[Result \"1/2-1/2\"]\n1. d2d4 d7d5 2. c2c4 e7e6 1/2-1/2\n");
    const Outcome pos = Run([] { Game2Pos(gamePosition, "three.game", "three.pos"); });
    EXPECT_EQ(pos.printed,
              "Converting 3 games [  0%]...\b\b\b\b\b\b\b\b 33%]...\b\b\b\b\b\b\b\b 66%]...\b\b\b\b\b\b\b\b100%]..."
              "\tOK\nconverted: 3 games.\n");
    EXPECT_EQ(Lines(ReadFileBytes("three.pos")).size(), 7u + 4u + 4u);
}

TEST_F(ConvertersTest, EmptyGameFile) {
    WriteFileBytes("empty.game", "");
    const Outcome back = Run([] { Game2Pgn(gamePosition, "empty.game", "empty.pgn"); });
    EXPECT_EQ(back.printed, "Converting 0 games [  0%]...OK\nconverted: 0 games.\n");
    EXPECT_TRUE(fs::exists("empty.pgn"));
    EXPECT_EQ(ReadFileBytes("empty.pgn"), "");
    const Outcome pos = Run([] { Game2Pos(gamePosition, "empty.game", "empty.pos"); });
    EXPECT_EQ(pos.printed, "Converting 0 games [  0%]...\tOK\nconverted: 0 games.\n");
}

TEST_F(ConvertersTest, FilesThatCannotBeOpened) {
    WriteFileBytes("0.pos", "kept\n");
    EXPECT_EQ(Run([] { Pgn2Pos(gamePosition, "missing.pgn"); }).printed, "Cannot open PGN input file: 'missing.pgn'\n");
    EXPECT_EQ(ReadFileBytes("0.pos"), "kept\n") << "the input is opened first";
    EXPECT_EQ(ToGame("missing.pgn", "x.game").printed, "Cannot open PGN input file: 'missing.pgn'\n");
    EXPECT_FALSE(fs::exists("x.game"));
    EXPECT_EQ(Run([] { PgnList2Game(gamePosition, "missing.lst", "x.game"); }).printed,
              "Cannot open PGN input file: 'missing.lst'\n");
    WriteFileBytes("three.pgn", ThreeGames);
    EXPECT_EQ(ToGame("three.pgn", "no/such/dir.game").printed, "Cannot create GAME output file: 'no/such/dir.game'\n");
    EXPECT_EQ(Run([] { Game2Pgn(gamePosition, "missing.game", "x.pgn"); }).printed,
              "Cannot open GAME input file: 'missing.game'\n");
    EXPECT_EQ(Run([] { Game2Pos(gamePosition, "missing.game", "x.pos"); }).printed,
              "Cannot open GAME input file: 'missing.game'\n");
    ASSERT_EQ(ToGame("three.pgn", "three.game").error, "");
    EXPECT_EQ(Run([] { Game2Pgn(gamePosition, "three.game", "no/dir.pgn"); }).printed,
              "Cannot create PGN output file: 'no/dir.pgn'\n");
    EXPECT_EQ(Run([] { Game2Pos(gamePosition, "three.game", "no/dir.pos"); }).printed,
              "Cannot create DB output file: 'no/dir.pos'\n");

    // A POS file that cannot be created: the ones before it are already emptied.
    WriteFileBytes("0.pos", "old\n");
    WriteFileBytes("2.pos", "old\n");
    WriteFileBytes("5.pos", "old\n");
    fs::create_directory("3.pos");
    EXPECT_EQ(Run([] { Pgn2Pos(gamePosition, "three.pgn"); }).printed, "Cannot create POS output file: '3.pos'\n");
    EXPECT_EQ(ReadFileBytes("0.pos"), "");
    EXPECT_EQ(ReadFileBytes("2.pos"), "");
    EXPECT_EQ(ReadFileBytes("5.pos"), "old\n");
}

TEST_F(ConvertersTest, ErrorsKeepWhatWasConverted) {
    struct Damage {
        const char* name;
        std::string tail;
        const char* error;
    };
    const Damage damages[] = {
        {"no result tag", "[Event \"x\"]\n1. e4 e5 1-0\n", "Result Error 2"},
        {"bad result tag", "[Result \"2-0\"]\n1. e4 2-0\n", "Result Error 1"},
        {"wrong closing result", "[Result \"1/2-1/2\"]\n1. e4 e5 1/2-1/3\n", "wrong end result 1"},
        {"star in a decided game", "[Result \"1-0\"]\n1. e4 e5 *\n", "Result * error"},
        {"illegal move", "[Result \"1-0\"]\n1. e4 e5 2. Ke3 1-0\n", "MOVE NOT LEGAL 1"},
        {"revealed check", "[Result \"1-0\"]\n1. e4 d6 2. Bb5+ Nd7 3. a3 Nb6 1-0\n",
         "MOVE NOT LEGAL 2 - check revealed"},
        {"binary garbage", std::string("\x01\x02\xff\xfe garbage\x00\x7f", 14), "Result Error 2"},
    };
    for (const Damage& damage : damages) {
        SCOPED_TRACE(damage.name);
        WriteFileBytes("damaged.pgn", ThreeGames + std::string("\n") + damage.tail + "\n" + ThreeGames);
        fs::remove("damaged.game");
        log.Clear();
        const Outcome outcome = ToGame("damaged.pgn", "damaged.game");
        EXPECT_EQ(outcome.error, damage.error);
        const std::string report =
            std::string("converted: 3 games. (skipped: 0)\nERROR: ") + damage.error + " file: damaged.pgn\n";
        ASSERT_GE(outcome.printed.size(), report.size());
        EXPECT_EQ(outcome.printed.substr(outcome.printed.size() - report.size()), report);
        EXPECT_EQ(fs::file_size("damaged.game"), 16u + 10u + 10u) << "the three games before stay written";
        EXPECT_NE(log.Text().find(std::string("converted: 3\tskipped: 0\nERROR: ") + damage.error + "\n"),
                  std::string::npos)
            << log.Text();
        EXPECT_EQ(log.Text().find("<<< OK:"), std::string::npos);
        ExpectInitialPosition();

        // pgn2pos reports the same way and keeps the lines already written.
        const Outcome pos = Run([] { Pgn2Pos(gamePosition, "damaged.pgn"); });
        EXPECT_EQ(pos.error, damage.error);
        EXPECT_EQ(pos.printed.substr(pos.printed.size() - report.size()), report);
        size_t lines = 0;
        for (int i = 0; i < 16; ++i) {
            char name[8];
            std::snprintf(name, sizeof name, "%X.pos", i);
            lines += Lines(ReadFileBytes(name)).size();
        }
        EXPECT_EQ(lines, 15u);
        ExpectInitialPosition();
    }
}

TEST_F(ConvertersTest, GivenUpAndUnusualGames) {
    // A ';' comment gives its game up; the rest of that game then ends the file.
    WriteFileBytes("semicolon.pgn", std::string(ThreeGames) + "\n[Result \"1-0\"]\n1. e4 ; remark\ne5 1-0\n");
    const Outcome semicolon = ToGame("semicolon.pgn", "a.game");
    EXPECT_NE(semicolon.printed.find("move: ;, plyNo:2\nWarning: game 4 (skipped) file: semicolon.pgn\n"),
              std::string::npos)
        << semicolon.printed;
    EXPECT_EQ(semicolon.error, "Result Error 2");

    // A huge tag line is skipped; an unfinished game is skipped and the next read.
    WriteFileBytes("unusual.pgn", "[Event \"" + std::string(3000, 'e') + "\"]\n" + ThreeGames +
                                      "\n[Result \"*\"]\n1. c4 c5 *\n\n[Result \"1-0\"]\n1. b3 e5 1-0\n");
    const Outcome unusual = ToGame("unusual.pgn", "b.game");
    EXPECT_EQ(unusual.error, "");
    EXPECT_EQ(unusual.printed,
              "Warning: game 4 (skipped) file: unusual.pgn\n"
              "converted: 4 games. (skipped: 1)\nfile: unusual.pgn \t\tfinished\n");

    // A file cut inside its movetext keeps the moves read; one cut inside a
    // token gives that game up.
    WriteFileBytes("cut.pgn", std::string(ThreeGames) + "\n[Result \"1-0\"]\n1. e4 e5 2. Nf3 N");
    const Outcome cut = ToGame("cut.pgn", "c.game");
    EXPECT_EQ(cut.error, "");
    EXPECT_NE(cut.printed.find("move: N, plyNo:4\nWarning: game 4 (skipped) file: cut.pgn\n"), std::string::npos);
    WriteFileBytes("cut2.pgn", std::string(ThreeGames) + "\n[Result \"1-0\"]\n1. e4 e5 2. Nf3");
    EXPECT_NE(ToGame("cut2.pgn", "d.game").printed.find("converted: 4 games. (skipped: 0)"), std::string::npos);
    WriteFileBytes("cut3.pgn", std::string(ThreeGames) + "\n[Result \"1-0\"]\n[Eve");
    const Outcome cutTags = ToGame("cut3.pgn", "e.game");
    EXPECT_EQ(cutTags.error, "");
    EXPECT_NE(cutTags.printed.find("Warning: game 4 (skipped)"), std::string::npos);
    ExpectInitialPosition();
}

TEST_F(ConvertersTest, ListOfPgnFiles) {
    WriteFileBytes("three.pgn", ThreeGames);
    WriteFileBytes("list.txt", "three.pgn\nthree.pgn\n");
    const Outcome listed = Run([] { PgnList2Game(gamePosition, "list.txt", "list.game"); });
    EXPECT_EQ(listed.error, "");
    EXPECT_EQ(listed.printed,
              "converted: 3 games. (skipped: 0)\nfile: three.pgn \t\tfinished\n"
              "Warning: game 1 (skipped) file: three.pgn\nWarning: game 2 (skipped) file: three.pgn\n"
              "Warning: game 3 (skipped) file: three.pgn\n"
              "converted: 0 games. (skipped: 3)\nfile: three.pgn \t\tfinished\n"
              "Cannot open PGN input file: ''\n"
              "\nCONVERTED GAMES: 3\n");
    EXPECT_EQ(fs::file_size("list.game"), 36u);

    // An error ends the list: no later file, no total.
    WriteFileBytes("bad.pgn", "[Event \"x\"]\n1. e4 1-0\n");
    WriteFileBytes("other.pgn", "[Result \"1-0\"]\n1. h4 1-0\n");
    WriteFileBytes("list2.txt", "bad.pgn\nother.pgn");
    const Outcome stopped = Run([] { PgnList2Game(gamePosition, "list2.txt", "list2.game"); });
    EXPECT_EQ(stopped.error, "Result Error 2");
    EXPECT_EQ(stopped.printed, "converted: 0 games. (skipped: 0)\nERROR: Result Error 2 file: bad.pgn\n");

    // A line longer than 254 characters is used cut, and ends the list.
    WriteFileBytes("list3.txt", std::string(300, 'a') + "\nthree.pgn\n");
    const Outcome longLine = Run([] { PgnList2Game(gamePosition, "list3.txt", "list3.game"); });
    EXPECT_EQ(longLine.printed, "Cannot open PGN input file: '" + std::string(254, 'a') + "'\n\nCONVERTED GAMES: 0\n");
}

TEST_F(ConvertersTest, ListWithCrlfLineEnds) {
    WriteFileBytes("three.pgn", ThreeGames);
    WriteFileBytes("other.pgn", "[Result \"1-0\"]\n1. h4 1-0\n");
    WriteFileBytes("list.txt", "three.pgn\r\nother.pgn\r\n");
    const Outcome listed = Run([] { PgnList2Game(gamePosition, "list.txt", "list.game"); });
    EXPECT_EQ(listed.error, "");
    EXPECT_EQ(listed.printed,
              "converted: 3 games. (skipped: 0)\nfile: three.pgn \t\tfinished\n"
              "converted: 1 games. (skipped: 0)\nfile: other.pgn \t\tfinished\n"
              "Cannot open PGN input file: ''\n"
              "\nCONVERTED GAMES: 4\n");
}

TEST_F(ConvertersTest, CorruptGameFiles) {
    WriteFileBytes("three.pgn", ThreeGames);
    ASSERT_EQ(ToGame("three.pgn", "good.game").error, "");
    const std::string good = ReadFileBytes("good.game");
    struct Corruption {
        const char* name;
        std::string bytes;
        int badGame;
    };
    const Corruption corruptions[] = {
        {"cut inside the last record", good.substr(0, good.size() - 3), 3},
        {"result bits 00", good.substr(0, 16) + std::string("\x02\x00\x24\x0d\x14\x03", 6) + good.substr(16), 2},
        {"more than 1023 plies", std::string("\x00\x84", 2) + std::string(2048, '\x24'), 1},
        {"cut header only before", good + std::string("\x05\x80\x24", 3), 4},
    };
    for (const Corruption& c : corruptions) {
        SCOPED_TRACE(c.name);
        WriteFileBytes("bad.game", c.bytes);
        const std::string message = "Game file corrupted! (error on game: " + std::to_string(c.badGame) + ")";
        const Outcome back = Run([] { Game2Pgn(gamePosition, "bad.game", "bad.pgn"); });
        EXPECT_EQ(back.printed, message);
        EXPECT_EQ(ReadFileBytes("bad.pgn"), "");
        EXPECT_EQ(Run([] { Game2Pos(gamePosition, "bad.game", "bad.pos"); }).printed, message);
        EXPECT_EQ(ReadFileBytes("bad.pos"), "");
    }
    // A single trailing byte: the complete records are converted.
    WriteFileBytes("tail.game", good + "\x07");
    EXPECT_EQ(Run([] { Game2Pgn(gamePosition, "tail.game", "tail.pgn"); }).printed,
              Progress(3) + "OK\nconverted: 3 games.\n");
    // Well-formed records with moves the position does not allow.
    std::string garbage = good;
    garbage[16 + 2] = '\x3f';  // first move of the second game: from a8 to h1 and so on
    garbage[16 + 3] = '\x00';
    WriteFileBytes("garbage.game", garbage);
    const Outcome refused = Run([] { Game2Pos(gamePosition, "garbage.game", "garbage.pos"); });
    EXPECT_EQ(refused.printed,
              "Converting 3 games [  0%]...\b\b\b\b\b\b\b\b 33%]...ERROR: MOVE NOT LEGAL 1\n"
              "converted: 1 games.\n");
    EXPECT_EQ(Lines(ReadFileBytes("garbage.pos")).size(), 7u + 1u);
    ExpectInitialPosition();
    // game2pgn writes the words as they are, without a position.
    EXPECT_EQ(Run([] { Game2Pgn(gamePosition, "garbage.game", "garbage.pgn"); }).printed,
              Progress(3) + "OK\nconverted: 3 games.\n");
    // Random bytes: whatever is reported, nothing is read beyond the data.
    uint32_t seed = 77;
    for (int round = 0; round < 40; ++round) {
        std::string bytes(static_cast<size_t>(round * 3), '\0');
        for (char& b : bytes) {
            seed = seed * 1664525u + 1013904223u;
            b = static_cast<char>(seed >> 24);
        }
        WriteFileBytes("random.game", bytes);
        Run([] { Game2Pos(gamePosition, "random.game", "random.pos"); });
        Run([] { Game2Pgn(gamePosition, "random.game", "random.pgn"); });
        WriteFileBytes("random.pgn", bytes);
        ToGame("random.pgn", "random2.game");
        ExpectInitialPosition();
    }
}

TEST_F(ConvertersTest, DuplicateTestMeetsWrongResult) {
    WriteFileBytes("three.pgn", ThreeGames);
    WriteFileBytes("other.pgn", "[Result \"1-0\"]\n1. h4 1-0\n");
    ASSERT_EQ(ToGame("three.pgn", "dup.game").error, "");
    WriteFileBytes("dup.game", ReadFileBytes("dup.game") + std::string("\x01\x00\x24\x0d", 4));
    // A game found before the bad record is skipped without an error.
    const Outcome found = ToGame("three.pgn", "dup.game");
    EXPECT_EQ(found.error, "");
    const Outcome other = ToGame("other.pgn", "dup.game");
    EXPECT_EQ(other.error, "WRONG RESULT");
    EXPECT_EQ(other.printed, "converted: 0 games. (skipped: 0)\nERROR: WRONG RESULT file: other.pgn\n");
}

// Through the engine: an error that a converter passes on is reported, and the
// command loop goes on with the next command.
TEST(ConvertersInTheEngine, LoopGoesOnAfterAConversionError) {
    test::EngineProcess engine{KAVRIN_BINARY};
    engine.WriteEmptyBooks();
    engine.WriteFile("bad.pgn", std::string(ThreeGames) + "\n[Event \"x\"]\n1. e4 1-0\n");
    engine.WriteFile("good.pgn", "[Result \"1-0\"]\n1. h4 1-0\n");
    ASSERT_TRUE(engine.Start());
    ASSERT_TRUE(engine.Greet());
    engine.Send("pgn2game bad.pgn out.game\n");
    ASSERT_TRUE(engine.WaitFor("converted: 3 games. (skipped: 0)\nERROR: Result Error 2 file: bad.pgn\n", 10000))
        << engine.Output();
    engine.Send("pgn2game good.pgn out.game\n");
    ASSERT_TRUE(engine.WaitFor("converted: 1 games. (skipped: 0)\nfile: good.pgn \t\tfinished\n", 10000))
        << engine.Output();
    engine.Send("game2pgn out.game back.pgn\n");
    ASSERT_TRUE(engine.WaitFor("100%]...OK\nconverted: 4 games.\n", 10000)) << engine.Output();
    engine.Send("quit\n");
    ASSERT_TRUE(engine.ExitsNormally(10000));
    EXPECT_EQ(engine.ReadFile("back.pgn").substr(0, 15), "[Result \"1-0\"]\n");
    const std::string log = engine.Log();
    EXPECT_NE(log.find("::cmd:: pgn2game\n"), std::string::npos);
    EXPECT_NE(log.find("converted: 3\tskipped: 0\nERROR: Result Error 2\n"), std::string::npos) << log;
    EXPECT_NE(log.find("<<< OK:\tgood.pgn\t>>>\n"), std::string::npos) << log;
}

}  // namespace
}  // namespace kavrin
