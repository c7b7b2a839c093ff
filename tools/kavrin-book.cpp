// kavrin-book: Kavrin's opening book from a game collection of any size.
//
//   kavrin-book [OPTIONS] GAMES OUTDIR            the books from the games
//   kavrin-book runs [OPTIONS] GAMES OUTDIR       a shard's sorted runs only
//   kavrin-book merge [OPTIONS] RUNDIR... OUTDIR  the books from shards' runs
//
// GAMES is a PGN file, plain or compressed with zstd or gzip, or "-" for
// standard input. Writes bookwtm.mbx, bookwtm.mbk, bookbtm.mbx and
// bookbtm.mbk, byte for byte what pgn2pos, sorting, dbcreate and bookcreate
// make of the same games, and kavrin.bin, the same book as a Polyglot book;
// the same bytes whatever the memory, the threads and the shards. Standard
// output carries the reader's report and the summary, standard error the
// progress. Exit status: 0 done, 1 failure, 2 usage, 3 two positions share a
// key (tools/build-book then takes the workbench road).
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "board/tables.h"
#include "book/book.h"
#include "book/book_builder.h"
#include "book/posdb.h"
#include "notation/posfile.h"
#include "system/clock.h"

namespace {

using namespace kavrin;

constexpr int ExitFailure = 1;
constexpr int ExitUsage = 2;
constexpr int ExitKeyCollision = 3;

constexpr const char* Usage =
    "usage: kavrin-book [OPTIONS] GAMES OUTDIR\n"
    "       kavrin-book runs [OPTIONS] GAMES OUTDIR\n"
    "       kavrin-book merge [OPTIONS] RUNDIR... OUTDIR\n"
    "GAMES: a PGN file (.pgn, .pgn.zst, .pgn.gz) or - for standard input\n"
    "  --memory SIZE   memory for the positions, 256K at least (default 1G; 512M, 4G)\n"
    "  --temp DIR      where the runs are written (default OUTDIR)\n"
    "  --threads N     threads reading the games (default: the machine's cores)\n"
    "  --min-elo N     only games whose players are both rated N or more\n"
    "  --min-games N   a position enters the books when seen in N games or more (default 1)\n"
    "  --max-ply N     the positions before moves 1 to N of every game (default 64, at most 255)\n"
    "  --in-memory     every position in memory, however many (no runs)\n";

int UsageError(const std::string& why) {
    if (!why.empty()) std::fprintf(stderr, "kavrin-book: %s\n", why.c_str());
    std::fprintf(stderr, "%s", Usage);
    return ExitUsage;
}

// A whole number within [least, most].
bool ParseNumber(const char* text, uint64_t least, uint64_t most, uint64_t& value) {
    if (*text < '0' || *text > '9') return false;
    char* end = nullptr;
    errno = 0;
    const unsigned long long v = std::strtoull(text, &end, 10);
    if (errno != 0 || *end != '\0' || v < least || v > most) return false;
    value = v;
    return true;
}

// A size in bytes: a number with K, M or G (powers of 1024) or none.
bool ParseSize(const char* text, uint64_t& bytes) {
    std::string digits = text;
    int shift = 0;
    if (!digits.empty()) {
        const char unit = digits.back();
        shift = unit == 'K' || unit == 'k' ? 10 : unit == 'M' || unit == 'm' ? 20 : unit == 'G' || unit == 'g' ? 30 : 0;
        if (shift != 0) digits.pop_back();
    }
    uint64_t n;
    if (!ParseNumber(digits.c_str(), 1, uint64_t{1} << 40, n)) return false;
    bytes = n << shift;
    return true;
}

// The first signal asks the work to stop and clean up; a second one ends
// the program at once.
void OnSignal(int signal) {
    bookBuildInterrupted.store(true);
    std::signal(signal, SIG_DFL);
}

void PrintSummary(const BuildResult& r) {
    for (int side = 0; side < 2; side++) {
        const double* s = r.report.sums[side];
        std::printf("%s: %f\n", BookBaseNames[side], WhiteScore(s[0], s[1], s[2]));
    }
    std::printf("positions: %llu with black to move, %llu with white to move\n",
                static_cast<unsigned long long>(r.report.positions[0]),
                static_cast<unsigned long long>(r.report.positions[1]));
    std::printf("book records: %llu in bookbtm, %llu in bookwtm; %llu entries in %s\n",
                static_cast<unsigned long long>(r.report.bookRecords[0]),
                static_cast<unsigned long long>(r.report.bookRecords[1]),
                static_cast<unsigned long long>(r.report.polyglotEntries), PolyglotBookName);
}

}  // namespace

int main(int argc, char** argv) {
    // 1. The command, its options and its files.
    enum class Command { Build, Runs, Merge } command = Command::Build;
    int first = 1;
    if (argc > 1 && std::strcmp(argv[1], "runs") == 0) command = Command::Runs, first = 2;
    if (argc > 1 && std::strcmp(argv[1], "merge") == 0) command = Command::Merge, first = 2;
    BookBuildSettings settings;
    settings.reading.threads = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    settings.reading.maxPly = PosPlyLimit;
    std::vector<std::string> files;
    for (int i = first; i < argc; i++) {
        const std::string arg = argv[i];
        if (arg.size() < 2 || arg.compare(0, 2, "--") != 0) {
            files.push_back(arg);
            continue;
        }
        if (arg == "--in-memory") {
            settings.inMemory = true;
            continue;
        }
        if (i + 1 == argc) return UsageError(arg + " needs a value");
        const char* value = argv[++i];
        uint64_t n = 0;
        if (arg == "--memory") {
            if (!ParseSize(value, n) || n < SmallestMemoryBytes)
                return UsageError(std::string("--memory takes a size of 256K or more, like 512M or 4G, not '") + value +
                                  "'");
            settings.memoryBytes = n;
        } else if (arg == "--temp") {
            settings.tempParent = value;
        } else if (arg == "--threads") {
            if (!ParseNumber(value, 1, 256, n))
                return UsageError(std::string("--threads takes 1 to 256, not '") + value + "'");
            settings.reading.threads = static_cast<int>(n);
        } else if (arg == "--min-elo") {
            if (!ParseNumber(value, 0, 10000, n))
                return UsageError(std::string("--min-elo takes 0 to 10000, not '") + value + "'");
            settings.reading.minElo = static_cast<uint32_t>(n);
        } else if (arg == "--min-games") {
            if (!ParseNumber(value, 1, UINT32_MAX, n))
                return UsageError(std::string("--min-games takes a number from 1, not '") + value + "'");
            settings.minGames = static_cast<uint32_t>(n);
        } else if (arg == "--max-ply") {
            if (!ParseNumber(value, 1, SamplePlyLimit, n))
                return UsageError(std::string("--max-ply takes 1 to 255, not '") + value + "'");
            settings.reading.maxPly = static_cast<int>(n);
        } else {
            return UsageError("unknown option " + arg);
        }
    }
    if (command == Command::Merge ? files.size() < 2 : files.size() != 2) return UsageError("");
    if (command == Command::Merge && settings.inMemory) return UsageError("merge reads runs: --in-memory has no place");

    // 2. A signal stops the work at its next look, and the runs are removed
    // (a second one at once);
    // a write beyond the file size limit fails like a full disk.
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    std::signal(SIGXFSZ, SIG_IGN);
    BuildTables();
    const int started = ClockMs();

    // 3. The work.
    BuildProgress progress;
    const std::string out = files.back();
    BuildResult r;
    if (command == Command::Build) {
        r = BuildBooks(files[0], out, settings, progress);
    } else if (command == Command::Runs) {
        r = WriteRuns(files[0], out, settings, progress);
    } else {
        files.pop_back();
        r = MergeRuns(files, out, settings, progress);
    }
    progress.Done();
    if (r.outcome != BuildOutcome::Done) {
        std::fprintf(stderr, "kavrin-book: %s\n", r.message.c_str());
        return r.outcome == BuildOutcome::KeyCollision ? ExitKeyCollision : ExitFailure;
    }

    // 4. What was made, with White's score over each database as bookcreate
    // prints it.
    if (command != Command::Runs) PrintSummary(r);
    if (r.counts.leftOut > 0)
        std::printf("left out: %llu games below the rating %u\n", static_cast<unsigned long long>(r.counts.leftOut),
                    settings.reading.minElo);
    std::fprintf(stderr, "kavrin-book: done in %d ms (%llu games, %llu positions, %llu runs)\n", ClockMs() - started,
                 static_cast<unsigned long long>(r.counts.converted),
                 static_cast<unsigned long long>(r.counts.positions), static_cast<unsigned long long>(r.runs));
    return 0;
}
