#include "search/worker.h"

#include <algorithm>
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
    if (gravityUsed) std::memset(gravity.get(), 0, sizeof(GravityHistories));
    gravityUsed = false;
    for (SearchPly& ply : plies) {
        ply.killer1 = 0;
        ply.killer2 = 0;
    }
    pawns.Clear();
    if (taperedPawnsUsed) taperedPawns.Clear();
    taperedPawnsUsed = false;
}

void SearchWorker::ClearHistory() { std::memset(history, 0, sizeof history); }

void SearchWorker::RewardQuietMove(int ply, int side, Move move, int depth, const Move* tried, int triedCount,
                                   bool followUp, bool counter) {
    const int bonus = std::min(16 * depth * depth + 32 * depth + 16, 1200);
    PieceToHistory* const previous = ContinuationUp(ply, 1);
    PieceToHistory* const beforePrevious = followUp ? ContinuationUp(ply, 2) : nullptr;
    auto update = [&](Move m, int change) {
        UpdateHistory(gravity->quiet[side][m & HistoryMoveMask], change);
        const int piece = pos.board.pieceOn[MoveFrom(m)];
        const int to = MoveTo(m);
        if (previous != nullptr) UpdateHistory((*previous)[piece][to], change);
        if (beforePrevious != nullptr) UpdateHistory((*beforePrevious)[piece][to], change);
    };
    update(move, bonus);
    for (int i = 0; i < triedCount; ++i) update(tried[i], -bonus);
    if (counter && ply >= 1 && plies[ply - 1].movedPiece != 0)
        gravity->counter[plies[ply - 1].movedPiece][plies[ply - 1].movedTo] = move;
}

int SearchWorker::CorrectedScore(int side, int staticScore) const {
    const int entry = gravity->correction[side][pos.board.pawnKey % CorrectionEntries];
    return std::clamp(staticScore + entry / CorrectionGrain, -MateScoreThreshold + 1, MateScoreThreshold - 1);
}

void SearchWorker::UpdateCorrection(int side, int staticScore, int correctedScore, int best, Bound bound,
                                    int depth) {
    // Only what the bound proves: a fail high above the static score, a fail
    // low below it, or an exact result; never a mate.
    if (best <= -MateScoreThreshold || best >= MateScoreThreshold) return;
    if ((bound == Bound::Lower && best <= correctedScore) || (bound == Bound::Upper && best >= correctedScore)) return;
    int16_t& entry = gravity->correction[side][pos.board.pawnKey % CorrectionEntries];
    const int target = std::clamp((best - staticScore) * CorrectionGrain, -CorrectionLimit, CorrectionLimit);
    // Deeper results weigh more, up to a quarter of the entry at once.
    const int weight = std::min(depth + 1, 16);
    entry = static_cast<int16_t>(std::clamp((entry * (64 - weight) + target * weight) / 64, -CorrectionLimit,
                                            CorrectionLimit));
}

}  // namespace kavrin
