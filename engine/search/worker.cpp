#include "search/worker.h"

#include <cstring>

namespace kavrin {

SearchWorker::SearchWorker(SearchShared& sharedState, int threadIndex, int pawnCacheBits)
    : shared(sharedState), table(sharedState.table), index(threadIndex), pawns(pawnCacheBits) {
    std::memset(pvText, 0, sizeof pvText);
    std::memset(undo, 0, sizeof undo);
    std::memset(plies, 0, sizeof plies);
    std::memset(moveStack, 0, sizeof moveStack);
    ClearTables();
}

void SearchWorker::ClearTables() {
    ClearHistory();
    for (SearchPly& ply : plies) {
        ply.killer1 = 0;
        ply.killer2 = 0;
    }
    pawns.Clear();
}

void SearchWorker::ClearHistory() { std::memset(history, 0, sizeof history); }

}  // namespace kavrin
