// The books from positions in key order: each database record decides
// whether its position enters its book, the books are written as the
// positions come, and the moves into the kept positions become kavrin.bin.
// Those moves come in the order of the positions they lead to, while
// kavrin.bin is ordered by the positions they are played in: they are
// gathered up to a memory limit, spilled as sorted runs when it is reached,
// and merged at the end. The bytes are those of WriteBooksFromSamples.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "book/book.h"
#include "book/bookcreate.h"
#include "book/bookmaker.h"
#include "book/position_runs.h"
#include "book/run_folder.h"

namespace kavrin {

// The share of a merge done, as it goes: bytes of the runs read and in all.
using MergeProgress = std::function<void(uint64_t done, uint64_t total)>;

// Merges the sorted sources into one sorted stream of positions for out;
// false on a failure of a source (message, collision) or of out.
bool MergePositionSources(const std::vector<PositionSource*>& sources,
                          const std::function<bool(const RunPosition&)>& out, std::string& message, bool& collision);

// Merges the position runs named into fewer, at most fanIn, by merging
// groups of them into new runs in folder (the runs named in owned are the
// builder's own and are removed once merged). Each reader gets bufferBytes.
bool ReduceRuns(std::vector<std::string>& runs, std::vector<bool>& owned, size_t fanIn, size_t bufferBytes,
                RunFolder& folder, const RunSelection& selection, std::string& message, bool& collision);

class BookAssembler {
  public:
    // The books are written into folder; kavrin.bin's moves are kept in at
    // most memoryBytes, spilled to runs in runFolder beyond that.
    BookAssembler(const std::string& folder, uint64_t memoryBytes, uint32_t minGames, RunFolder& runFolder);
    ~BookAssembler();
    bool Open();
    // The next position, in key order.
    bool Add(const RunPosition& position);
    // The books' indexes and kavrin.bin.
    bool Finish(const MergeProgress& progress);

    BookBuildReport report;
    // A move into a kept position, as kavrin.bin is made of them.
    struct Entry;

  private:
    bool SpillEntries();
    bool WriteKavrinBin(const MergeProgress& progress);

    std::string prefix_;
    uint64_t memoryBytes_;
    uint32_t minGames_;
    RunFolder& runFolder_;
    std::unique_ptr<BookSet> books_;
    char messages_[2][FileMessageSize];
    std::unique_ptr<BookFileWriter> writers_[2];
    std::vector<Entry> entries_;
    size_t entryCapacity_;
    std::vector<std::string> entryRuns_;
    uint32_t largest_ = 0;
};

}  // namespace kavrin
