#include "search/threads.h"

namespace kavrin {

SearchThreads::SearchThreads(TranspositionTable& table, int pawnBits) : shared(table, *this), pawnCacheBits(pawnBits) {
    workers.push_back(std::make_unique<SearchWorker>(shared, 0, pawnCacheBits));
}

SearchThreads::~SearchThreads() {
    StopHelperThreads();
    {
        std::lock_guard<std::mutex> lock(mutex);
        quitting = true;
    }
    wake.notify_all();
    if (searchThread.joinable()) searchThread.join();
}

void SearchThreads::StopHelperThreads() {
    {
        std::lock_guard<std::mutex> lock(mutex);
        helpersQuit = true;
    }
    wake.notify_all();
    for (std::thread& helper : helpers) helper.join();
    helpers.clear();
    std::lock_guard<std::mutex> lock(mutex);
    helpersQuit = false;
}

void SearchThreads::SetCount(int count) {
    count = count < 1 ? 1 : count > MaxSearchThreads ? MaxSearchThreads : count;
    if (count == Count() && static_cast<int>(helpers.size()) == count - 1) return;
    StopHelperThreads();
    while (Count() > count) workers.pop_back();
    while (Count() < count) workers.push_back(std::make_unique<SearchWorker>(shared, Count(), pawnCacheBits));
    // A helper waits for the first search after this one: it must not take
    // a search it did not start with for a new one.
    uint64_t round;
    {
        std::lock_guard<std::mutex> lock(mutex);
        round = helperRound;
    }
    for (int i = 1; i < count; ++i) helpers.emplace_back(&SearchThreads::HelperLoop, this, i, round);
}

void SearchThreads::ClearTables() {
    for (auto& worker : workers) worker->ClearTables();
}

void SearchThreads::ClearHistories() {
    for (auto& worker : workers) worker->ClearHistory();
}

void SearchThreads::HelperLoop(int index, uint64_t seen) {
    std::unique_lock<std::mutex> lock(mutex);
    for (;;) {
        wake.wait(lock, [&] { return helpersQuit || helperRound != seen; });
        if (helperRound == seen) return;
        seen = helperRound;
        lock.unlock();
        workers[index]->Search(root);
        lock.lock();
        if (--helpersRunning == 0) finished.notify_all();
    }
}

Move SearchThreads::RunSearch() {
    {
        std::lock_guard<std::mutex> lock(mutex);
        helpersRunning = Count() - 1;
        ++helperRound;
    }
    wake.notify_all();
    const Move best = workers[0]->Search(root);
    stoppedEarly = shared.stop.load(std::memory_order_relaxed);
    Stop();
    std::unique_lock<std::mutex> lock(mutex);
    finished.wait(lock, [&] { return helpersRunning == 0; });
    return best;
}

void SearchThreads::Prepare(const Position& rootPosition, const SearchLimits& limits, SearchReporter* reporter) {
    CopyPositionFrom(root, rootPosition);
    shared.limits = limits;
    shared.reporter = reporter;
    shared.stop.store(false, std::memory_order_relaxed);
    shared.ponderHit.store(false, std::memory_order_relaxed);
}

Move SearchThreads::Search(const Position& rootPosition, const SearchLimits& limits, SearchReporter* reporter) {
    Prepare(rootPosition, limits, reporter);
    return RunSearch();
}

void SearchThreads::StartSearch(const Position& rootPosition, const SearchLimits& limits, SearchReporter* reporter) {
    Prepare(rootPosition, limits, reporter);
    if (!searchThread.joinable()) searchThread = std::thread(&SearchThreads::SearchLoop, this);
    {
        std::lock_guard<std::mutex> lock(mutex);
        searching = true;
        searchRequested = true;
    }
    wake.notify_all();
}

void SearchThreads::SearchLoop() {
    std::unique_lock<std::mutex> lock(mutex);
    for (;;) {
        wake.wait(lock, [&] { return searchRequested || quitting; });
        if (!searchRequested) return;
        searchRequested = false;
        lock.unlock();
        RunSearch();
        SearchReporter* const reporter = shared.reporter;
        lock.lock();
        searching = false;
        finished.notify_all();
        if (reporter != nullptr) {
            lock.unlock();
            reporter->SearchFinished();
            lock.lock();
        }
    }
}

bool SearchThreads::Searching() {
    std::lock_guard<std::mutex> lock(mutex);
    return searching;
}

void SearchThreads::WaitForSearch() {
    std::unique_lock<std::mutex> lock(mutex);
    finished.wait(lock, [&] { return !searching; });
}

void SearchThreads::PonderHit(int clockMs) {
    shared.ponderHitMs.store(clockMs, std::memory_order_relaxed);
    shared.ponderHit.store(true, std::memory_order_release);
}

uint64_t SearchThreads::TotalNodes() const {
    uint64_t total = workers[0]->Nodes();
    for (size_t i = 1; i < workers.size(); ++i) total += workers[i]->PublishedNodes();
    return total;
}

uint64_t SearchThreads::TotalTbHits() const {
    uint64_t total = workers[0]->TbHits();
    for (size_t i = 1; i < workers.size(); ++i) total += workers[i]->PublishedTbHits();
    return total;
}

}  // namespace kavrin
