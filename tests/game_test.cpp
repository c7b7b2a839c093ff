// The engine's side of a game: result-line selection, and (end to end) whole
// games, pondering and the refusals of moves that cannot be played.
#include <string>

#include <gtest/gtest.h>

#include "board/types.h"
#include "driver/game.h"

namespace kavrin {
namespace {

std::string Line(const char* text) { return text == nullptr ? "(none)" : text; }

TEST(ResultLines, MarkersLeftBySearch) {
    EXPECT_EQ(Line(MarkerResultLine(ResultCheckmated, Black)), "1-0 {Kavrin mated 0}\n");
    EXPECT_EQ(Line(MarkerResultLine(ResultCheckmated, White)), "0-1 {Kavrin mated 0}\n");
    EXPECT_EQ(Line(MarkerResultLine(ResultStalemate, White)), "1/2-1/2 {Draw by stalemate (1)}\n");
    EXPECT_EQ(Line(MarkerResultLine(ResultRepetition, Black)), "1/2-1/2 {Draw by 3 fold repetition (2)}\n");
    EXPECT_EQ(Line(MarkerResultLine(ResultFiftyMoves, White)), "1/2-1/2 {Draw by 50 moves rule (3)}\n");
    EXPECT_EQ(Line(MarkerResultLine(ResultInsufficientMaterial, Black)),
              "1/2-1/2 {Draw by insufficient material to mate (4)}\n");
}

TEST(ResultLines, NoLineForMovesAndOtherMarkers) {
    EXPECT_EQ(MarkerResultLine(0, White), nullptr);
    EXPECT_EQ(MarkerResultLine(NullMoveMarker, White), nullptr);
    EXPECT_EQ(MarkerResultLine(MakeMoveWord(52, 36, Quiet), White), nullptr);
    EXPECT_EQ(MarkerResultLine(CastleWhiteKingSide, White), nullptr);
}

TEST(ResultLines, MateInOneByTheSideNowToMove) {
    EXPECT_EQ(Line(MoveResultLine(8099, false, 0, Black)), "1-0 {Kavrin mates 1}\n");
    EXPECT_EQ(Line(MoveResultLine(8099, true, ResultRepetition, White)), "0-1 {Kavrin mates 1}\n");
}

TEST(ResultLines, MateScoreNeedsTheTableMarker) {
    EXPECT_EQ(Line(MoveResultLine(8098, true, 0, Black)), "1-0 {Kavrin mates 1#}\n");
    EXPECT_EQ(Line(MoveResultLine(8051, true, 0, White)), "0-1 {Kavrin mates 1#}\n");
    EXPECT_EQ(MoveResultLine(8051, false, 0, White), nullptr);
    // A mate score never claims a draw, whatever the draw test says.
    EXPECT_EQ(MoveResultLine(8060, false, ResultRepetition, White), nullptr);
}

TEST(ResultLines, DrawsFoundAfterTheEnginesMove) {
    EXPECT_EQ(Line(MoveResultLine(8050, false, ResultRepetition, White)),
              "1/2-1/2 {Draw by 3 fold repetition (22)}\n");
    EXPECT_EQ(Line(MoveResultLine(0, false, ResultFiftyMoves, Black)), "1/2-1/2 {Draw by 50 moves rule (33)}\n");
    EXPECT_EQ(Line(MoveResultLine(-300, false, ResultInsufficientMaterial, White)),
              "1/2-1/2 {Draw by insufficient material to mate (44)}\n");
    EXPECT_EQ(MoveResultLine(120, false, 0, White), nullptr);
    EXPECT_EQ(MoveResultLine(120, false, ResultStalemate, White), nullptr);
}

}  // namespace
}  // namespace kavrin
