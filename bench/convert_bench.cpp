// Conversion speed: pgn2game, game2pgn and game2pos on a file of random legal
// games written in SAN, and pgn2game on growing prefixes of it to show that
// the duplicate test keeps the conversion linear in the number of games.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "bench.h"
#include "board/board.h"
#include "board/fen.h"
#include "board/legal.h"
#include "board/makemove.h"
#include "board/movegen.h"
#include "notation/converters.h"
#include "search/game.h"
#include "system/clock.h"

namespace kavrin::bench {

namespace {

constexpr int BenchGames = 10000;
constexpr unsigned BenchSeed = 20240101;
constexpr int PrefixSizes[] = {2500, 5000, 10000};

// The position the games are played on.
Position generator;

// Legal moves of the generator's position into list; returns their number.
int LegalMoves(Move* list) {
    MoveEntry moves[MaxGeneratedMoves];
    const MoveEntry* end = GenerateLegalMoves(generator, moves);
    int n = 0;
    for (const MoveEntry* e = moves; e != end; ++e) list[n++] = e->move;
    return n;
}

void AppendSquare(std::string& out, int s) {
    out += static_cast<char>('a' + (s & 7));
    out += static_cast<char>('8' - (s >> 3));
}

// SAN of m among the legal moves, with the disambiguation a reader needs.
std::string SanOf(Move m, const Move* legal, int count) {
    const int kind = MoveKindOf(m);
    if (kind == WhiteCastleKing || kind == BlackCastleKing) return "O-O";
    if (kind == WhiteCastleQueen || kind == BlackCastleQueen) return "O-O-O";
    const int from = MoveFrom(m);
    const int to = MoveTo(m);
    const int piece = generator.board.pieceOn[from];
    const bool capture = IsCaptureKind(kind);
    std::string out;
    if (piece == WhitePawn || piece == BlackPawn) {
        if (capture) {
            out += static_cast<char>('a' + (from & 7));
            out += 'x';
        }
        AppendSquare(out, to);
        if (IsPromotion(m)) {
            out += '=';
            out += "QNRB"[(kind - PromoteQueen) & 3];
        }
        return out;
    }
    out += " PNBRQK"[(piece + 1) / 2];
    bool sameFile = false, sameRank = false, other = false;
    for (int i = 0; i < count; ++i) {
        const Move o = legal[i];
        if (o == m || MoveTo(o) != to || generator.board.pieceOn[MoveFrom(o)] != piece) continue;
        other = true;
        if ((MoveFrom(o) & 7) == (from & 7)) sameFile = true;
        if ((MoveFrom(o) >> 3) == (from >> 3)) sameRank = true;
    }
    if (other) {
        if (!sameFile)
            out += static_cast<char>('a' + (from & 7));
        else if (!sameRank)
            out += static_cast<char>('8' - (from >> 3));
        else
            AppendSquare(out, from);
    }
    if (capture) out += 'x';
    AppendSquare(out, to);
    return out;
}

// One random legal game as PGN text; the generator returns to the initial
// position.
std::string RandomGame(std::mt19937& rng, int number) {
    static const char* const Results[] = {"1-0", "0-1", "1/2-1/2"};
    const char* result = Results[rng() % 3];
    const int length = 20 + static_cast<int>(rng() % 140);
    std::string text = "[Event \"Bench\"]\n[Round \"" + std::to_string(number) + "\"]\n[Result \"" + result + "\"]\n\n";
    Move legal[MaxGeneratedMoves];
    Move played[MaxGamePlies + 1];
    static UndoRecord undo[MaxGamePlies + 1];
    int plies = 0;
    while (plies < length) {
        const int count = LegalMoves(legal);
        if (count == 0) break;
        const Move m = legal[rng() % static_cast<unsigned>(count)];
        if (plies % 2 == 0) text += std::to_string(plies / 2 + 1) + ". ";
        text += SanOf(m, legal, count);
        ++plies;
        SaveForMake(generator, undo[plies]);
        MakeMove(generator, m, undo[plies]);
        CheckInfo check;
        ComputeCheckers(generator, check);
        if (check.checkers != 0) text += '+';
        text += (plies % 16 == 0) ? '\n' : ' ';
        played[plies] = m;
    }
    for (int i = plies; i >= 1; --i) UnmakeMove(generator, played[i], undo[i]);
    text += result;
    text += "\n\n";
    return text;
}

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
    ReadFen(generator, InitialFen);
    std::mt19937 rng(BenchSeed);
    std::string all;
    for (int g = 1; g <= BenchGames; ++g) {
        all += RandomGame(rng, g);
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

    // 2. The three conversions of the full file.
    int total = 0;
    const long pgnMs = TimeQuietly([&] { Pgn2Game(gamePosition, pgn.c_str(), game.c_str(), total); });
    const long backMs = TimeQuietly([&] { Game2Pgn(gamePosition, game.c_str(), back.c_str()); });
    const long posMs = TimeQuietly([&] { Game2Pos(gamePosition, game.c_str(), pos.c_str()); });
    std::printf("convert: %d games in SAN (%ld bytes), %d stored\n", BenchGames, static_cast<long>(all.size()), total);
    std::printf("convert: pgn2game  %6ld ms  %9.0f games/s\n", pgnMs, PerSecond(total, pgnMs));
    std::printf("convert: game2pgn  %6ld ms  %9.0f games/s\n", backMs, PerSecond(total, backMs));
    std::printf("convert: game2pos  %6ld ms  %9.0f games/s\n", posMs, PerSecond(total, posMs));

    // 3. pgn2game into a fresh GAME file for each prefix: time per game stays flat.
    for (const int size : PrefixSizes) {
        const std::string prefix = (dir / ("games" + std::to_string(size) + ".pgn")).string();
        const std::string target = (dir / ("prefix" + std::to_string(size) + ".game")).string();
        int written = 0;
        const long ms = TimeQuietly([&] { Pgn2Game(gamePosition, prefix.c_str(), target.c_str(), written); });
        std::printf("convert: pgn2game %6d games  %6ld ms  %7.1f us/game\n", written, ms,
                    written > 0 ? ms * 1000.0 / written : 0.0);
    }

    // 4. The same file again: every game is found by the duplicate test.
    int again = 0;
    const long againMs = TimeQuietly([&] { Pgn2Game(gamePosition, pgn.c_str(), game.c_str(), again); });
    std::printf("convert: pgn2game again  %6ld ms  %d new games\n", againMs, again);

    std::error_code ignored;
    fs::remove_all(dir, ignored);
}

}  // namespace kavrin::bench
