// Time control: moves to go, per-move share with its margins, the "level"
// and "time" items, and the 32-bit wrap of the "test" budget.
#include "driver/timecontrol.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "board/board.h"
#include "driver/engine_state.h"
#include "driver/input.h"
#include "search/control.h"
#include "search/engine.h"
#include "search/timeman.h"
#include "support/word_input.h"

namespace kavrin {
namespace {

TEST(MovesToGo, CountsDownThePeriodByFullMoves) {
    EXPECT_EQ(MovesToGo(40, 1), 40);
    EXPECT_EQ(MovesToGo(40, 2), 39);  // playing black, first move
    EXPECT_EQ(MovesToGo(40, 79), 1);
    EXPECT_EQ(MovesToGo(40, 80), 40);
    EXPECT_EQ(MovesToGo(1, 57), 1);
}

TEST(MovesToGo, WholeGamePeriodAssumes33) {
    EXPECT_EQ(MovesToGo(0, 1), 33);
    EXPECT_EQ(MovesToGo(0, 300), 33);
    EXPECT_EQ(MovesToGo(-5, 10), 33);
}

TEST(MovesToGo, TakesTheGamePlyAsUnsigned) {
    // 65535 >> 1 = 32767; 32767 mod 40 = 7.
    EXPECT_EQ(MovesToGo(40, 65535), 33);
}

TEST(TimeAllotment, WorkedValues) {
    EXPECT_EQ(TimeAllotment(30000, 40, 0), 6500);
    EXPECT_EQ(TimeAllotment(2000, 1, 0), 17100);
    EXPECT_EQ(TimeAllotment(30000, 33, 0), 8090);
    EXPECT_EQ(TimeAllotment(8000, 33, 2000), 3920);
    EXPECT_EQ(TimeAllotment(5000, 33, 0), 1510);
}

TEST(TimeAllotment, MarginThresholds) {
    EXPECT_EQ(TimeAllotment(500, 2, 0), 2000);  // share 250 loses 50
    EXPECT_EQ(TimeAllotment(500, 1, 0), 400 * 9);
    EXPECT_EQ(TimeAllotment(499, 1, 0), 449 * 9);
    EXPECT_EQ(TimeAllotment(220, 1, 0), 170 * 9);
    EXPECT_EQ(TimeAllotment(219, 1, 0), 219 * 9);
    EXPECT_EQ(TimeAllotment(5000, 10, 0), 4000);
    EXPECT_EQ(TimeAllotment(4990, 10, 0), 4490);
    EXPECT_EQ(TimeAllotment(2200, 10, 0), 1700);
    EXPECT_EQ(TimeAllotment(2190, 10, 0), 2190);
}

TEST(TimeAllotment, NoTimeLeftGivesAtMostTheIncrement) {
    EXPECT_EQ(TimeAllotment(0, 33, 1000), 1000);
    EXPECT_LE(TimeAllotment(-300, 33, 1000), 1000);
}

TEST(TimeAllotment, TestBudgetWrapsIn32Bits) { EXPECT_EQ(TimeAllotment(TestRemainingCs, 1, 0), 410064499); }

// Feeds text to the item readers of a session of their own.
class Items : public test::WordInput {
  protected:
    std::string Rest(WordSource& source) {
        char word[CommandBufferSize];
        std::string rest;
        while (ReadWord(source, word)) rest += std::string(word) + " ";
        return rest;
    }
    Engine engine{1};
    XboardSession session{engine};
    EngineState& engineState = session.state;
    SearchLimits& searchLimits = session.limits;
    Position& gamePosition = engine.Game();
};

TEST_F(Items, LevelWithoutIncrement) {
    WordSource source = Source("40 5 0 go");
    engineState.incrementMs = 7000;
    ReadLevelItems(session, source);
    EXPECT_EQ(engineState.movesPerControl, 40);
    EXPECT_EQ(engineState.incrementMs, 0);
    EXPECT_EQ(Rest(source), "go ");
}

TEST_F(Items, LevelWithIncrementAndMinutesSeconds) {
    WordSource source = Source("0 2 12");
    ReadLevelItems(session, source);
    EXPECT_EQ(engineState.movesPerControl, 0);
    EXPECT_EQ(engineState.incrementMs, 12000);
    WordSource again = Source(" 0 0:30 0");
    ReadLevelItems(session, again);
    EXPECT_EQ(engineState.incrementMs, 0);
}

TEST_F(Items, LevelFractionalIncrementIsZeroAndItsFractionAWord) {
    WordSource source = Source("0 2 0.5\n");
    ReadLevelItems(session, source);
    EXPECT_EQ(engineState.incrementMs, 0);
    EXPECT_EQ(Rest(source), ".5 ");
}

TEST_F(Items, LevelNotANumberKeepsPreviousValues) {
    engineState.movesPerControl = 35;
    engineState.incrementMs = 3000;
    WordSource source = Source("abc 5 0");
    ReadLevelItems(session, source);
    EXPECT_EQ(engineState.movesPerControl, 35);
    EXPECT_EQ(engineState.incrementMs, 3000);
    EXPECT_EQ(Rest(source), "abc 5 0 ");
    WordSource partial = Source("40 5 go");
    ReadLevelItems(session, partial);
    EXPECT_EQ(engineState.movesPerControl, 40);
    EXPECT_EQ(engineState.incrementMs, 3000);
    EXPECT_EQ(Rest(partial), "go ");
}

TEST_F(Items, TimeWithOtimOnTheNextLineIsOneCommand) {
    engineState.movesPerControl = 40;
    engineState.incrementMs = 0;
    gamePosition.gamePly = 1;
    char next[CommandBufferSize];
    WordSource source = Source("30000\notim 29000\ne2e4");
    EXPECT_FALSE(ReadTimeItems(session, source, next));
    EXPECT_EQ(searchLimits.movesToGo, 40);
    EXPECT_EQ(searchLimits.timeAllotment, 6500);
    EXPECT_EQ(Rest(source), "e2e4 ");
}

TEST_F(Items, TimeLeavesAnotherWordAsTheNextCommand) {
    engineState.movesPerControl = 0;
    engineState.incrementMs = 2000;
    char next[CommandBufferSize];
    WordSource source = Source("8000 e2e4 otim 5");
    EXPECT_TRUE(ReadTimeItems(session, source, next));
    EXPECT_STREQ(next, "e2e4");
    EXPECT_EQ(searchLimits.movesToGo, 33);
    EXPECT_EQ(searchLimits.timeAllotment, 3920);
    EXPECT_EQ(Rest(source), "otim 5 ");
}

TEST_F(Items, TimeNotANumberKeepsTheAllotment) {
    searchLimits.movesToGo = 12;
    searchLimits.timeAllotment = 777;
    char next[CommandBufferSize];
    WordSource source = Source("soon otim 5");
    EXPECT_FALSE(ReadTimeItems(session, source, next));
    EXPECT_EQ(searchLimits.movesToGo, 12);
    EXPECT_EQ(searchLimits.timeAllotment, 777);
    EXPECT_EQ(Rest(source), "soon otim 5 ");
}

TEST_F(Items, AfterTestEveryTimeUsesTheLastMoveRule) {
    SetMovesPerControl(session, 1);
    engineState.incrementMs = 0;
    gamePosition.gamePly = 40;
    ApplyRemainingTime(session, TestRemainingCs);
    EXPECT_EQ(searchLimits.movesToGo, 1);
    EXPECT_EQ(searchLimits.timeAllotment, 410064499);
    ApplyRemainingTime(session, 2000);
    EXPECT_EQ(searchLimits.movesToGo, 1);
    EXPECT_EQ(searchLimits.timeAllotment, 17100);
}

}  // namespace
}  // namespace kavrin
