// kavrin-uci's tapered evaluation: every term a (middle game, endgame)
// pair, blended by the game phase. It is written once, over a weight record
// and a trace: the search runs it on the constant record of
// search/tapered_weights.h without a trace, kavrin-tune on the record it
// fits with a trace of each term's coefficients.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>

#include "board/board.h"
#include "search/tapered_terms.h"

namespace kavrin {

// The search's trace: records nothing, and compiles away.
struct NoTrace {
    static constexpr bool Records = false;
    void Add(int /*term*/, int /*colour*/, int /*count*/ = 1) {}
    void SetPhase(int /*phase*/) {}
    void SetCannotWin(int /*colour*/) {}
};

// The tuner's trace: how often each term counts for each side, the phase,
// and which sides cannot win (the evaluation gives no such side more than a
// draw).
struct CoefficientTrace {
    static constexpr bool Records = true;
    int16_t coefficient[TaperedTermCount][2];
    int phase;
    bool cannotWin[2];

    void Clear() { std::memset(this, 0, sizeof *this); }
    void Add(int term, int colour, int count = 1) {
        coefficient[term][colour] = static_cast<int16_t>(coefficient[term][colour] + count);
    }
    void SetPhase(int p) { phase = p; }
    void SetCannotWin(int colour) { cannotWin[colour] = true; }
};

// The evaluation of White's terms minus Black's, blended by the phase: the
// evaluation's own arithmetic from the trace and the weights, before its
// draw rules.
int TracedWhiteScore(const CoefficientTrace& trace, const TaperedWeights& weights);

// Pawn-structure scores of the tapered evaluation, keyed by the pawn key;
// each search thread has its own. Entry: bits 32-63 the pawn key, bits 0-31
// the packed score; an all-zero entry is empty.
constexpr int TaperedPawnBits = 16;

class TaperedPawnCache {
  public:
    TaperedPawnCache() : entries(std::make_unique<uint64_t[]>(size_t{1} << TaperedPawnBits)) {}
    void Clear() { std::memset(entries.get(), 0, sizeof(uint64_t) << TaperedPawnBits); }
    bool Probe(uint32_t pawnKey, Score* score) const {
        const uint64_t entry = entries[pawnKey & IndexMask];
        if (entry == 0 || static_cast<uint32_t>(entry >> 32) != pawnKey) return false;
        *score = static_cast<Score>(static_cast<uint32_t>(entry));
        return true;
    }
    void Store(uint32_t pawnKey, Score score) {
        entries[pawnKey & IndexMask] = (uint64_t{pawnKey} << 32) | static_cast<uint32_t>(score);
    }

  private:
    static constexpr uint32_t IndexMask = (1u << TaperedPawnBits) - 1;
    std::unique_ptr<uint64_t[]> entries;
};

// Score of pos for the side to move, from weights; the pawn structure's share
// comes from pawns or goes into it (no cache: nullptr). Trace is NoTrace or
// CoefficientTrace (the trace is filled, not cleared).
template <class Trace>
int EvaluateTapered(const Position& pos, const TaperedWeights& weights, TaperedPawnCache* pawns, Trace& trace);

// The search's evaluation: the constant weights, no trace.
int EvaluateTapered(const Position& pos, TaperedPawnCache& pawns);

}  // namespace kavrin
