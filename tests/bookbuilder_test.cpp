// kavrin-book end to end: the same bytes on every road (today's, every
// sample in memory, against bounded memory with many runs, several threads,
// compressed input and standard input, and two shards merged), the selection
// options, and bad input: a clear message, a non-zero exit and nothing left
// in the output folder.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <filesystem>
#include <string>
#include <vector>

#include "book/game_chunks.h"
#include "support/files.h"

namespace kavrin::test {
namespace {

const char* const OutputFiles[] = {"bookwtm.mbx", "bookwtm.mbk", "bookbtm.mbx", "bookbtm.mbk", "kavrin.bin"};
// With --memory 256K kavrin-book merges 8 runs at once: these games make
// more, which are merged into runs first.
constexpr int ManyRunsGames = 600;
constexpr int FanInOfTheLeastMemory = 8;

std::string Game(const std::string& moves, const std::string& result, const std::string& tags = "") {
    return "[Event \"Builder\"]\n" + tags + "[Result \"" + result + "\"]\n\n" + moves + " " + result + "\n\n";
}

class BookBuilder : public InScratchFolder {
  protected:
    // Runs kavrin-book with the arguments after the shell words before;
    // its exit status, its output in Output().
    int Run(const std::string& args, const std::string& before = "") {
        const std::string command = before + " '" KAVRIN_BOOK_BINARY "' " + args + " >'" + Folder() + "/run.out' 2>&1";
        const int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::string Output() const { return ReadFileBytes(Folder() + "/run.out"); }

    // The five files of a book, each behind its name; a missing one is empty.
    static std::string Books(const std::string& folder) {
        std::string all;
        for (const char* name : OutputFiles) all += std::string(name) + ":" + ReadFileBytes(folder + "/" + name) + "\n";
        return all;
    }
    // Whether folder holds nothing at all (it may be missing).
    static bool HoldsNothing(const std::string& folder) {
        std::error_code error;
        return !std::filesystem::exists(folder, error) || std::filesystem::is_empty(folder, error);
    }
    void ExpectEveryRoadWritesTheBytesOfTheInMemoryRoad(const std::string& pgn);
    static std::string Generate(int count, int seed, const std::string& name) {
        const std::string command =
            "'" KAVRIN_GAMES_BINARY "' " + std::to_string(count) + " " + std::to_string(seed) + " >'" + name + "'";
        EXPECT_EQ(std::system(command.c_str()), 0);
        return name;
    }
};

// Every road against the in-memory one on the collection: bounded memory
// with many runs, one and two threads, compressed input, standard input, two
// shards merged.
void BookBuilder::ExpectEveryRoadWritesTheBytesOfTheInMemoryRoad(const std::string& pgn) {
    {
        SCOPED_TRACE(pgn);
        ASSERT_EQ(Run("--in-memory --threads 1 '" + pgn + "' reference"), 0) << Output();
        const std::string reference = Books("reference");
        ASSERT_GT(ReadFileBytes("reference/kavrin.bin").size(), 0u);

        // The collection compressed, and cut into two shards at a game start.
        const std::string text = ReadFileBytes(pgn);
        WriteFileBytes("games.pgn.zst", ZstdBytes(text));
        WriteFileBytes("games.pgn.gz", GzipBytes(text));
        const size_t half = NextGameStart(text.data(), text.size() / 2, text.size());
        ASSERT_LT(half, text.size());
        WriteFileBytes("first.pgn", text.substr(0, half));
        WriteFileBytes("second.pgn", text.substr(half));

        const struct {
            const char* steps[3];  // run one after the other; the books land in "out"
        } roads[] = {
            {{"--memory 256K --threads 1 '" KAVRIN_SOURCE_DIR "/PGN' out"}},
            {{"--memory 256K --threads 2 '" KAVRIN_SOURCE_DIR "/PGN' out"}},
            {{"--threads 2 '" KAVRIN_SOURCE_DIR "/PGN' out"}},
            {{"--memory 256K --threads 2 games.pgn.zst out"}},
            {{"--memory 512K --threads 1 games.pgn.gz out"}},
            {{"--memory 256K --temp . - out < games.pgn.zst"}},
            {{"runs --memory 256K --threads 1 first.pgn shard1", "runs --threads 2 second.pgn shard2",
              "merge --memory 256K shard1 shard2 out"}},
        };
        for (const auto& road : roads) {
            std::filesystem::remove_all("out");
            std::filesystem::remove_all("shard1");
            std::filesystem::remove_all("shard2");
            for (const char* step : road.steps) {
                if (step == nullptr) break;
                std::string args = step;
                const size_t at = args.find(KAVRIN_SOURCE_DIR "/PGN");
                if (at != std::string::npos) args.replace(at, std::string(KAVRIN_SOURCE_DIR "/PGN").size(), pgn);
                SCOPED_TRACE(args);
                ASSERT_EQ(Run(args), 0) << Output();
            }
            EXPECT_TRUE(Books("out") == reference) << road.steps[0];
            // Nothing of the work is left beside the books.
            EXPECT_EQ(std::distance(std::filesystem::directory_iterator("out"), {}), 5) << road.steps[0];
        }
        // Runs are merged into runs first.
        ASSERT_EQ(Run("--memory 256K --threads 1 '" + pgn + "' out"), 0);
        const std::string out = Output();
        const size_t runs = out.rfind(" runs)");
        ASSERT_NE(runs, std::string::npos) << out;
        EXPECT_GT(std::stoi(out.substr(out.rfind(' ', runs - 1) + 1)), FanInOfTheLeastMemory) << out;
    }
}

TEST_F(BookBuilder, EveryRoadWritesTheBytesOfTheInMemoryRoadOnTheShippedCollection) {
    ExpectEveryRoadWritesTheBytesOfTheInMemoryRoad(KAVRIN_SOURCE_DIR "/data/book-games.pgn");
}

TEST_F(BookBuilder, EveryRoadWritesTheBytesOfTheInMemoryRoadOnGeneratedGames) {
    ExpectEveryRoadWritesTheBytesOfTheInMemoryRoad(Generate(ManyRunsGames, 3, "many.pgn"));
}

TEST_F(BookBuilder, SelectionOptionsChooseGamesPositionsAndPlies) {
    const std::string strong = "[WhiteElo \"2500\"]\n[BlackElo \"2400\"]\n";
    std::string lines, rated;
    for (int i = 0; i < 3; i++) lines += Game("1. e4 e5 2. Nf3 Nc6", "1-0", strong);
    for (int i = 0; i < 2; i++) lines += Game("1. d4 d5 2. c4 e6", "0-1", strong);
    rated = lines;
    // Games that --min-elo 2400 leaves out: a player below it, a rating
    // missing or unknown.
    lines += Game("1. c4 c5", "1-0", "[WhiteElo \"2399\"]\n[BlackElo \"2600\"]\n");
    lines += Game("1. Nf3 Nf6", "1-0", "[WhiteElo \"2500\"]\n");
    lines += Game("1. b3 b6", "0-1", "[WhiteElo \"2500\"]\n[BlackElo \"?\"]\n");
    WriteFileBytes("all.pgn", lines);
    WriteFileBytes("rated.pgn", rated);

    ASSERT_EQ(Run("--min-elo 2400 all.pgn selected"), 0) << Output();
    EXPECT_NE(Output().find("left out: 3 games below the rating 2400"), std::string::npos) << Output();
    ASSERT_EQ(Run("rated.pgn expected"), 0) << Output();
    EXPECT_TRUE(Books("selected") == Books("expected"));

    const struct {
        const char* options;
        const char* line;
    } cases[] = {
        // After 1. e4 and 1. e4 e5 2. Nf3 for Black to move; 1. d4 d5 for White.
        {"", "book records: 2 in bookbtm, 1 in bookwtm;"},
        // 1. d4 d5 was played in two games only.
        {"--min-games 3", "book records: 2 in bookbtm, 0 in bookwtm;"},
        // The positions before the first three moves of two openings.
        {"--max-ply 3", "positions: 2 with black to move, 3 with white to move"},
        {"--max-ply 1", "positions: 0 with black to move, 1 with white to move"},
    };
    for (const auto& c : cases) {
        std::filesystem::remove_all("out");
        ASSERT_EQ(Run(std::string(c.options) + " rated.pgn out"), 0) << c.options << Output();
        EXPECT_NE(Output().find(c.line), std::string::npos) << c.options << "\n" << Output();
    }
}

TEST_F(BookBuilder, GamesTheReaderCannotReadAreSkippedAndCountedOnEveryThread) {
    std::string pgn;
    pgn += Game("1. e4 e5", "1-0");
    pgn += Game("1. d4 d5", "*");  // unfinished: no result to count
    pgn += Game("", "1-0");        // no moves
    pgn += Game("1. c4 c5", "0-1");
    WriteFileBytes("games.pgn", pgn);
    for (const char* threads : {"1", "2"}) {
        std::filesystem::remove_all("out");
        ASSERT_EQ(Run(std::string("--threads ") + threads + " games.pgn out"), 0) << Output();
        const std::string out = Output();
        EXPECT_NE(out.find("Warning: game 2 (skipped) file: games.pgn"), std::string::npos) << out;
        EXPECT_NE(out.find("Warning: game 3 (skipped) file: games.pgn"), std::string::npos) << out;
        EXPECT_NE(out.find("converted: 2 games. (skipped: 2)"), std::string::npos) << out;
    }
}

TEST_F(BookBuilder, BadInputStopsWithAClearMessageAndLeavesNoBook) {
    const std::string text = ReadFileBytes(Generate(3000, 7, "games.pgn"));
    const std::string zstd = ZstdBytes(text);
    const std::string gzip = GzipBytes(text);
    WriteFileBytes("cut.pgn.zst", zstd.substr(0, zstd.size() / 2));
    WriteFileBytes("cut.pgn.gz", gzip.substr(0, gzip.size() / 2));
    std::string damaged = zstd;
    for (size_t i = damaged.size() / 3; i < damaged.size() / 3 + 64; i++) damaged[i] = static_cast<char>(~damaged[i]);
    WriteFileBytes("damaged.pgn.zst", damaged);
    WriteFileBytes("illegal.pgn", Game("1. e4 e5", "1-0") + Game("1. e4 e4", "1-0"));
    std::filesystem::create_directory("runs-cut");
    ASSERT_EQ(Run("runs --memory 256K games.pgn runs-good"), 0) << Output();
    ASSERT_EQ(Run("runs --max-ply 10 games.pgn runs-other"), 0) << Output();
    const std::string run = ReadFileBytes("runs-good/positions-000001.run");
    WriteFileBytes("runs-cut/positions-000001.run", run.substr(0, run.size() - 3));
    std::filesystem::create_directory("runs-foreign");
    WriteFileBytes("runs-foreign/positions-000001.run", "not a run at all");
    std::filesystem::create_directory("runs-long");
    WriteFileBytes("runs-long/positions-000001.run", run + "x");
    std::filesystem::create_directory("runs-none");

    const struct {
        const char* before;  // shell words before the program
        const char* args;    // the books would go to out
        int status;
        const char* message;
    } cases[] = {
        {"", "cut.pgn.zst out", 1, "cut.pgn.zst is cut short"},
        {"", "cut.pgn.gz out", 1, "cut.pgn.gz is cut short"},
        {"", "damaged.pgn.zst out", 1, "damaged.pgn.zst is damaged: zstd says"},
        {"", "missing.pgn out", 1, "cannot open 'missing.pgn'"},
        {"", "--temp /nonexistent/folder games.pgn out", 1, "cannot make a folder in '/nonexistent/folder'"},
        // A full disk while the runs are written: a limit on the size of a file.
        {"ulimit -f 64;", "--memory 256K games.pgn out", 1, "File too large"},
        {"", "illegal.pgn out", 1, "the games cannot be read: MOVE NOT LEGAL 1"},
        {"", "merge runs-cut out", 1, "is cut short"},
        {"", "merge runs-foreign out", 1, "is damaged: it is not a run of this kind"},
        {"", "merge runs-long out", 1, "is damaged: bytes follow its end"},
        {"", "merge runs-none out", 1, "'runs-none' holds no runs"},
        {"", "merge runs-good runs-other out", 1, "was made with other --max-ply or --min-elo settings"},
        {"", "runs games.pgn runs-good", 1, "already holds runs"},
        {"", "--memory 255K games.pgn out", 2, "--memory takes a size of 256K or more"},
        {"", "--threads 0 games.pgn out", 2, "--threads takes 1 to 256"},
        {"", "--max-ply 256 games.pgn out", 2, "--max-ply takes 1 to 255"},
        {"", "--colour white games.pgn out", 2, "unknown option --colour"},
    };
    for (const auto& c : cases) {
        std::filesystem::remove_all("out");
        EXPECT_EQ(Run(c.args, c.before), c.status) << c.args << "\n" << Output();
        EXPECT_NE(Output().find(c.message), std::string::npos) << c.args << "\n" << Output();
        EXPECT_TRUE(HoldsNothing("out")) << c.args;
    }
}

}  // namespace
}  // namespace kavrin::test
