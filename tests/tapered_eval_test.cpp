// kavrin-uci's tapered evaluation: the tuner's linear evaluation from the
// coefficient trace gives the evaluation's own score, on any weight record,
// and a position scores the same as its colour-flipped mirror.
#include "search/tapered_eval.h"

#include <gtest/gtest.h>

#include <string>

#include "board/board.h"
#include "board/types.h"
#include "search/tapered_weights.h"
#include "support/board_setup.h"
#include "support/random_positions.h"
#include "support/test_engine.h"

namespace kavrin {
namespace {

// Positions with every kind of term, and what White's score must be: above
// zero (White stands clearly better), zero (a side ahead that cannot win),
// or anything.
enum Expect { Any, WhiteAhead, Zero };
struct Case {
    const char* fen;
    Expect white;
};
const Case Cases[] = {
    {"rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3", Any},
    {"r1bq1rk1/pp2bppp/2n1pn2/3p4/2PP4/2N1PN2/PP2BPPP/R2QKB1R w KQ -", Any},
    {"r2q1rk1/1b2bppp/p2p1n2/1p1Pp3/4P3/1NN1BP2/PPPQ2PP/2KR1B1R w - -", Any},
    {"2r3k1/5ppp/p7/1p1P4/8/P4N2/1P3PPP/3R2K1 w - -", WhiteAhead},
    {"6k1/1R6/8/8/8/8/pr4PP/6K1 w - -", Any},
    {"8/5pk1/6p1/2P5/1P6/8/5PPK/2b5 b - -", Any},
    {"4k3/8/8/3P4/8/8/8/4K3 w - -", WhiteAhead},
    {"4k3/8/8/8/8/8/8/R3K3 b - -", WhiteAhead},
    {"4k3/8/8/8/8/8/8/2B1K3 w - -", Zero},
    {"4k3/8/8/8/8/2b5/8/4K3 w - -", Zero},
    {"r3k2r/ppp2ppp/2n5/3qp3/1b1P4/2N2N2/PPP2PPP/R1BQK2R w KQkq -", Any},
    {"6k1/B4ppp/1p6/8/8/8/5PPP/6K1 b - -", Any},
    {"r3r1k1/1p3ppp/pq6/3N4/8/1Q3P2/PPP3PP/3RR1K1 w - -", Any},
    {"3Q4/8/2QQ2k1/8/8/1q6/8/K7 b - -", WhiteAhead},
};

// The score of the game position for the side to move, with its trace.
int TracedScore(const TaperedWeights& weights, CoefficientTrace& trace) {
    trace.Clear();
    return EvaluateTapered(gamePosition, weights, nullptr, trace);
}

int WhiteView(int score) { return gamePosition.sideToMove == White ? score : -score; }

// The default weights with every term moved by a reproducible amount.
TaperedWeights ShuffledWeights() {
    TaperedWeights w = TaperedDefaults;
    test::TestRandom random(20261209);
    for (Score& s : w.term) s += S(random.Below(41) - 20, random.Below(41) - 20);
    return w;
}

TEST(TaperedEvaluation, TraceGivesTheEvaluationsScore) {
    const TaperedWeights shuffled = ShuffledWeights();
    TaperedPawnCache cache;
    cache.Clear();
    CoefficientTrace trace;
    for (const Case& c : Cases) {
        for (const std::string& fen : {std::string(c.fen), test::MirrorFen(c.fen)}) {
            SCOPED_TRACE(fen);
            test::SetUpPosition(fen.c_str());
            for (const TaperedWeights* weights : {&TaperedDefaults, &shuffled}) {
                const int score = TracedScore(*weights, trace);
                EXPECT_EQ(WhiteView(score), TracedWhiteScore(trace, *weights));
            }
            // The search's evaluation, first storing then reading its pawn
            // entry, gives the same as the traced one on the default weights.
            const int traced = TracedScore(TaperedDefaults, trace);
            EXPECT_EQ(EvaluateTapered(gamePosition, cache), traced);
            EXPECT_EQ(EvaluateTapered(gamePosition, cache), traced);
        }
    }
}

TEST(TaperedEvaluation, MirrorScoresTheSameForItsSideToMove) {
    for (const Case& c : Cases) {
        SCOPED_TRACE(c.fen);
        CoefficientTrace trace;
        test::SetUpPosition(c.fen);
        const int white = WhiteView(TracedScore(TaperedDefaults, trace));
        const int phase = trace.phase;
        test::SetUpPosition(test::MirrorFen(c.fen).c_str());
        const int mirrored = WhiteView(TracedScore(TaperedDefaults, trace));
        EXPECT_EQ(white, -mirrored);
        EXPECT_EQ(trace.phase, phase);
        if (c.white == Zero) {
            EXPECT_EQ(white, 0);
        } else if (c.white == WhiteAhead) {
            EXPECT_GT(white, 0);
        }
    }
}

}  // namespace
}  // namespace kavrin
