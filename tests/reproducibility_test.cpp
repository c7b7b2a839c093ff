// A position read must leave nothing of earlier searches behind: the fixed-
// depth searches of the benchmark positions, repeated in one process after
// other searches, a game and a new game, make exactly the same moves.
#include <gtest/gtest.h>

#include <vector>

#include "board/board.h"
#include "board/fen.h"
#include "board/legal.h"
#include "board/movetext.h"
#include "driver/game.h"
#include "search/benchmark.h"
#include "search/game.h"
#include "support/test_engine.h"

namespace kavrin {
namespace {

// Shallower than the signature test, so that both passes stay quick under
// the sanitizers.
int ReproducibilityDepth(const BenchmarkPosition& p) {
    const int depth = SignatureTestDepth(p) - 2;
    return depth < 2 ? 2 : depth;
}

struct Outcome {
    uint64_t nodes;
    uint64_t quiesce;
    Move best;
    int score;
};

Outcome Search(const BenchmarkPosition& p) {
    const SearchCounts c = SearchFixedDepth(test::TestEngine(), p, ReproducibilityDepth(p));
    return {c.nodes, c.quiesce, c.best, c.score};
}

// A short game on the Board: game moves fill the history and clear the
// history table, and a search in between fills the other tables.
void PlayAGame() {
    ReadFen(gamePosition, InitialFen);
    for (const char* text : {"e2e4", "e7e5", "g1f3", "b8c6", "f1b5", "a7a6"}) {
        const Move m = TextToMoveOnBoard(gamePosition, text);
        ASSERT_TRUE(IsLegalMove(gamePosition, m)) << text;
        ASSERT_TRUE(GameMove(test::TestSession(), m)) << text;
    }
    SearchFixedDepth(test::TestEngine(), {"game", "r1bqkbnr/1ppp1ppp/p1n5/1B2p3/4P3/5N2/PPPP1PPP/RNBQK2R w KQkq -", 5},
                     5);
}

TEST(Reproducibility, SearchesRepeatExactlyAfterOtherSearchesAndANewGame) {
    const auto& positions = BenchmarkPositions;
    const size_t count = std::size(positions);
    std::vector<Outcome> first;
    for (size_t i = 0; i < count; ++i) first.push_back(Search(positions[i]));

    PlayAGame();
    // The second pass runs in the opposite order, so that each search meets
    // the tables another search left, and a new game comes before each.
    for (size_t k = 0; k < count; ++k) {
        const size_t i = count - 1 - k;
        ReadFen(gamePosition, InitialFen);
        const Outcome again = Search(positions[i]);
        EXPECT_EQ(again.nodes, first[i].nodes) << positions[i].name;
        EXPECT_EQ(again.quiesce, first[i].quiesce) << positions[i].name;
        EXPECT_EQ(again.best, first[i].best) << positions[i].name;
        EXPECT_EQ(again.score, first[i].score) << positions[i].name;
    }
}

TEST(Reproducibility, TheSamePositionTwiceInARowSearchesAlike) {
    for (const BenchmarkPosition& p : {BenchmarkPositions[0], BenchmarkPositions[5], BenchmarkPositions[13]}) {
        const Outcome a = Search(p);
        const Outcome b = Search(p);
        EXPECT_EQ(a.nodes, b.nodes) << p.name;
        EXPECT_EQ(a.quiesce, b.quiesce) << p.name;
        EXPECT_EQ(a.best, b.best) << p.name;
        EXPECT_GT(a.nodes, 0u) << p.name;
    }
}

}  // namespace
}  // namespace kavrin
