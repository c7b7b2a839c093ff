// The Polyglot book format and its reader: the keys of the format's reference
// positions, the move word of every kind of move, the entry's byte order,
// files that cannot be played from (each with its message), the lookup of a
// position's entries, and the weighted choice among the legal moves.
#include "book/polyglot.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "board/board.h"
#include "board/fen.h"
#include "board/legal.h"
#include "board/movetext.h"
#include "book/polyglot_book.h"
#include "search/game.h"
#include "support/board_setup.h"
#include "support/files.h"
#include "support/test_engine.h"

namespace kavrin {
namespace {

using test::PlayIfLegal;
using test::PolyglotBookBytes;
using test::SetUpPosition;

// Plays the moves, separated by blanks, from the initial position.
void PlayFromStart(const std::string& moves) {
    SetUpPosition(InitialFen);
    std::istringstream words(moves);
    for (std::string word; words >> word;) ASSERT_TRUE(PlayIfLegal(word)) << word << " in " << moves;
}

// The reference keys of the format's documentation.
TEST(PolyglotKey, MatchesTheReferencePositions) {
    struct Case {
        const char* moves;
        uint64_t key;
    };
    const Case cases[] = {
        {"", 0x463b96181691fc9cULL},
        {"e2e4", 0x823c9b50fd114196ULL},
        {"e2e4 d7d5", 0x0756b94461c50fb0ULL},
        {"e2e4 d7d5 e4e5", 0x662fafb965db29d4ULL},
        {"e2e4 d7d5 e4e5 f7f5", 0x22a48b5a8e47ff78ULL},
        {"e2e4 d7d5 e4e5 f7f5 e1e2", 0x652a607ca3f242c1ULL},
        {"e2e4 d7d5 e4e5 f7f5 e1e2 e8f7", 0x00fdd303c946bdd9ULL},
        {"a2a4 b7b5 h2h4 b5b4 c2c4", 0x3c8123ea7b067637ULL},
        {"a2a4 b7b5 h2h4 b5b4 c2c4 b4c3 a1a3", 0x5c3f9b829b279560ULL},
    };
    for (const Case& c : cases) {
        PlayFromStart(c.moves);
        EXPECT_EQ(PolyglotKey(gamePosition.board, gamePosition.sideToMove), c.key) << "after '" << c.moves << "'";
    }
}

// The legal move of the game position whose text is text.
Move LegalMove(const char* text) {
    const Move m = TextToMoveOnBoard(gamePosition, text);
    EXPECT_TRUE(IsLegalMove(gamePosition, m)) << text;
    return m;
}

TEST(PolyglotMove, EncodesEveryKindOfMove) {
    struct Case {
        const char* fen;
        const char* move;
        uint16_t word;
    };
    // Words: promotion << 12 | from rank << 9 | from file << 6 | to rank << 3 | to file.
    const Case cases[] = {
        {InitialFen, "e2e4", 1 << 9 | 4 << 6 | 3 << 3 | 4},
        {InitialFen, "g1f3", 0 << 9 | 6 << 6 | 2 << 3 | 5},
        {"r3k2r/8/8/8/8/8/8/R3K2R w KQkq -", "e1g1", 0 << 9 | 4 << 6 | 0 << 3 | 7},
        {"r3k2r/8/8/8/8/8/8/R3K2R w KQkq -", "e1c1", 0 << 9 | 4 << 6 | 0 << 3 | 0},
        {"r3k2r/8/8/8/8/8/8/R3K2R b KQkq -", "e8g8", 7 << 9 | 4 << 6 | 7 << 3 | 7},
        {"r3k2r/8/8/8/8/8/8/R3K2R b KQkq -", "e8c8", 7 << 9 | 4 << 6 | 7 << 3 | 0},
        {"1r2k3/P7/8/8/8/8/8/4K3 w - -", "a7a8q", 4 << 12 | 6 << 9 | 0 << 6 | 7 << 3 | 0},
        {"1r2k3/P7/8/8/8/8/8/4K3 w - -", "a7b8n", 1 << 12 | 6 << 9 | 0 << 6 | 7 << 3 | 1},
        {"1r2k3/P7/8/8/8/8/8/4K3 w - -", "a7a8b", 2 << 12 | 6 << 9 | 0 << 6 | 7 << 3 | 0},
        {"4k3/8/8/8/8/8/p7/1R2K3 b - -", "a2b1r", 3 << 12 | 1 << 9 | 0 << 6 | 0 << 3 | 1},
        {"4k3/8/8/3pP3/8/8/8/4K3 w - d6", "e5d6", 4 << 9 | 4 << 6 | 5 << 3 | 3},
    };
    for (const Case& c : cases) {
        SetUpPosition(c.fen);
        const Move m = LegalMove(c.move);
        EXPECT_EQ(PolyglotMove(m), c.word) << c.move << " in " << c.fen;
        EXPECT_TRUE(IsPolyglotMoveWord(PolyglotMove(m))) << c.move;
    }
}

TEST(PolyglotMove, AMoveWordNamesAMove) {
    EXPECT_FALSE(IsPolyglotMoveWord(0));             // a1a1
    EXPECT_FALSE(IsPolyglotMoveWord(12 << 6 | 12));  // e2e2
    EXPECT_FALSE(IsPolyglotMoveWord(5 << 12 | 28));  // promotion field 5
    EXPECT_FALSE(IsPolyglotMoveWord(0x8000 | 28));   // bit 15
    EXPECT_TRUE(IsPolyglotMoveWord(12 << 6 | 28));   // e2e4
}

TEST(PolyglotEntry, IsWrittenHighestByteFirst) {
    const PolyglotEntry entry{0x0102030405060708ULL, 0x090A, 0x0B0C, 0x0D0E0F10};
    uint8_t bytes[PolyglotEntrySize];
    EncodePolyglotEntry(entry, bytes);
    for (int i = 0; i < PolyglotEntrySize; i++) EXPECT_EQ(bytes[i], i + 1) << "byte " << i;
    const PolyglotEntry back = DecodePolyglotEntry(bytes);
    EXPECT_EQ(back.key, entry.key);
    EXPECT_EQ(back.move, entry.move);
    EXPECT_EQ(back.weight, entry.weight);
    EXPECT_EQ(back.learn, entry.learn);
}

constexpr uint64_t StartKey = 0x463b96181691fc9cULL;
constexpr uint16_t E2E4 = 1 << 9 | 4 << 6 | 3 << 3 | 4;
constexpr uint16_t D2D4 = 1 << 9 | 3 << 6 | 3 << 3 | 3;
constexpr uint16_t E2E5 = 1 << 9 | 4 << 6 | 4 << 3 | 4;  // not a legal move at the start

class PolyglotFile : public test::InScratchFolder {
  protected:
    PolyglotBook book;
};

TEST_F(PolyglotFile, RefusesEveryFileItCannotPlayFromWithOneMessage) {
    const std::string good = PolyglotBookBytes({{1, E2E4, 1, 0}, {2, E2E4, 1, 0}});
    struct Case {
        const char* what;
        std::string bytes;  // written to the file unless it is a folder or missing
        const char* message;
    };
    const Case cases[] = {
        {"empty", "", "is empty"},
        {"truncated", good.substr(0, 17), "is truncated: 17 bytes are not a whole number of 16-byte entries"},
        {"one byte short", good.substr(0, 31), "is truncated: 31 bytes are not a whole number of 16-byte entries"},
        {"keys out of order", PolyglotBookBytes({{2, E2E4, 1, 0}, {1, E2E4, 1, 0}}),
         "is corrupt: entry 2 is out of key order"},
        {"origin is destination", PolyglotBookBytes({{1, 12 << 6 | 12, 1, 0}}), "is corrupt: entry 1 holds no move"},
        {"promotion field 7", PolyglotBookBytes({{1, E2E4, 1, 0}, {1, 7 << 12 | 28, 1, 0}}),
         "is corrupt: entry 2 holds no move"},
    };
    for (const Case& c : cases) {
        test::WriteFileBytes("book.bin", c.bytes);
        EXPECT_FALSE(book.Open("book.bin")) << c.what;
        EXPECT_EQ(book.Message(), std::string("Polyglot book 'book.bin' ") + c.message) << c.what;
        EXPECT_FALSE(book.IsOpen()) << c.what;
        EXPECT_EQ(book.EntryCount(), 0u) << c.what;
    }
    EXPECT_FALSE(book.Open("missing.bin"));
    EXPECT_EQ(book.Message(), "Polyglot book 'missing.bin' cannot be opened");
    EXPECT_FALSE(book.Open("."));
    EXPECT_EQ(book.Message(), "Polyglot book '.' is not a file");

    // Without a book there is no book move, and the Board stays as it was.
    SetUpPosition(InitialFen);
    const Board before = gamePosition.board;
    EXPECT_EQ(PolyglotBookMove(gamePosition, book), 0);
    test::ExpectSameBoard(gamePosition.board, before);

    // A good file after a bad one opens, and a move word 0 is no fault.
    test::WriteFileBytes("book.bin", good + PolyglotBookBytes({{3, 0, 1, 0}}));
    EXPECT_TRUE(book.Open("book.bin")) << book.Message();
    EXPECT_EQ(book.EntryCount(), 3u);
}

TEST_F(PolyglotFile, FindsTheRunOfAKeyAnywhereInTheFile) {
    std::vector<PolyglotEntry> entries;
    for (uint64_t key = 1; key <= 50; key++) {
        for (uint16_t n = 0; n < key % 4; n++) entries.push_back({key * 1000, static_cast<uint16_t>(E2E4 + n), 1, 0});
    }
    test::WriteFileBytes("book.bin", PolyglotBookBytes(entries));
    ASSERT_TRUE(book.Open("book.bin")) << book.Message();
    PolyglotEntry found[PolyglotPositionEntriesLimit];
    for (uint64_t key = 0; key <= 51; key++) {
        const int expected = key >= 1 && key <= 50 ? static_cast<int>(key % 4) : 0;
        ASSERT_EQ(book.Entries(key * 1000, found), expected) << key;
        for (int i = 0; i < expected; i++) EXPECT_EQ(found[i].move, E2E4 + i);
        EXPECT_EQ(book.Entries(key * 1000 + 1, found), 0) << key;
    }
}

TEST(PolyglotChoice, FollowsTheWeightsOfTheLegalMovesOnly) {
    SetUpPosition(InitialFen);
    const Move e4 = LegalMove("e2e4");
    const Move d4 = LegalMove("d2d4");
    const Move legal[] = {d4, e4};
    // e2e5 is no legal move and a weight of 0 is never chosen: the line of
    // weights is e2e4 [0, 3), d2d4 [3, 4).
    const PolyglotEntry entries[] = {
        {StartKey, E2E5, 50, 0}, {StartKey, E2E4, 3, 0}, {StartKey, D2D4, 1, 0}, {StartKey, D2D4, 0, 0}};
    const struct {
        uint64_t random;
        Move chosen;
    } cases[] = {{0, e4}, {1, e4}, {2, e4}, {3, d4}, {4, e4}, {7, d4}, {~uint64_t{0}, d4}};
    for (const auto& c : cases) EXPECT_EQ(ChooseWeightedMove(entries, 4, legal, 2, c.random), c.chosen) << c.random;
    EXPECT_EQ(ChooseWeightedMove(entries, 1, legal, 2, 0), 0);      // only the illegal move
    EXPECT_EQ(ChooseWeightedMove(entries + 3, 1, legal, 2, 0), 0);  // only a weight of 0
}

TEST(PolyglotChoice, TakesCastlingAsTheKingTakingItsRookOrAsItsTwoSquares) {
    SetUpPosition("r3k2r/8/8/8/8/8/8/R3K2R w KQkq -");
    const Move castle = LegalMove("e1g1");
    for (const uint16_t word : {uint16_t{4 << 6 | 7}, uint16_t{4 << 6 | 6}})
        EXPECT_TRUE(PolyglotWordNames(word, castle));
    EXPECT_FALSE(PolyglotWordNames(4 << 6 | 5, castle));
}

TEST_F(PolyglotFile, PlaysOnlyLegalBookMovesInProportionToTheirWeights) {
    // At the start: e2e4 three times as often as d2d4, never e2e5; after
    // 1. e4 nothing.
    test::WriteFileBytes("book.bin",
                         PolyglotBookBytes({{StartKey, E2E5, 100, 0}, {StartKey, E2E4, 3, 0}, {StartKey, D2D4, 1, 0}}));
    ASSERT_TRUE(book.Open("book.bin")) << book.Message();
    book.Seed(2024);
    SetUpPosition(InitialFen);
    const Board before = gamePosition.board;
    std::map<std::string, int> played;
    for (int i = 0; i < 400; i++) played[test::MoveText(PolyglotBookMove(gamePosition, book))]++;
    test::ExpectSameBoard(gamePosition.board, before);
    EXPECT_EQ(played.size(), 2u);
    EXPECT_GT(played["e2e4"], 250);
    EXPECT_GT(played["d2d4"], 60);
    ASSERT_TRUE(PlayIfLegal("e2e4"));
    EXPECT_EQ(PolyglotBookMove(gamePosition, book), 0);
}

}  // namespace
}  // namespace kavrin
