// The book builder's three roads, each in memory bounded by a setting:
//   BuildBooks: a collection into the books, its samples spilled as sorted
//     runs to a folder of its own when they outgrow the memory, then merged;
//   WriteRuns: a collection (a shard of a larger one) into sorted runs only;
//   MergeRuns: the runs of any number of shards into the books.
// Each gives the same bytes as WriteBooksFromSamples over all the games. The
// books are written into a folder of their own inside the output folder and
// moved into it only when complete, so that a failure leaves nothing
// half-made there; runs are removed in any case.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "book/bookmaker.h"
#include "book/build_progress.h"
#include "book/game_reader.h"

namespace kavrin {

struct BookBuildSettings {
    uint64_t memoryBytes = uint64_t{1} << 30;
    bool inMemory = false;  // every sample in memory, without a limit
    GameReadSettings reading;
    uint32_t minGames = 1;
    std::string tempParent;  // where the folder of runs is made; empty: the output folder
};

// The smallest memory limit the builder takes.
constexpr uint64_t SmallestMemoryBytes = uint64_t{256} << 10;

enum class BuildOutcome { Done, Failed, KeyCollision };

struct BuildResult {
    BuildOutcome outcome = BuildOutcome::Failed;
    std::string message;
    BookBuildReport report;
    GameReadCounts counts;
    uint64_t runs = 0;
};

BuildResult BuildBooks(const std::string& games, const std::string& outFolder, const BookBuildSettings& settings,
                       BuildProgress& progress);
BuildResult WriteRuns(const std::string& games, const std::string& outFolder, const BookBuildSettings& settings,
                      BuildProgress& progress);
BuildResult MergeRuns(const std::vector<std::string>& runFolders, const std::string& outFolder,
                      const BookBuildSettings& settings, BuildProgress& progress);

// Set by a signal handler: every road stops at its next look and cleans up.
extern std::atomic<bool> bookBuildInterrupted;

}  // namespace kavrin
