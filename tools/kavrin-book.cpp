// kavrin-book GAMES.pgn OUTDIR: Kavrin's opening book from a PGN collection
// in one pass and in memory. Writes bookwtm.mbx, bookwtm.mbk, bookbtm.mbx and
// bookbtm.mbk, byte for byte what pgn2pos, sorting, dbcreate and bookcreate
// make of the same games, and kavrin.bin, the same book as a Polyglot book.
// Standard output carries the reader's report and the summary, standard
// error the progress. Exit status: 0 done, 1 failure, 2 usage, 3 two
// positions share a key (tools/build-book then takes the workbench road).
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <vector>

#include "board/board.h"
#include "board/tables.h"
#include "book/book.h"
#include "book/bookmaker.h"
#include "book/posdb.h"
#include "notation/converters.h"
#include "system/binary_io.h"
#include "system/clock.h"

namespace {

using namespace kavrin;

constexpr int ExitFailure = 1;
constexpr int ExitUsage = 2;
constexpr int ExitKeyCollision = 3;
// The reader's input buffer.
constexpr size_t InputBufferBytes = 1 << 20;
// Games between two looks at the progress.
constexpr int ProgressEveryGames = 4096;

// The share of the input read, on one line that counts up on a terminal, or
// a line every tenth elsewhere.
class Progress {
  public:
    explicit Progress(uint64_t size) : size_(size), terminal_(isatty(2) != 0) {}
    void Show(std::ifstream& in, uint64_t games) {
        const std::streamoff at = in.tellg();
        if (at < 0 || size_ == 0) return;
        const int percent = static_cast<int>(static_cast<uint64_t>(at) * 100 / size_);
        if (percent <= shown_ || (!terminal_ && percent / 10 == shown_ / 10)) return;
        shown_ = percent;
        std::fprintf(stderr,
                     terminal_ ? "\rkavrin-book: reading the games %3d%% (%llu games)"
                               : "kavrin-book: reading the games %3d%% (%llu games)\n",
                     percent, static_cast<unsigned long long>(games));
    }
    void Done() {
        if (terminal_ && shown_ >= 0) std::fprintf(stderr, "\n");
    }

  private:
    uint64_t size_;
    bool terminal_;
    int shown_ = -1;
};

uint64_t FileSize(const char* name) {
    std::FILE* f = std::fopen(name, "rb");
    const FileFacts facts = StatOpenFile(f);
    if (f != nullptr) std::fclose(f);
    return facts.regular ? facts.size : 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: kavrin-book GAMES.pgn OUTDIR\n");
        return ExitUsage;
    }
    const char* pgnName = argv[1];
    const std::string folder = argv[2];
    BuildTables();
    const int started = ClockMs();

    // 1. Every game the reader accepts, its positions gathered.
    std::vector<char> buffer(InputBufferBytes);
    std::ifstream in;
    in.rdbuf()->pubsetbuf(buffer.data(), static_cast<std::streamsize>(buffer.size()));
    in.open(pgnName);
    if (!in.is_open()) {
        std::printf("Cannot open PGN input file: '%s'\n", pgnName);
        return ExitFailure;
    }
    auto samples = std::make_unique<PositionSamples>();
    // The games are replayed on a position of the builder's own.
    auto replay = std::make_unique<Position>();
    Progress progress(FileSize(pgnName));
    uint64_t games = 0;
    try {
        ConvertPgnGames(*replay, in, pgnName, [&](const GameRecord& game) {
            CollectGamePositions(*replay, game, *samples);
            if (++games % ProgressEveryGames == 0) progress.Show(in, games);
            return true;
        });
    } catch (const GameFileError& error) {
        progress.Done();
        std::fprintf(stderr, "kavrin-book: the games cannot be read: %s\n", error.text);
        return ExitFailure;
    }
    progress.Done();
    if (samples->Size() == 0) {
        std::fprintf(stderr, "kavrin-book: the games gave no positions\n");
        return ExitFailure;
    }
    std::fprintf(stderr, "kavrin-book: %llu positions read in %d ms; sorting and writing the books\n",
                 static_cast<unsigned long long>(samples->Size()), ClockMs() - started);

    // 2. The databases' records, the books and kavrin.bin.
    BookBuildReport report;
    if (!WriteBooksFromSamples(*samples, folder, report)) {
        std::fprintf(stderr, "kavrin-book: %s\n", report.message.c_str());
        return report.keyCollision ? ExitKeyCollision : ExitFailure;
    }

    // 3. What was made, with White's score over each database as bookcreate
    // prints it.
    for (int side = 0; side < 2; side++) {
        const double* s = report.sums[side];
        std::printf("%s: %f\n", BookBaseNames[side], WhiteScore(s[0], s[1], s[2]));
    }
    std::printf("positions: %llu with black to move, %llu with white to move\n",
                static_cast<unsigned long long>(report.positions[0]),
                static_cast<unsigned long long>(report.positions[1]));
    std::printf("book records: %llu in bookbtm, %llu in bookwtm; %llu entries in %s\n",
                static_cast<unsigned long long>(report.bookRecords[0]),
                static_cast<unsigned long long>(report.bookRecords[1]),
                static_cast<unsigned long long>(report.polyglotEntries), PolyglotBookName);
    std::fprintf(stderr, "kavrin-book: done in %d ms\n", ClockMs() - started);
    return 0;
}
