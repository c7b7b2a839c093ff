#include "search/engine.h"

#include <algorithm>

#include "board/legal.h"
#include "search/game.h"
#include "search/tablebase.h"

namespace kavrin {

TablebaseProbes SearchProbes(const EngineOptions& options) {
    const int loaded = TablebasePieces();
    TablebaseProbes probes;
    probes.pieces = std::min(options.tbProbeLimit, loaded);
    probes.depth = options.tbProbeLimit > loaded ? 0 : options.tbProbeDepth;
    probes.fiftyMoveRule = options.tbFiftyMoveRule;
    return probes;
}

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
