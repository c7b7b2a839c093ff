// The search profiles. The node functions (search/alphabeta_node.h,
// quiesce_node.h, root_node.h) are templates over a profile: a compile-time
// policy whose switches say which steps the search takes, and whose
// parameter record holds the numbers those steps read. A step a profile
// switches off compiles to nothing.
//
// The classic profile is the search kavrin has always run; every later step
// is off in it. The modern profile is kavrin-uci's own: it gains a step only
// when a match shows that the step makes it stronger (bench/sprt-history.md).
#pragma once

#include <cstdint>

#include "board/board.h"
#include "board/types.h"

namespace kavrin {

// The static score of a node in check, which has none.
constexpr int NoStaticScore = -32000;

// Which profile a search runs (SearchLimits::profile).
enum class SearchProfile : uint8_t { Classic, Modern };

// What the move loop of a full-width node knows when it considers skipping a
// move without searching it.
struct MoveChoice {
    const Position& pos;
    Move move;
    int depth;
    int ply;
    int movesSearched;  // legal moves searched so far at the node
    bool inCheck;
};

// The numbers a profile's steps read.
struct SearchParameters {
    // Reverse futility: a node at most this deep whose static score beats
    // beta by this much per ply of depth fails high at once.
    int reverseFutilityDepth = 0;
    int reverseFutilityMargin = 0;
    // The pass searches depth - 1 - (base + depth / divisor + a ply for each
    // evalDivisor the static score stands above beta, at most evalPlies).
    int nullBase = 0;
    int nullDepthDivisor = 1;
    int nullEvalDivisor = 1;
    int nullEvalPlies = 0;
    // A node this deep without a hash move searches a ply less.
    int iterativeReductionDepth = 0;
    // Late move reductions: base + ln(depth) ln(move number) / divisor plies
    // for quiet moves from this move number on, at this depth or more.
    double reductionBase = 0;
    double reductionDivisor = 1;
    int reductionDepth = 0;
    int reductionFromMove = 0;
    // Futility: a quiet move at most this deep is skipped when the static
    // score plus base plus perDepth per ply stays at or below alpha.
    int futilityDepth = 0;
    int futilityBase = 0;
    int futilityPerDepth = 0;
    // Late move pruning: at most this deep, quiet moves after
    // (base + depth^2) / (2 - improving) moves are skipped.
    int lateMovePruningDepth = 0;
    int lateMovePruningBase = 0;
    // Singular extension: at this depth or more, a hash move whose entry is
    // at most 3 plies shallower, and whose lower bound no other move comes
    // within margin per ply of in a search of half the depth, is searched a
    // ply deeper; when even that lowered bound beats beta, the node fails
    // high at once.
    int singularDepth = 0;
    int singularMargin = 0;
    // Aspiration: the first window's half width around the last score, grown
    // by half after each failure.
    int aspirationDelta = 0;
    // Exchange pruning: a move at most this deep is skipped when its exchange
    // on the destination loses more than quietMargin per ply (a quiet move)
    // or captureMargin per ply squared (a capture or promotion).
    int exchangePruningDepth = 0;
    int exchangeQuietMargin = 0;
    int exchangeCaptureMargin = 0;
};

struct ClassicProfile {
    static constexpr SearchProfile Id = SearchProfile::Classic;
    static constexpr SearchParameters Parameters{};
    // The move loop may skip moves (SkipMove decides).
    static constexpr bool SkipsMoves = false;
    static constexpr bool SkipMove(const MoveChoice&) { return false; }
    // Mate scores are kept in the table from the node that stores them, so
    // that they stay exact wherever they are read.
    static constexpr bool MateDistanceInTable = false;
    // Every full-width node out of check knows its static score, and whether
    // it improves on the one two plies up.
    static constexpr bool StaticScore = false;
    static constexpr bool ReverseFutility = false;
    // The pass needs a static score at or above beta, and its reduction grows
    // with depth and with that margin.
    static constexpr bool AdaptiveNullMove = false;
    // A node without a hash move searches a ply less, instead of deepening
    // itself first.
    static constexpr bool IterativeReduction = false;
    // Only the first move gets the whole window at once; the others a null
    // window first.
    static constexpr bool FirstMoveWindow = false;
    static constexpr bool LateMoveReductions = false;
    // A node whose static score improves reduces its late moves a ply less
    // (with StaticScore).
    static constexpr bool ReductionsByImproving = false;
    static constexpr bool FutilityPruning = false;
    static constexpr bool LateMovePruning = false;
    // The static score is corrected by how far searches of positions with
    // the same pawns have found it off (with StaticScore).
    static constexpr bool CorrectionHistory = false;
    // Moves whose exchange loses too much for the depth left are skipped.
    static constexpr bool ExchangePruning = false;
    // The quiescence search skips captures that lose material in the exchange.
    static constexpr bool QuiesceExchangePruning = false;
    // Every check extends the search a ply.
    static constexpr bool CheckExtension = false;
    // A hash move that no other move comes close to is searched a ply deeper.
    static constexpr bool SingularExtension = false;
    // The root window grows step by step around the last score.
    static constexpr bool GrowingAspiration = false;
    // Quiet moves are ordered by signed histories with gravity, which the
    // move that refutes a node raises and the quiet moves tried before it
    // lower.
    static constexpr bool GravityHistory = false;
    // ... and by the history of the move one ply up (with GravityHistory),
    static constexpr bool ContinuationHistory = false;
    // ... and of the move two plies up (with ContinuationHistory).
    static constexpr bool FollowUpHistory = false;
    // The counter move of the move before is tried after the killers (with
    // GravityHistory).
    static constexpr bool CounterMove = false;
    // A full-width node right after a capture or pawn move probes the Syzygy
    // tables (when the search's limits allow it: SearchLimits::tablebases),
    // and the table keeps tablebase scores from the node that stores them.
    static constexpr bool ProbesTablebases = false;
    // The static score is kavrin-uci's tapered evaluation (search/tapered_eval.h)
    // instead of kavrin's.
    static constexpr bool TaperedEvaluation = false;
};

// kavrin-uci's profile: the classic one with the steps it has gained. Each
// step is turned on here by a commit of its own, kept only when its match
// shows a gain (bench/sprt-history.md); the steps not named stay off.
struct ModernProfile : ClassicProfile {
    static constexpr SearchProfile Id = SearchProfile::Modern;
    static constexpr SearchParameters Parameters{
        .reverseFutilityDepth = 7,
        .reverseFutilityMargin = 75,
        .nullBase = 3,
        .nullDepthDivisor = 4,
        .nullEvalDivisor = 200,
        .nullEvalPlies = 3,
        .iterativeReductionDepth = 4,
        .reductionBase = 0.75,
        .reductionDivisor = 2.25,
        .reductionDepth = 3,
        .reductionFromMove = 3,
        .futilityDepth = 6,
        .futilityBase = 60,
        .futilityPerDepth = 80,
        .lateMovePruningDepth = 8,
        .lateMovePruningBase = 3,
        .singularDepth = 8,
        .singularMargin = 2,
        .aspirationDelta = 20,
        .exchangePruningDepth = 8,
        .exchangeQuietMargin = 60,
        .exchangeCaptureMargin = 20,
    };
    static constexpr bool LateMoveReductions = true;
    static constexpr bool TaperedEvaluation = true;
    static constexpr bool GravityHistory = true;
    static constexpr bool StaticScore = true;
    static constexpr bool LateMovePruning = true;
    // Probing only happens with tables loaded: without them the search is
    // the one it was, move for move.
    static constexpr bool ProbesTablebases = true;
};

}  // namespace kavrin
