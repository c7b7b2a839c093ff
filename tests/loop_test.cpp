// The command words (prefix versus whole-word tests), the word, number and
// line readers of the loop, and the input test on a pipe.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "driver/command_loop.h"
#include "driver/engine_state.h"
#include "driver/input.h"
#include "support/test_engine.h"
#include "support/word_input.h"

namespace kavrin {
namespace {

TEST(CommandWords, InterfaceCommandsMatchByPrefix) {
    EXPECT_TRUE(IsTimeWord("time"));
    EXPECT_TRUE(IsTimeWord("timeout"));
    EXPECT_FALSE(IsTimeWord("tim"));
    EXPECT_FALSE(IsTimeWord("otim"));
    EXPECT_EQ(MatchCommandWord("go"), CommandWord::Go);
    EXPECT_EQ(MatchCommandWord("gone"), CommandWord::Go);
    EXPECT_EQ(MatchCommandWord("new"), CommandWord::NewGame);
    EXPECT_EQ(MatchCommandWord("newgame"), CommandWord::NewGame);
    EXPECT_EQ(MatchCommandWord("result"), CommandWord::NewGame);
    EXPECT_EQ(MatchCommandWord("results"), CommandWord::NewGame);
    EXPECT_EQ(MatchCommandWord("level"), CommandWord::Level);
    EXPECT_EQ(MatchCommandWord("forced"), CommandWord::Force);
    EXPECT_EQ(MatchCommandWord("setboard"), CommandWord::Setboard);
    EXPECT_EQ(MatchCommandWord("quitting"), CommandWord::Quit);
    EXPECT_EQ(MatchCommandWord("whiteboard"), CommandWord::White);
    EXPECT_EQ(MatchCommandWord("blackout"), CommandWord::Black);
}

TEST(CommandWords, ShortWordsDoNotMatchLongerCommands) {
    EXPECT_EQ(MatchCommandWord("g"), CommandWord::Unknown);
    EXPECT_EQ(MatchCommandWord("ne"), CommandWord::Unknown);
    EXPECT_EQ(MatchCommandWord("forc"), CommandWord::Unknown);
    EXPECT_EQ(MatchCommandWord("result"), CommandWord::NewGame);
    EXPECT_EQ(MatchCommandWord("resul"), CommandWord::Unknown);
    EXPECT_EQ(MatchCommandWord(""), CommandWord::Unknown);
}

TEST(CommandWords, EasyHardAndWorkbenchNeedTheWholeWord) {
    EXPECT_EQ(MatchCommandWord("easy"), CommandWord::Easy);
    EXPECT_EQ(MatchCommandWord("hard"), CommandWord::Hard);
    EXPECT_EQ(MatchCommandWord("hardly"), CommandWord::Unknown);
    EXPECT_EQ(MatchCommandWord("easygoing"), CommandWord::Unknown);
    EXPECT_EQ(MatchCommandWord("perft"), CommandWord::Perft);
    EXPECT_EQ(MatchCommandWord("perft5"), CommandWord::Unknown);
    EXPECT_EQ(MatchCommandWord("pgn2pos"), CommandWord::Pgn2Pos);
    EXPECT_EQ(MatchCommandWord("pgn2game"), CommandWord::Pgn2Game);
    EXPECT_EQ(MatchCommandWord("pgnlist2game"), CommandWord::PgnList2Game);
    EXPECT_EQ(MatchCommandWord("game2pgn"), CommandWord::Game2Pgn);
    EXPECT_EQ(MatchCommandWord("game2pos"), CommandWord::Game2Pos);
    EXPECT_EQ(MatchCommandWord("bookshow"), CommandWord::BookShow);
    EXPECT_EQ(MatchCommandWord("dbshow"), CommandWord::DbShow);
    EXPECT_EQ(MatchCommandWord("dbshowlin"), CommandWord::DbShowLin);
    EXPECT_EQ(MatchCommandWord("bookcreate"), CommandWord::BookCreate);
    EXPECT_EQ(MatchCommandWord("dbcreate"), CommandWord::DbCreate);
    EXPECT_EQ(MatchCommandWord("benchmark"), CommandWord::Benchmark);
    EXPECT_EQ(MatchCommandWord("test"), CommandWord::Test);
    EXPECT_EQ(MatchCommandWord("tests"), CommandWord::Unknown);
    EXPECT_EQ(MatchCommandWord("analyze"), CommandWord::Analyze);
    EXPECT_EQ(MatchCommandWord("analyzer"), CommandWord::Unknown);
    EXPECT_EQ(MatchCommandWord("pgn2posx"), CommandWord::Unknown);
}

using Reader = test::WordInput;

TEST_F(Reader, WordsSkipWhiteSpaceAndLineEnds) {
    WordSource source = Source("  time\t300\n\n otim  ");
    char word[CommandBufferSize];
    ASSERT_TRUE(ReadWord(source, word));
    EXPECT_STREQ(word, "time");
    ASSERT_TRUE(ReadWord(source, word));
    EXPECT_STREQ(word, "300");
    ASSERT_TRUE(ReadWord(source, word));
    EXPECT_STREQ(word, "otim");
    EXPECT_FALSE(ReadWord(source, word));
    EXPECT_FALSE(ReadWord(source, word));
}

TEST_F(Reader, OverlongWordKeeps255CharactersAndDropsTheRest) {
    WordSource source = Source(std::string(255, 'a') + "e2e4 next");
    char word[CommandBufferSize];
    ASSERT_TRUE(ReadWord(source, word));
    EXPECT_EQ(std::string(word), std::string(255, 'a'));
    ASSERT_TRUE(ReadWord(source, word));
    EXPECT_STREQ(word, "next");
}

TEST_F(Reader, WordOfExactly255Characters) {
    WordSource source = Source(std::string(255, 'b') + " c");
    char word[CommandBufferSize];
    ASSERT_TRUE(ReadWord(source, word));
    EXPECT_EQ(std::string(word).size(), 255u);
    ASSERT_TRUE(ReadWord(source, word));
    EXPECT_STREQ(word, "c");
}

TEST_F(Reader, NumbersReadAsPercentD) {
    WordSource source = Source(" -42 +7 300otim 99999999999 x");
    int value = 0;
    ASSERT_TRUE(ReadNumber(source, value));
    EXPECT_EQ(value, -42);
    ASSERT_TRUE(ReadNumber(source, value));
    EXPECT_EQ(value, 7);
    ASSERT_TRUE(ReadNumber(source, value));
    EXPECT_EQ(value, 300);
    char word[CommandBufferSize];
    ASSERT_TRUE(ReadWord(source, word));
    EXPECT_STREQ(word, "otim");
    ASSERT_TRUE(ReadNumber(source, value));
    EXPECT_EQ(value, 2147483647);
    value = 5;
    EXPECT_FALSE(ReadNumber(source, value));
    EXPECT_EQ(value, 5);
    ASSERT_TRUE(ReadWord(source, word));
    EXPECT_STREQ(word, "x");
    EXPECT_FALSE(ReadNumber(source, value));
}

TEST_F(Reader, LineRestStartsAfterTheWordAndKeepsItsLineEnd) {
    WordSource source = Source("setboard 8/8/8/8/8/8/8/8 w - -\nquit\n");
    char word[CommandBufferSize];
    ASSERT_TRUE(ReadWord(source, word));
    char line[CommandBufferSize];
    EXPECT_EQ(ReadLineRest(source, line), 23);
    EXPECT_STREQ(line, " 8/8/8/8/8/8/8/8 w - -\n");
    ASSERT_TRUE(ReadWord(source, word));
    EXPECT_STREQ(word, "quit");
}

TEST_F(Reader, OverlongLineIsCutAndItsTailDropped) {
    std::string text = " " + std::string(300, 'p') + " e2e4\ngo\n";
    WordSource source = Source(text);
    char line[CommandBufferSize];
    EXPECT_EQ(ReadLineRest(source, line), 254);
    EXPECT_EQ(std::string(line), text.substr(0, 254));
    char word[CommandBufferSize];
    ASSERT_TRUE(ReadWord(source, word));
    EXPECT_STREQ(word, "go");
}

TEST_F(Reader, LineOf253CharactersAndItsLineEndFits) {
    std::string text = std::string(253, 'q') + "\nnext\n";
    WordSource source = Source(text);
    char line[CommandBufferSize];
    EXPECT_EQ(ReadLineRest(source, line), 254);
    EXPECT_EQ(std::string(line), std::string(253, 'q') + "\n");
    char word[CommandBufferSize];
    ASSERT_TRUE(ReadWord(source, word));
    EXPECT_STREQ(word, "next");
}

TEST_F(Reader, LineRestAtEndOfInput) {
    WordSource source = Source(" 8/8 w");
    char line[CommandBufferSize];
    EXPECT_EQ(ReadLineRest(source, line), 6);
    EXPECT_STREQ(line, " 8/8 w");
    EXPECT_EQ(ReadLineRest(source, line), 0);
    EXPECT_STREQ(line, "");
}

// Puts a pipe on standard input for the duration of a test.
class PipeInput : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(pipe(ends), 0);
        savedStdin = dup(STDIN_FILENO);
        ASSERT_GE(savedStdin, 0);
        ASSERT_GE(dup2(ends[0], STDIN_FILENO), 0);
    }
    void TearDown() override {
        dup2(savedStdin, STDIN_FILENO);
        close(savedStdin);
        close(ends[0]);
        if (ends[1] >= 0) close(ends[1]);
        test::TestSession().input.source.pushedBack = EOF;
    }
    int ends[2] = {-1, -1};
    int savedStdin = -1;
};

TEST_F(PipeInput, CountsUnreadBytes) {
    EXPECT_EQ(InputPending(test::TestSession().input), 0u);
    ASSERT_EQ(write(ends[1], "x", 1), 1);
    EXPECT_EQ(InputPending(test::TestSession().input), 1u);
    ASSERT_EQ(write(ends[1], "e2e4\nquit", 9), 9);
    EXPECT_EQ(InputPending(test::TestSession().input), 10u);
    EXPECT_EQ(InputPending(test::TestSession().input), 10u);
}

TEST_F(PipeInput, APutBackWordStartCountsABlankDoesNot) {
    test::TestSession().input.source.pushedBack = '\n';
    EXPECT_EQ(InputPending(test::TestSession().input), 0u);
    test::TestSession().input.source.pushedBack = 'g';
    EXPECT_EQ(InputPending(test::TestSession().input), 1u);
}

TEST_F(PipeInput, ClosedWriterCountsAsPending) {
    close(ends[1]);
    ends[1] = -1;
    EXPECT_NE(InputPending(test::TestSession().input), 0u);
}

}  // namespace
}  // namespace kavrin
