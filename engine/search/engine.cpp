#include "search/engine.h"

#include "board/legal.h"
#include "search/game.h"

namespace kavrin {

Engine::Engine(size_t tableMegabytes, int pawnCacheBits) : table(tableMegabytes), threads(table, pawnCacheBits) {}

void Engine::ResetSearchState() {
    table.Clear();
    threads.ClearTables();
}

void Engine::Reset() {
    ResetSearchState();
    const Position empty;
    CopyPositionFrom(game, empty);
    options = EngineOptions{};
}

bool Engine::PlayGameMove(Move m) {
    if (!PlayMoveOnGame(game, m)) return false;
    threads.ClearHistories();
    return true;
}

Move Engine::TablePonderMove(Position& pos) const {
    TTEntry entry;
    if (!table.Probe(pos, entry)) return 0;
    const Move m = EntryMove(entry);
    return IsLegalMove(pos, m) ? m : 0;
}

}  // namespace kavrin
