#include "search/reset.h"

#include "search/threads.h"
#include "search/tt.h"

namespace kavrin {

void ResetSearchState() {
    ClearTranspositionTable();
    searchThreads.ClearTables();
}

}  // namespace kavrin
