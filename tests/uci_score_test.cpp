// Scores as kavrin-uci shows them: centipawns, mates, tablebase wins, and the
// win/draw/loss rates of UCI_ShowWDL.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "board/types.h"
#include "search/tablebase.h"
#include "uci/score.h"
#include "uci/wdl.h"

namespace kavrin {
namespace {

struct ScoreCase {
    int score;
    const char* shown;
};

const ScoreCase ScoreCases[] = {
    {0, "cp 0"},
    {35, "cp 35"},
    {-120, "cp -120"},
    {TbWinThreshold, "cp 7827"},          // the highest ordinary score
    {MateValue - 1, "mate 1"},            // mates in one move (one ply)
    {MateValue - 3, "mate 2"},
    {MateValue - 100, "mate 50"},         // deeper than the old mate threshold
    {-(MateValue - 2), "mate -1"},        // mated after one move each
    {-(MateValue - 4), "mate -2"},
    {TbWinScore(0), "cp 20000"},          // a tablebase win at the root
    {TbWinScore(5), "cp 19995"},          // reached five plies on
    {TbLossScore(7), "cp -19993"},
    {TbWinScore(PlyStackSize - 1), "cp 19865"},
};

TEST(UciScore, CentipawnsMatesAndTablebaseWinsAsTheCommonEnginesShowThem) {
    for (const ScoreCase& c : ScoreCases) {
        char text[32];
        WriteUciScore(text, sizeof text, c.score);
        EXPECT_STREQ(text, c.shown) << c.score;
    }
}

WdlRates Shown(int score, int material, bool provenDraw = false) {
    char text[48];
    WriteUciWdl(text, sizeof text, score, material, provenDraw);
    WdlRates rates{-1, -1, -1};
    int end = 0;
    EXPECT_EQ(std::sscanf(text, "wdl %d %d %d%n", &rates.win, &rates.draw, &rates.loss, &end), 3) << text;
    EXPECT_EQ(text[end], '\0') << text;
    return rates;
}

TEST(UciWdl, ThreeRatesThatAddUpToAThousandRiseWithTheScoreAndMirror) {
    for (int material = 0; material <= 100; material += 3) {
        WdlRates previous{-1, 0, 1001};
        for (int score = -4000; score <= 4000; score += 7) {
            const WdlRates r = Shown(score, material);
            ASSERT_TRUE(r.win >= 0 && r.draw >= 0 && r.loss >= 0) << score << " " << material;
            ASSERT_EQ(r.win + r.draw + r.loss, 1000) << score << " " << material;
            ASSERT_GE(r.win, previous.win) << score << " " << material;
            ASSERT_LE(r.loss, previous.loss) << score << " " << material;
            const WdlRates mirrored = Shown(-score, material);
            ASSERT_EQ(mirrored.win, r.loss);
            ASSERT_EQ(mirrored.loss, r.win);
            previous = r;
        }
    }
    // An even score leaves every result possible; a rook up mostly wins.
    for (int material : {12, 40, 78}) {
        EXPECT_GT(Shown(0, material).draw, 0);
        EXPECT_GT(Shown(0, material).win, 0);
        EXPECT_GT(Shown(500, material).win, 500);
    }
}

struct CertainCase {
    int score;
    bool provenDraw;
    WdlRates expected;
};

const CertainCase CertainCases[] = {
    {MateValue - 1, false, {1000, 0, 0}},
    {-(MateValue - 2), false, {0, 0, 1000}},
    {MateValue - 100, false, {1000, 0, 0}},
    {TbWinScore(3), false, {1000, 0, 0}},
    {TbLossScore(40), false, {0, 0, 1000}},
    {0, true, {0, 1000, 0}},
};

TEST(UciWdl, MatesAndTablebaseResultsAreCertain) {
    for (const CertainCase& c : CertainCases) {
        for (int material : {0, 12, 78}) {
            const WdlRates r = Shown(c.score, material, c.provenDraw);
            EXPECT_EQ(r.win, c.expected.win) << c.score;
            EXPECT_EQ(r.draw, c.expected.draw) << c.score;
            EXPECT_EQ(r.loss, c.expected.loss) << c.score;
        }
    }
}

// A model whose centre lies below zero makes the win and loss curves
// overlap: the rates still add up to 1000 with no negative draw rate.
TEST(UciWdl, OverlappingCurvesLeaveNoNegativeDraws) {
    const WdlModel overlapping = {{0, 0, 0, -50}, {0, 0, 0, 80}};
    for (int score = -300; score <= 300; score += 5) {
        const WdlRates r = ExpectedResult(score, 40, false, overlapping);
        EXPECT_EQ(r.win + r.draw + r.loss, 1000);
        EXPECT_GE(r.draw, 0) << score;
        EXPECT_GE(r.loss, 0) << score;
    }
}

}  // namespace
}  // namespace kavrin
