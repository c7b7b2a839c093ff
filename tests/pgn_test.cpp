// PGN reading against the live Board, its error texts and given-up games, and
// PGN writing in coordinate notation.
#include "notation/pgn.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>

#include "board/board.h"
#include "board/fen.h"
#include "search/game.h"
#include "support/files.h"
#include "support/test_engine.h"
#include "support/text.h"

namespace kavrin {
namespace {

constexpr uint64_t Unset = 0;

class PgnTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(ReadFen(gamePosition, InitialFen));
        initialKey = gamePosition.board.hashKey;
    }

    // Reads one game; the error text, if one was raised, goes to error.
    GameHeader Read(std::istream& in, std::string* error = nullptr, std::string* out = nullptr) {
        GameHeader bits = 0;
        std::string raised;
        const std::string printed = test::StdoutOf(
            [&] { raised = test::GameFileErrorOf([&] { bits = ReadPgnGame(gamePosition, game, in); }); });
        if (error != nullptr) {
            *error = raised;
        } else {
            EXPECT_EQ(raised, "") << "unexpected error";
        }
        if (out != nullptr) *out = printed;
        return bits;
    }
    GameHeader ReadText(const std::string& text, std::string* error = nullptr, std::string* out = nullptr) {
        std::istringstream in(text);
        return Read(in, error, out);
    }
    std::string ErrorOf(const std::string& text, std::string* out = nullptr) {
        std::string error;
        ReadText(text, &error, out);
        return error;
    }

    test::LogCapture log;
    GameRecord game{};
    uint64_t initialKey = Unset;
};

TEST_F(PgnTest, ResultTagForms) {
    const std::pair<const char*, char> forms[] = {
        {"[Result \"1-0\"]", 'W'}, {"[Result  \"1-0\"]", 'W'},
        {"[Result\"1-0\"]", 'W'},  {"[Result \"1-0 by adjudication\"]", 'W'},
        {"[Result \"0-1\"]", 'B'}, {"[Result \"1/2-1/2\"]", 'D'},
        {"[Result \"*\"]", '*'},
    };
    for (const auto& [tag, code] : forms) {
        std::istringstream in(std::string("[Event \"x\"]\n") + tag + "\n[Site \"y\"]\n\n1. e4 *");
        GameResult result{};
        EXPECT_TRUE(ReadPgnTags(result, in)) << tag;
        EXPECT_EQ(result.code, code) << tag;
        EXPECT_EQ(in.get(), '1') << "the first movetext character stays unread";
    }
    GameResult result{};
    std::istringstream bad("[Result \"2-0\"]\n1. e4 2-0");
    EXPECT_THROW(ReadPgnTags(result, bad), GameFileError);
    std::istringstream none("[Event \"x\"]\n1. e4 1-0");
    EXPECT_EQ(test::GameFileErrorOf([&] { ReadPgnTags(result, none); }), "Result Error 2");
    EXPECT_EQ(ErrorOf("[Result \"1-2\"]\n1. e4 1-0"), "Result Error 1");
}

TEST_F(PgnTest, ResultCodesSetTheirTexts) {
    GameResult result{};
    SetResultFromCode(result, 'W');
    EXPECT_STREQ(result.text, "1-0");
    SetResultFromCode(result, 'B');
    EXPECT_STREQ(result.text, "0-1");
    SetResultFromCode(result, 'D');
    EXPECT_STREQ(result.text, "1/2-1/2");
    SetResultFromCode(result, '*');
    EXPECT_EQ(result.code, '?');
    EXPECT_STREQ(result.text, "");
}

TEST_F(PgnTest, TagsWithoutMovesAndEndOfInput) {
    EXPECT_EQ(ReadText("[Event \"x\"]\n[Result \"1-0\"]\n"), 0);
    EXPECT_EQ(ReadText(""), 0);
    EXPECT_EQ(ReadText("[Result \"1-0\"]\n 1-0\n"), 0);  // no moves
    EXPECT_EQ(ErrorOf("1. e4 e5 1-0"), "Result Error 2");
}

TEST_F(PgnTest, GameIsReadAndTakenBack) {
    std::istringstream in(
        "[Result \"1-0\"]\n\n1. e4 e5 2. Qh5 Nc6 3. Bc4 Nf6 4. Qxf7# 1-0\n\n[Result \"0-1\"]\n1. f3 e5 2. g4 Qh4# 0-1");
    EXPECT_EQ(Read(in), HeaderWhiteWon);
    EXPECT_EQ(game.Header(), HeaderWhiteWon | 7);
    EXPECT_EQ(game.moves[1], MakeMoveWord(52, 36, Quiet));
    EXPECT_EQ(game.moves[7], MakeMoveWord(31, 13, Capture));
    EXPECT_EQ(gamePosition.board.hashKey, initialKey);
    EXPECT_EQ(gamePosition.sideToMove, White);
    EXPECT_EQ(Read(in), HeaderBlackWon);
    EXPECT_EQ(game.Header(), HeaderBlackWon | 4);
    EXPECT_EQ(gamePosition.board.hashKey, initialKey);
    EXPECT_EQ(gamePosition.historyTop, gamePosition.history);
}

TEST_F(PgnTest, DrawResultIsConsumedWhole) {
    std::istringstream in("[Result \"1/2-1/2\"]\n1. e4 e5 1/2-1/2\n[Result \"1-0\"]\n1. d4 1-0");
    EXPECT_EQ(Read(in), HeaderDraw);
    EXPECT_EQ(game.Header(), HeaderDraw | 2);
    EXPECT_EQ(Read(in), HeaderWhiteWon);
    EXPECT_EQ(ErrorOf("[Result \"1/2-1/2\"]\n1. e4 e5 1/2"), "wrong end result 1");
    EXPECT_EQ(ErrorOf("[Result \"1/2-1/2\"]\n1. e4 e5 1/2-1/3"), "wrong end result 1");
    EXPECT_EQ(gamePosition.board.hashKey, initialKey);
}

TEST_F(PgnTest, MoveNumbersGlyphsCommentsAndVariations) {
    const char* text =
        "[Result \"0-1\"]\n"
        "1. e4 {a {nested} comment (with a paren} e5 $14 2. Nf3 (2. Nc3 (2. f4 exf4) Nc6) 2... Nc6\n"
        "3. Bb5 $1 {} a6 12... 0-1";
    EXPECT_EQ(ReadText(text), HeaderBlackWon);
    EXPECT_EQ(game.PlyCount(), 6);
    EXPECT_EQ(game.moves[6], MakeMoveWord(8, 16, Quiet));
    // A ')' inside a comment inside a variation ends the variation there: the
    // rest of the variation is read as moves.
    std::string out;
    EXPECT_EQ(ReadText("[Result \"1-0\"]\n1. e4 (1. d4 {see)} d5) e5 1-0", nullptr, &out), 0);
    EXPECT_EQ(out, "move: }, plyNo:2\n");
}

TEST_F(PgnTest, TheClosingStarIsConsumed) {
    std::istringstream in("[Result \"*\"]\n1. e4 e5 *\n\n[Result \"1-0\"]\n1. d4 d5 1-0\n");
    EXPECT_EQ(Read(in), 0);
    EXPECT_EQ(game.Header(), 2) << "the record of an unfinished game is complete";
    EXPECT_EQ(Read(in), HeaderWhiteWon);
    EXPECT_EQ(game.Header(), HeaderWhiteWon | 2);
    EXPECT_EQ(ErrorOf("[Result \"1-0\"]\n1. e4 e5 *"), "Result * error");
    EXPECT_EQ(gamePosition.board.hashKey, initialKey);
}

TEST_F(PgnTest, CaptureMarksAndEnPassant) {
    EXPECT_EQ(ReadText("[Result \"1-0\"]\n1. Nxf3 Nc6 2. e4 d5 3. e5 f5 4. exf6 1-0"), HeaderWhiteWon);
    EXPECT_EQ(game.moves[1], MakeMoveWord(62, 45, Quiet));
    EXPECT_EQ(game.moves[7], MakeMoveWord(28, 21, EnPassant));
    EXPECT_EQ(ReadText("[Result \"1-0\"]\n1. e4 d5 2. e5 f5 3. exf6 1-0"), HeaderWhiteWon);
    EXPECT_EQ(game.moves[5], MakeMoveWord(28, 21, EnPassant));
}

TEST_F(PgnTest, PromotionWithoutPieceIsIllegal) {
    const char* prefix = "[Result \"1-0\"]\n1. h4 g5 2. hxg5 h6 3. gxh6 Nf6 4. h7 Ng8 5. hxg8";
    EXPECT_EQ(ReadText(std::string(prefix) + "=Q 1-0"), HeaderWhiteWon);
    EXPECT_EQ(game.moves[9], MakeMoveWord(15, 6, CapturePromoteQueen));
    std::string out;
    EXPECT_EQ(ErrorOf(std::string(prefix) + " 1-0", &out), "MOVE NOT LEGAL 1");
    EXPECT_NE(out.find("move: hxg8, plyNo:9\n"), std::string::npos);
    EXPECT_NE(out.find("\n8 r n b q k b n r \n7 p p p p p p . P "), std::string::npos) << "the diagram of the position";
    EXPECT_NE(log.Text().find("hxg8MOVE NOT LEGAL 1\n"), std::string::npos);
    EXPECT_EQ(gamePosition.board.hashKey, initialKey);
}

TEST_F(PgnTest, RevealedCheckIsRaised) {
    std::string out;
    EXPECT_EQ(ErrorOf("[Result \"1-0\"]\n1. e4 d6 2. Bb5+ Nd7 3. a3 Nb6 1-0", &out),
              "MOVE NOT LEGAL 2 - check revealed");
    EXPECT_NE(out.find("move: Nb6, plyNo:6\n"), std::string::npos);
    EXPECT_EQ(gamePosition.board.hashKey, initialKey);
    EXPECT_EQ(gamePosition.historyTop, gamePosition.history);
}

TEST_F(PgnTest, UnreadableTokenGivesTheGameUp) {
    std::string out;
    std::istringstream in("[Result \"1-0\"]\n1. e4 e5 2. Zz9 Nc6 1-0\n[Result \"1-0\"]\n1. d4 1-0");
    std::string error;
    EXPECT_EQ(Read(in, &error, &out), 0);
    EXPECT_EQ(out, "move: Zz9, plyNo:3\n");
    EXPECT_NE(log.Text().find("Zz9ERROR\n"), std::string::npos);
    EXPECT_EQ(gamePosition.board.hashKey, initialKey);
    // The rest of the game stays unread: the next game meets movetext.
    EXPECT_EQ(Read(in, &error), 0);
    EXPECT_EQ(error, "Result Error 2");
}

TEST_F(PgnTest, CastlingWrittenWithZeros) {
    const char* moves = "1. e4 e5 2. Nf3 Nc6 3. Bc4 Bc5 4. ";
    // Under 0-1 the first zero starts the closing result.
    EXPECT_EQ(ErrorOf(std::string("[Result \"0-1\"]\n") + moves + "0-0 Nf6 0-1"), "wrong end result 1");
    // Otherwise the zero is skipped: -0 cannot be read, -0-0 becomes 00.
    std::string out;
    EXPECT_EQ(ReadText(std::string("[Result \"1-0\"]\n") + moves + "0-0 Nf6 1-0", nullptr, &out), 0);
    EXPECT_EQ(out, "move: -0, plyNo:7\n");
    EXPECT_EQ(ReadText(std::string("[Result \"1-0\"]\n") + moves + "0-0-0 Nf6 1-0"), HeaderWhiteWon);
    EXPECT_EQ(game.moves[7], CastleWhiteKingSide);
    EXPECT_EQ(ReadText(std::string("[Result \"1-0\"]\n") + moves + "O-O Nf6 1-0"), HeaderWhiteWon);
    EXPECT_EQ(game.moves[7], CastleWhiteKingSide);
}

TEST_F(PgnTest, SemicolonCommentIsNotRecognised) {
    std::string out;
    EXPECT_EQ(ReadText("[Result \"1-0\"]\n1. e4 ; a remark\ne5 1-0", nullptr, &out), 0);
    EXPECT_EQ(out, "move: ;, plyNo:2\n");
}

TEST_F(PgnTest, LongGamesKeepTheirFirst1023Plies) {
    std::string text = "[Result \"1/2-1/2\"]\n";
    const char* cycle[] = {"Nf3", "Nf6", "Ng1", "Ng8"};
    for (int i = 0; i < MaxGamePlies; ++i) text += std::string(cycle[i % 4]) + (i % 2 ? "\n" : " ");
    // Beyond the cap the position stays the one after ply 1023, black to move.
    text += "Ng8 Nc6 Nh5 Ng8 ";
    std::string printed;
    EXPECT_EQ(ReadText(text + "1/2-1/2", nullptr, &printed), HeaderDraw) << printed;
    EXPECT_EQ(game.PlyCount(), MaxGamePlies);
    EXPECT_EQ(game.moves[MaxGamePlies], MakeMoveWord(45, 62, Quiet)) << "ply 1023 is Ng1";
    EXPECT_EQ(gamePosition.board.hashKey, initialKey);
    // Tokens beyond the cap are still read: an unreadable one gives the game up.
    EXPECT_EQ(ReadText(text + "Zz9 1/2-1/2"), 0);
    // Moves beyond the cap are not tested: an illegal one is ignored.
    EXPECT_EQ(ReadText(text + "Ke5 1/2-1/2"), HeaderDraw);
}

TEST_F(PgnTest, HugeTagLineIsSkippedToItsEnd) {
    const std::string huge = "[Event \"" + std::string(5000, 'x') + "\"]\n";
    std::istringstream in(huge + "[Result \"1-0\"]\n1. e4 1-0\n" + "[Result \"" + std::string(600, '1') +
                          "\n1. d4 1-0");
    EXPECT_EQ(Read(in), HeaderWhiteWon);
    EXPECT_EQ(game.Header(), HeaderWhiteWon | 1);
    std::string error;
    Read(in, &error);
    EXPECT_EQ(error, "Result Error 1");
}

TEST_F(PgnTest, TokensAreCutAtTenCharacters) {
    std::istringstream in("Nf3+!!!!!!!!!! x");
    GameRecord record{};
    EXPECT_EQ(ReadSanToken(gamePosition, record, in), MakeMoveWord(62, 45, Quiet));
    EXPECT_STREQ(record.token, "Nf3+!!!!!!");
    EXPECT_EQ(in.get(), '!');
    std::istringstream braced("e4{comment}");
    EXPECT_EQ(ReadSanToken(gamePosition, record, braced), MakeMoveWord(52, 36, Quiet));
    EXPECT_EQ(braced.get(), '{');
    std::istringstream paren("e4)");
    EXPECT_EQ(ReadSanToken(gamePosition, record, paren), 0);
    EXPECT_STREQ(record.token, "e4)");
}

TEST_F(PgnTest, BinaryGarbageNeverReadsOutOfBounds) {
    uint32_t seed = 12345;
    for (int round = 0; round < 200; ++round) {
        std::string text = round % 2 ? "[Result \"1-0\"]\n" : "";
        for (int i = 0; i < 300; ++i) {
            seed = seed * 1664525u + 1013904223u;
            text += static_cast<char>(seed >> 24);
        }
        std::string error;
        ReadText(text, &error);
        ASSERT_TRUE(ReadFen(gamePosition, InitialFen));
    }
}

TEST_F(PgnTest, WrittenGameReadsBackTheSame) {
    ASSERT_EQ(ReadText("[Result \"1/2-1/2\"]\n1. e4 d5 2. exd5 Qxd5 3. Nc3 Qa5 4. Bc4 Nf6 5. Nf3 Bg4 6. O-O e6 "
                       "7. h3 Bh5 8. d4 Nbd7 9. Bf4 O-O-O 1/2-1/2"),
              HeaderDraw);
    const GameRecord written = game;
    std::ostringstream out;
    WritePgnGame(written, out);
    EXPECT_EQ(out.str().rfind("[Result \"1/2-1/2\"]\n1. e2e4 d7d5 2. e4d5 d8d5 3. ", 0), 0u) << out.str();
    EXPECT_NE(out.str().find(" 6. e1g1 e7e6 "), std::string::npos);
    EXPECT_NE(out.str().find(" e8c8 1/2-1/2\n"), std::string::npos);
    std::istringstream in(out.str());
    EXPECT_EQ(Read(in), HeaderDraw);
    EXPECT_EQ(game.Header(), written.Header());
    for (int i = 1; i <= written.PlyCount(); ++i) EXPECT_EQ(game.moves[i], written.moves[i]) << i;
}

TEST_F(PgnTest, WritingExactForms) {
    GameRecord record{};
    SetResultFromCode(record.result, 'W');
    record.moves[0] = HeaderWhiteWon | 3;
    record.moves[1] = MakeMoveWord(52, 36, Quiet);
    record.moves[2] = MakeMoveWord(12, 28, Quiet);
    record.moves[3] = MakeMoveWord(59, 31, Quiet);
    std::ostringstream out;
    WritePgnGame(record, out);
    EXPECT_EQ(out.str(), "[Result \"1-0\"]\n1. e2e4 e7e5 2. d1h5 1-0\n");
    record.moves[0] = HeaderBlackWon;
    SetResultFromCode(record.result, 'B');
    std::ostringstream empty;
    WritePgnGame(record, empty);
    EXPECT_EQ(empty.str(), "[Result \"0-1\"]\n0-1\n");
    record.moves[0] = HeaderDraw | 1;
    record.moves[1] = MakeMoveWord(12, 4, PromoteKnight);
    SetResultFromCode(record.result, 'D');
    std::ostringstream promo;
    WritePgnGame(record, promo);
    EXPECT_EQ(promo.str(), "[Result \"1/2-1/2\"]\n1. e7e8n 1/2-1/2\n");
}

}  // namespace
}  // namespace kavrin
