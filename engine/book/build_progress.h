// The book builder's progress on standard error: the games and positions
// read, games per second, the runs written and the merge's share done. On a
// terminal it is one line written over; elsewhere a line now and then.
#pragma once

#include <cstdint>

#include "book/game_reader.h"

namespace kavrin {

class BuildProgress {
  public:
    BuildProgress();
    void Reading(const GameReadCounts& counts, uint64_t fileBytes, uint64_t fileSize);
    void RunWritten() { runs_++; }
    void Merging(uint64_t done, uint64_t total);
    // Ends the line on a terminal; the next stage starts afresh.
    void Done();
    uint64_t Runs() const { return runs_; }

  private:
    bool Due();

    bool terminal_;
    int started_;
    int shownAt_ = -1;
    bool lineOpen_ = false;
    uint64_t runs_ = 0;
};

}  // namespace kavrin
