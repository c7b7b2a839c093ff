// Conversion speed: pgn2game, game2pgn and game2pos on a file of random legal
// games written in SAN (random_games.h), and pgn2game on growing prefixes of
// it to show that the duplicate test keeps the conversion linear in the
// number of games.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "bench.h"
#include "board/board.h"
#include "notation/converters.h"
#include "random_games.h"
#include "system/clock.h"

namespace kavrin::bench {

namespace {

constexpr int BenchGames = 10000;
constexpr unsigned BenchSeed = 20240101;
constexpr int PrefixSizes[] = {2500, 5000, 10000};

// Milliseconds of one call, with its standard output sent to /dev/null.
template <typename Call>
long TimeQuietly(Call call) {
    std::fflush(stdout);
    const int saved = dup(1);
    std::FILE* sink = std::freopen("/dev/null", "w", stdout);
    const long start = ClockMs();
    call();
    const long elapsed = ClockMs() - start;
    std::fflush(stdout);
    if (sink != nullptr && saved >= 0) dup2(saved, 1);
    if (saved >= 0) close(saved);
    return elapsed;
}

double PerSecond(int games, long ms) { return ms > 0 ? games * 1000.0 / static_cast<double>(ms) : 0.0; }

}  // namespace

void RunConvertBench() {
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("kavrin_convert_bench_" + std::to_string(getpid()));
    fs::create_directories(dir);

    // 1. The games, and prefixes of them for the growth figures.
    RandomGameWriter games(BenchSeed);
    std::string all;
    for (int g = 1; g <= BenchGames; ++g) {
        all += games.Next();
        for (const int size : PrefixSizes) {
            if (g == size) {
                std::ofstream((dir / ("games" + std::to_string(size) + ".pgn")).string()) << all;
            }
        }
    }
    const std::string pgn = (dir / ("games" + std::to_string(BenchGames) + ".pgn")).string();
    const std::string game = (dir / "games.game").string();
    const std::string back = (dir / "back.pgn").string();
    const std::string pos = (dir / "games.pos").string();

    // 2. The three conversions of the full file, replayed on a board of their own.
    const auto board = std::make_unique<Position>();
    int total = 0;
    const long pgnMs = TimeQuietly([&] { Pgn2Game(*board, pgn.c_str(), game.c_str(), total); });
    const long backMs = TimeQuietly([&] { Game2Pgn(*board, game.c_str(), back.c_str()); });
    const long posMs = TimeQuietly([&] { Game2Pos(*board, game.c_str(), pos.c_str()); });
    std::printf("convert: %d games in SAN (%ld bytes), %d stored\n", BenchGames, static_cast<long>(all.size()), total);
    std::printf("convert: pgn2game  %6ld ms  %9.0f games/s\n", pgnMs, PerSecond(total, pgnMs));
    std::printf("convert: game2pgn  %6ld ms  %9.0f games/s\n", backMs, PerSecond(total, backMs));
    std::printf("convert: game2pos  %6ld ms  %9.0f games/s\n", posMs, PerSecond(total, posMs));

    // 3. pgn2game into a fresh GAME file for each prefix: time per game stays flat.
    for (const int size : PrefixSizes) {
        const std::string prefix = (dir / ("games" + std::to_string(size) + ".pgn")).string();
        const std::string target = (dir / ("prefix" + std::to_string(size) + ".game")).string();
        int written = 0;
        const long ms = TimeQuietly([&] { Pgn2Game(*board, prefix.c_str(), target.c_str(), written); });
        std::printf("convert: pgn2game %6d games  %6ld ms  %7.1f us/game\n", written, ms,
                    written > 0 ? ms * 1000.0 / written : 0.0);
    }

    // 4. The same file again: every game is found by the duplicate test.
    int again = 0;
    const long againMs = TimeQuietly([&] { Pgn2Game(*board, pgn.c_str(), game.c_str(), again); });
    std::printf("convert: pgn2game again  %6ld ms  %d new games\n", againMs, again);

    std::error_code ignored;
    fs::remove_all(dir, ignored);
}

}  // namespace kavrin::bench
