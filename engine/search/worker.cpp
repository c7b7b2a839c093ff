#include "search/worker.h"

#include <sys/mman.h>

#include <cstdlib>
#include <cstring>
#include <new>

namespace kavrin {

namespace {
constexpr size_t LargePage = size_t{1} << 21;
}  // namespace

void* SearchWorker::operator new(size_t bytes) {
    const size_t rounded = (bytes + LargePage - 1) & ~(LargePage - 1);
    void* const record = std::aligned_alloc(LargePage, rounded);
    if (record == nullptr) throw std::bad_alloc();
    madvise(record, rounded, MADV_HUGEPAGE);
    return record;
}

void SearchWorker::operator delete(void* record) { std::free(record); }

SearchWorker::SearchWorker(SearchShared& sharedState, int threadIndex)
    : shared(sharedState), table(sharedState.table), index(threadIndex) {
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
