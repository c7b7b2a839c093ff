// Attack and mask tables, rotated layouts, bit primitives, position keys and
// the position check.
#include "board/board.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "board/fen.h"
#include "board/makemove.h"
#include "board/movegen.h"
#include "board/poscheck.h"
#include "board/tables.h"
#include "board/zobrist.h"
#include "search/game.h"
#include "support/board_setup.h"
#include "support/random_positions.h"
#include "support/test_engine.h"

namespace kavrin {
namespace {

using test::Sq;

Bitboard Squares(std::initializer_list<const char*> names) {
    Bitboard b = 0;
    for (const char* n : names) b |= Bit(Sq(n));
    return b;
}

// Attacks by walking every ray square by square, for comparison.
Bitboard NaiveSlider(int s, Bitboard occ, bool straight, bool diagonal) {
    static const int dirs[8][3] = {{-1, 0, 0},  {1, 0, 0},  {0, -1, 0}, {0, 1, 0},
                                   {-1, -1, 1}, {-1, 1, 1}, {1, -1, 1}, {1, 1, 1}};
    Bitboard attacks = 0;
    for (const auto& d : dirs) {
        if ((d[2] && !diagonal) || (!d[2] && !straight)) continue;
        int row = s / 8 + d[0], column = s % 8 + d[1];
        while (row >= 0 && row < 8 && column >= 0 && column < 8) {
            attacks |= Bit(row * 8 + column);
            if (occ & Bit(row * 8 + column)) break;
            row += d[0];
            column += d[1];
        }
    }
    return attacks;
}

Bitboard NaiveLeaper(int s, const std::vector<std::pair<int, int>>& steps) {
    Bitboard b = 0;
    for (auto [dr, dc] : steps) {
        const int row = s / 8 + dr, column = s % 8 + dc;
        if (row >= 0 && row < 8 && column >= 0 && column < 8) b |= Bit(row * 8 + column);
    }
    return b;
}

// Sets the Board's occupancy (plain and rotated) for the slider lookups.
void SetOccupancy(Bitboard occ) {
    gamePosition.board.occupied = occ;
    gamePosition.board.occupiedFiles = RotateFiles(occ);
    gamePosition.board.occupiedA1H8 = RotateA1H8(occ);
    gamePosition.board.occupiedA8H1 = RotateA8H1(occ);
}

using TablesTest = ::testing::Test;

TEST_F(TablesTest, SquareNumbersAndBitOrder) {
    EXPECT_EQ(SquareMask[0], Bitboard{1} << 63);  // a8
    EXPECT_EQ(SquareMask[63], Bitboard{1});       // h1
    EXPECT_EQ(SquareMask[56], Bitboard{1} << 7);  // a1
    EXPECT_EQ(SquareMask[7], Bitboard{1} << 56);  // h8
    for (int s = 0; s < 64; ++s) EXPECT_EQ(SquareMask[s], Bit(s)) << s;
}

TEST_F(TablesTest, EdgeCasesOfTheAttackTables) {
    // Rook on a1 with only a1 and d1 occupied: rank byte has bits 7 (a) and 4 (d).
    EXPECT_EQ(RankAttacks[56][0x80 | 0x10], Squares({"b1", "c1", "d1"}));
    EXPECT_EQ(PopCount(RookRays[Sq("a1")]), 14);
    EXPECT_EQ(PopCount(BishopRays[Sq("d4")]), 13);
    for (const char* corner : {"a1", "h1", "a8", "h8"}) EXPECT_EQ(PopCount(QueenRays[Sq(corner)]), 21) << corner;
    EXPECT_EQ(KnightAttacks[Sq("a1")], Squares({"b3", "c2"}));
    EXPECT_EQ(KingAttacks[Sq("h8")], Squares({"g8", "g7", "h7"}));
    EXPECT_EQ(WhitePawnAttacks[Sq("a2")], Squares({"b3"}));
    EXPECT_EQ(BlackPawnAttacks[Sq("h7")], Squares({"g6"}));
    EXPECT_EQ(WhitePawnAttacks[Sq("e4")], Squares({"d5", "f5"}));
    EXPECT_EQ(BlackPawnAttacks[Sq("e4")], Squares({"d3", "f3"}));
}

TEST_F(TablesTest, LeaperTablesMatchAWalkOverEverySquare) {
    const std::vector<std::pair<int, int>> king = {{-1, -1}, {-1, 0}, {-1, 1}, {0, -1},
                                                   {0, 1},   {1, -1}, {1, 0},  {1, 1}};
    const std::vector<std::pair<int, int>> knight = {{-2, -1}, {-2, 1}, {-1, -2}, {-1, 2},
                                                     {1, -2},  {1, 2},  {2, -1},  {2, 1}};
    for (int s = 0; s < 64; ++s) {
        EXPECT_EQ(KingAttacks[s], NaiveLeaper(s, king)) << s;
        EXPECT_EQ(KnightAttacks[s], NaiveLeaper(s, knight)) << s;
        EXPECT_EQ(WhitePawnAttacks[s], NaiveLeaper(s, {{-1, -1}, {-1, 1}})) << s;
        EXPECT_EQ(BlackPawnAttacks[s], NaiveLeaper(s, {{1, -1}, {1, 1}})) << s;
    }
}

TEST_F(TablesTest, StoredLineIndexConstantsMatchTheirFigures) {
    const uint8_t shiftRow0[8] = {63, 61, 58, 54, 49, 43, 36, 28};
    const uint8_t maskRow0[8] = {1, 3, 7, 15, 31, 63, 127, 255};
    const uint8_t tail[7] = {21, 15, 10, 6, 3, 1, 0};
    for (int c = 0; c < 8; ++c) {
        EXPECT_EQ(ShiftA1H8[c], shiftRow0[c]);
        EXPECT_EQ(MaskA1H8[c], maskRow0[c]);
        EXPECT_EQ(ShiftA8H1[c], shiftRow0[7 - c]);
        EXPECT_EQ(MaskA8H1[c], maskRow0[7 - c]);
    }
    // Each later row shifts the pattern one column left and appends the tail.
    for (int row = 1; row < 8; ++row) {
        for (int c = 0; c < 7; ++c) EXPECT_EQ(ShiftA1H8[row * 8 + c], ShiftA1H8[(row - 1) * 8 + c + 1]);
        EXPECT_EQ(ShiftA1H8[row * 8 + 7], tail[row - 1]);
    }
    // The a8-h1 direction mirrors the a1-h8 one file-wise.
    for (int s = 0; s < 64; ++s) {
        EXPECT_EQ(ShiftA8H1[s], ShiftA1H8[(s & ~7) | (7 - (s & 7))]) << s;
        EXPECT_EQ(MaskA8H1[s], MaskA1H8[(s & ~7) | (7 - (s & 7))]) << s;
    }
}

TEST_F(TablesTest, RotationsFollowTheirSquareSequences) {
    // Files: file c in bits 8c..8c+7, rank 8 as bit 7 of that byte.
    for (int s = 0; s < 64; ++s) EXPECT_EQ(RotateFiles(Bit(s)), Bitboard{1} << (8 * (s % 8) + 7 - s / 8)) << s;
    // a1-h8: a8; a7 b8; a6 b7 c8; ... g1 h2; h1 (sequence position i at bit 63 - i).
    const char* startA1H8[] = {"a8", "a7", "b8", "a6", "b7", "c8", "a5", "b6", "c7", "d8"};
    for (int i = 0; i < 10; ++i) EXPECT_EQ(RotateA1H8(Bit(Sq(startA1H8[i]))), Bitboard{1} << (63 - i));
    EXPECT_EQ(RotateA1H8(Bit(Sq("h1"))), Bitboard{1} << 0);
    EXPECT_EQ(RotateA1H8(Bit(Sq("h2"))), Bitboard{1} << 1);
    EXPECT_EQ(RotateA1H8(Bit(Sq("g1"))), Bitboard{1} << 2);
    // a8-h1: h8; g8 h7; f8 g7 h6; ... a2 b1; a1.
    const char* startA8H1[] = {"h8", "g8", "h7", "f8", "g7", "h6"};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(RotateA8H1(Bit(Sq(startA8H1[i]))), Bitboard{1} << (63 - i));
    EXPECT_EQ(RotateA8H1(Bit(Sq("a1"))), Bitboard{1} << 0);
    EXPECT_EQ(RotateA8H1(Bit(Sq("b1"))), Bitboard{1} << 1);
    EXPECT_EQ(RotateA8H1(Bit(Sq("a2"))), Bitboard{1} << 2);
}

TEST_F(TablesTest, RotationsArePermutationsAppliedBitByBit) {
    Bitboard files = 0, a1h8 = 0, a8h1 = 0;
    for (int s = 0; s < 64; ++s) {
        EXPECT_EQ(PopCount(SquareMaskFiles[s]), 1);
        EXPECT_EQ(PopCount(SquareMaskA1H8[s]), 1);
        EXPECT_EQ(PopCount(SquareMaskA8H1[s]), 1);
        files |= SquareMaskFiles[s];
        a1h8 |= SquareMaskA1H8[s];
        a8h1 |= SquareMaskA8H1[s];
    }
    EXPECT_EQ(files, ~Bitboard{0});
    EXPECT_EQ(a1h8, ~Bitboard{0});
    EXPECT_EQ(a8h1, ~Bitboard{0});
    test::TestRandom random(7);
    for (int n = 0; n < 200; ++n) {
        const Bitboard b = random.Next() & random.Next();
        Bitboard f = 0, d1 = 0, d2 = 0;
        for (int s = 0; s < 64; ++s)
            if (b & Bit(s)) {
                f |= SquareMaskFiles[s];
                d1 |= SquareMaskA1H8[s];
                d2 |= SquareMaskA8H1[s];
            }
        EXPECT_EQ(RotateFiles(b), f);
        EXPECT_EQ(RotateA1H8(b), d1);
        EXPECT_EQ(RotateA8H1(b), d2);
    }
    // The initial occupancy: ranks 1, 2, 7 and 8 are bits 0, 1, 6 and 7 of every file byte.
    EXPECT_EQ(RotateFiles(0xFFFF00000000FFFFULL), 0xC3C3C3C3C3C3C3C3ULL);
}

TEST_F(TablesTest, SliderLookupsMatchARayWalk) {
    test::TestRandom random(11);
    for (int n = 0; n < 400; ++n) {
        // Sparse and dense occupancies alike.
        Bitboard occ = random.Next();
        if (n % 3 == 0) occ &= random.Next() & random.Next();
        if (n % 3 == 1) occ |= random.Next();
        SetOccupancy(occ);
        for (int s = 0; s < 64; ++s) {
            ASSERT_EQ(RookAttacksFrom(gamePosition.board, s), NaiveSlider(s, occ, true, false)) << s << " " << occ;
            ASSERT_EQ(BishopAttacksFrom(gamePosition.board, s), NaiveSlider(s, occ, false, true)) << s << " " << occ;
            ASSERT_EQ(QueenAttacksFrom(gamePosition.board, s), NaiveSlider(s, occ, true, true)) << s << " " << occ;
        }
    }
    SetOccupancy(0);
    for (int s = 0; s < 64; ++s) {
        EXPECT_EQ(RookRays[s], NaiveSlider(s, 0, true, false));
        EXPECT_EQ(BishopRays[s], NaiveSlider(s, 0, false, true));
        EXPECT_EQ(QueenRays[s], RookRays[s] | BishopRays[s]);
        EXPECT_EQ(QueenAttacksFrom(gamePosition.board, s), QueenRays[s]);
    }
}

TEST_F(TablesTest, OwnSquareOccupancyPlaysNoPart) {
    for (int s = 0; s < 64; ++s) {
        const unsigned ownRank = 1u << (7 - s % 8);
        const unsigned ownFile = 1u << (7 - s / 8);
        for (unsigned occ = 0; occ < 256; ++occ) {
            ASSERT_EQ(RankAttacks[s][occ], RankAttacks[s][occ ^ ownRank]);
            ASSERT_EQ(FileAttacks[s][occ], FileAttacks[s][occ ^ ownFile]);
            ASSERT_EQ(RankAttacks[s][occ] & Bit(s), 0u);
        }
    }
}

TEST_F(TablesTest, FileAndSpanMasks) {
    for (int s = 0; s < 64; ++s) {
        Bitboard file = 0, adjacent = 0, whiteSpan = 0, blackSpan = 0, whiteFront = 0, blackFront = 0;
        for (int q = 0; q < 64; ++q) {
            const int dc = q % 8 - s % 8;
            if (dc == 0) file |= Bit(q);
            if (dc == 1 || dc == -1) adjacent |= Bit(q);
            if (dc >= -1 && dc <= 1 && q / 8 < s / 8) whiteSpan |= Bit(q);
            if (dc >= -1 && dc <= 1 && q / 8 > s / 8) blackSpan |= Bit(q);
            if (dc == 0 && q / 8 < s / 8) whiteFront |= Bit(q);
            if (dc == 0 && q / 8 > s / 8) blackFront |= Bit(q);
        }
        EXPECT_EQ(FileOthers[s], file & ~Bit(s)) << s;
        EXPECT_EQ(AdjacentFiles[s], adjacent) << s;
        EXPECT_EQ(PassedSpanWhite[s], whiteSpan) << s;
        EXPECT_EQ(PassedSpanBlack[s], blackSpan) << s;
        EXPECT_EQ(FrontSpanWhite[s], whiteFront) << s;
        EXPECT_EQ(FrontSpanBlack[s], blackFront) << s;
    }
    EXPECT_EQ(FrontSpanWhite[Sq("e6")], Squares({"e7", "e8"}));
    EXPECT_EQ(PassedSpanBlack[Sq("a2")], Squares({"a1", "b1"}));
    EXPECT_EQ(PopCount(AdjacentFiles[Sq("h4")]), 8);
}

TEST_F(TablesTest, EnPassantRotatedMasksMoveTheCapturedPawn) {
    for (int t = 0; t < 64; ++t) {
        const bool white = t >= 16 && t <= 23, black = t >= 40 && t <= 47;
        if (!white && !black) {
            for (int r = 0; r < 3; ++r) EXPECT_EQ(EpRotatedMasks[r][t], 0u) << t;
            continue;
        }
        const int captured = white ? t + 8 : t - 8;
        // Occupancy with the captured pawn and some bystanders; toggling the
        // mask gives the occupancy with the destination set and the pawn gone.
        const Bitboard before = Bit(captured) | Bit(0) | Bit(63) | Bit(35);
        const Bitboard after = (before & ~Bit(captured)) | Bit(t);
        EXPECT_EQ(RotateFiles(before) ^ EpRotatedMasks[0][t], RotateFiles(after)) << t;
        EXPECT_EQ(RotateA1H8(before) ^ EpRotatedMasks[1][t], RotateA1H8(after)) << t;
        EXPECT_EQ(RotateA8H1(before) ^ EpRotatedMasks[2][t], RotateA8H1(after)) << t;
    }
}

TEST(BitPrimitives, MatchAPlainLoop) {
    auto naiveLowest = [](Bitboard b) {
        for (int bit = 0; bit < 64; ++bit)
            if (b >> bit & 1) return 63 - bit;
        return -1;
    };
    auto naiveCount = [](uint64_t b) {
        int n = 0;
        for (int bit = 0; bit < 64; ++bit) n += static_cast<int>(b >> bit & 1);
        return n;
    };
    for (int bit = 0; bit < 64; ++bit) {
        const Bitboard single = Bitboard{1} << bit;
        EXPECT_EQ(LowestSquare(single), 63 - bit);
        EXPECT_EQ(LowestSquare(~Bitboard{0} << bit), 63 - bit);
        EXPECT_EQ(PopCount(single), 1);
        EXPECT_EQ(PopCount(single - 1), bit);
    }
    test::TestRandom random(3);
    for (int n = 0; n < 2000; ++n) {
        const Bitboard b = random.Next() & (n % 2 ? random.Next() : ~Bitboard{0});
        if (b) {
            EXPECT_EQ(LowestSquare(b), naiveLowest(b));
        }
        EXPECT_EQ(PopCount(b), naiveCount(b));
    }
    EXPECT_EQ(PopCount(~Bitboard{0}), 64);
    EXPECT_EQ(PopCount(0), 0);
    EXPECT_EQ(LowestSquare(Bit(0)), 0);
    // Taking the lowest bit first visits squares in descending order.
    Bitboard b = Squares({"a8", "e4", "h1", "b2"});
    std::vector<int> order;
    while (b) {
        order.push_back(LowestSquare(b));
        b &= b - 1;
    }
    EXPECT_EQ(order, (std::vector<int>{Sq("h1"), Sq("b2"), Sq("e4"), Sq("a8")}));
}

TEST(ZobristKeys, DistinctNonZeroAndWellMixed) {
    std::set<uint64_t> seen;
    std::set<uint32_t> lowHalves;
    int bitCounts[64] = {};
    for (int code = 0; code < 13; ++code)
        for (int s = 0; s < 64; ++s) {
            const uint64_t key = ZobristKeys[code][s];
            EXPECT_NE(key, 0u);
            seen.insert(key);
            lowHalves.insert(LowHalf(key));
            for (int bit = 0; bit < 64; ++bit) bitCounts[bit] += static_cast<int>(key >> bit & 1);
        }
    EXPECT_EQ(seen.size(), 832u);
    EXPECT_EQ(lowHalves.size(), 832u);  // the pawn key uses the low halves
    for (int bit = 0; bit < 64; ++bit) {
        EXPECT_GT(bitCounts[bit], 832 * 4 / 10) << bit;
        EXPECT_LT(bitCounts[bit], 832 * 6 / 10) << bit;
    }
}

TEST(ZobristKeys, CastlingKeysComeFromTheirSquaresOfRowZero) {
    EXPECT_EQ(CastlingKey(1), ZobristKeys[0][62]);
    EXPECT_EQ(CastlingKey(2), ZobristKeys[0][58]);
    EXPECT_EQ(CastlingKey(8), ZobristKeys[0][6]);
    EXPECT_EQ(CastlingKey(0x10), ZobristKeys[0][2]);
    EXPECT_EQ(CastlingKey(4), 0u);
    EXPECT_EQ(CastlingKeys(0x1B), ZobristKeys[0][62] ^ ZobristKeys[0][58] ^ ZobristKeys[0][6] ^ ZobristKeys[0][2]);
    EXPECT_EQ(CastlingKeys(0x11), ZobristKeys[0][62] ^ ZobristKeys[0][2]);
    EXPECT_EQ(CastlingKeys(0), 0u);
}

using KeysTest = ::testing::Test;

TEST_F(KeysTest, InitialKeysAreTheXorOfThePieceKeys) {
    ASSERT_TRUE(ReadFen(gamePosition, InitialFen));
    const int whiteCodes[8] = {7, 3, 5, 9, 11, 5, 3, 7};
    uint64_t key = 0;
    uint32_t pawns = 0;
    for (int c = 0; c < 8; ++c) {
        key ^= ZobristKeys[whiteCodes[c]][56 + c] ^ ZobristKeys[whiteCodes[c] + 1][c];
        key ^= ZobristKeys[WhitePawn][48 + c] ^ ZobristKeys[BlackPawn][8 + c];
        pawns ^= LowHalf(ZobristKeys[WhitePawn][48 + c]) ^ LowHalf(ZobristKeys[BlackPawn][8 + c]);
    }
    EXPECT_EQ(gamePosition.board.hashKey, key);
    EXPECT_EQ(gamePosition.board.pawnKey, pawns);
    EXPECT_EQ(gamePosition.history[0].hashKey, key);
}

TEST_F(KeysTest, SideCastlingAndEnPassantAddNoKeyWhenRead) {
    ASSERT_TRUE(ReadFen(gamePosition, "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1"));
    const uint64_t key = gamePosition.board.hashKey;
    const uint32_t pawns = gamePosition.board.pawnKey;
    ASSERT_EQ(gamePosition.board.epSquare, 44);
    ASSERT_TRUE(ReadFen(gamePosition, "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR w - -"));
    EXPECT_EQ(gamePosition.board.hashKey, key);
    EXPECT_EQ(gamePosition.board.pawnKey, pawns);
    // A different pawn placement changes both keys.
    ASSERT_TRUE(ReadFen(gamePosition, "rnbqkbnr/pppppppp/8/8/3P4/8/PPP1PPPP/RNBQKBNR b KQkq -"));
    EXPECT_NE(gamePosition.board.hashKey, key);
    EXPECT_NE(gamePosition.board.pawnKey, pawns);
    // Pieces other than pawns leave the pawn key alone.
    ASSERT_TRUE(ReadFen(gamePosition, "rnbqkb1r/pppppppp/5n2/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq -"));
    EXPECT_EQ(gamePosition.board.pawnKey, pawns);
    EXPECT_NE(gamePosition.board.hashKey, key);
}

class PositionCheckTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(ReadFen(gamePosition, "r3k2r/ppp1qppp/2n2n2/3pp3/1b2P3/2NP1N2/PPPQ1PPP/R3K2R w KQkq d6"));
        ASSERT_EQ(gamePosition.board.epSquare, Sq("d6"));
        ASSERT_TRUE(CheckPosition(gamePosition));
        saved_ = gamePosition.board;
    }
    // Expects the check to fail on the current Board, then restores it.
    void ExpectCaught(const char* what) {
        const char* why = nullptr;
        EXPECT_FALSE(CheckPosition(gamePosition, &why)) << what;
        EXPECT_NE(why, nullptr) << what;
        gamePosition.board = saved_;
        gamePosition.historyTop->hashKey = gamePosition.board.hashKey;
        ASSERT_TRUE(CheckPosition(gamePosition)) << what;
    }
    Board saved_;
};

TEST_F(PositionCheckTest, PassesAfterEveryRead) {
    test::TestRandom random(99);
    for (int n = 0; n < 100; ++n) {
        const test::RandomPosition pos = test::MakeRandomPosition(random);
        ASSERT_TRUE(ReadFen(gamePosition, pos.fen.c_str())) << pos.fen;
        const char* why = nullptr;
        EXPECT_TRUE(CheckPosition(gamePosition, &why)) << pos.fen << ": " << (why ? why : "");
    }
    ASSERT_TRUE(ReadFen(gamePosition, "8/8/8/8/8/8/8/8 w - -"));  // no kings at all
    EXPECT_TRUE(CheckPosition(gamePosition));
}

TEST_F(PositionCheckTest, CatchesEachCorruptedField) {
    gamePosition.board.pieceBitboard[WhiteKnight] ^= Bit(Sq("a3"));
    ExpectCaught("stray knight bit");
    gamePosition.board.pieceOn[Sq("e3")] = WhiteBishop;
    ExpectCaught("piece array only");
    gamePosition.board.pieceOn[Sq("e3")] = 13;
    ExpectCaught("code above 12");
    gamePosition.board.colourOccupied[Black] ^= Bit(Sq("h8"));
    ExpectCaught("black occupancy");
    gamePosition.board.occupied ^= Bit(Sq("e4"));
    ExpectCaught("occupied");
    gamePosition.board.occupiedFiles ^= SquareMaskFiles[Sq("c3")];
    ExpectCaught("file rotation");
    gamePosition.board.occupiedA1H8 ^= SquareMaskA1H8[Sq("c4")];
    ExpectCaught("a1-h8 rotation");
    gamePosition.board.occupiedA8H1 ^= SquareMaskA8H1[Sq("c5")];
    ExpectCaught("a8-h1 rotation");
    gamePosition.board.kingSquare[White] = static_cast<uint8_t>(Sq("d1"));
    ExpectCaught("king square");
    gamePosition.board.kingSquare[Black] = NoKingSquare;
    ExpectCaught("king square missing");
    gamePosition.board.totalMaterial++;
    ExpectCaught("total material");
    gamePosition.board.nonPawnMaterial[Black]--;
    ExpectCaught("non-pawn material");
    gamePosition.board.pawnCount[White]++;
    ExpectCaught("pawn count");
    gamePosition.board.hashKey ^= ZobristKeys[WhiteQueen][Sq("a4")];
    gamePosition.historyTop->hashKey = gamePosition.board.hashKey;
    ExpectCaught("hash key");
    gamePosition.board.pawnKey ^= 1;
    ExpectCaught("pawn key");
    gamePosition.historyTop->hashKey ^= 1;
    ExpectCaught("history key");
    gamePosition.board.epSquare = 30;
    ExpectCaught("en-passant square");
    gamePosition.board.castling |= 4;
    ExpectCaught("castling flag 4");
}

TEST_F(PositionCheckTest, AcceptsWhatTheKeySchemeExplains) {
    // Rights lost since the read toggle castling keys into hashKey.
    gamePosition.board.hashKey ^= CastlingKey(1) ^ CastlingKey(0x10);
    gamePosition.historyTop->hashKey = gamePosition.board.hashKey;
    EXPECT_TRUE(CheckPosition(gamePosition));
    // A double push toggles its square's key into both keys.
    gamePosition.board = saved_;
    gamePosition.board.epSquare = static_cast<uint8_t>(Sq("d6"));
    gamePosition.board.hashKey ^= ZobristKeys[0][Sq("d6")];
    gamePosition.board.pawnKey ^= LowHalf(ZobristKeys[0][Sq("d6")]);
    gamePosition.historyTop->hashKey = gamePosition.board.hashKey;
    EXPECT_TRUE(CheckPosition(gamePosition));
    // The first move after the read leaves the read square's key behind.
    gamePosition.board.epSquare = 0;
    EXPECT_TRUE(CheckPosition(gamePosition));
    // An en-passant key of any other square is not explained.
    gamePosition.board.hashKey ^= ZobristKeys[0][Sq("e3")];
    gamePosition.board.pawnKey ^= LowHalf(ZobristKeys[0][Sq("e3")]);
    gamePosition.historyTop->hashKey = gamePosition.board.hashKey;
    EXPECT_FALSE(CheckPosition(gamePosition));
    gamePosition.board = saved_;
    gamePosition.historyTop->hashKey = gamePosition.board.hashKey;
}

TEST_F(PositionCheckTest, CatchesAPieceMovedWithoutItsKeys) {
    // Move the d2 queen to e2 consistently in every field but the keys.
    const int from = Sq("d2"), to = Sq("e2");
    gamePosition.board.pieceOn[from] = Empty;
    gamePosition.board.pieceOn[to] = WhiteQueen;
    gamePosition.board.pieceBitboard[WhiteQueen] ^= Bit(from) | Bit(to);
    gamePosition.board.colourOccupied[White] ^= Bit(from) | Bit(to);
    gamePosition.board.occupied ^= Bit(from) | Bit(to);
    gamePosition.board.occupiedFiles = RotateFiles(gamePosition.board.occupied);
    gamePosition.board.occupiedA1H8 = RotateA1H8(gamePosition.board.occupied);
    gamePosition.board.occupiedA8H1 = RotateA8H1(gamePosition.board.occupied);
    const char* why = nullptr;
    EXPECT_FALSE(CheckPosition(gamePosition, &why));
    ASSERT_NE(why, nullptr);
    EXPECT_NE(std::strstr(why, "hashKey"), nullptr) << why;
    // With the keys moved too the position is whole again.
    gamePosition.board.hashKey ^= ZobristKeys[WhiteQueen][from] ^ ZobristKeys[WhiteQueen][to];
    gamePosition.historyTop->hashKey = gamePosition.board.hashKey;
    EXPECT_TRUE(CheckPosition(gamePosition, &why)) << why;
}

// Walks every pseudo-legal line to the given depth, checking the position
// after each make and each unmake; returns the number of failures.
int CheckedWalk(int depth, UndoRecord* undo, MoveEntry* list, std::string* first) {
    SaveForMake(gamePosition, *undo);
    MoveEntry* end = GenerateAll(gamePosition, list);
    int failures = 0;
    for (MoveEntry* e = list; e < end; ++e) {
        const Move m = e->move;
        const char* why = nullptr;
        MakeMove(gamePosition, m, *undo);
        if (!CheckPosition(gamePosition, &why) && failures++ == 0) *first = std::string("after make: ") + why;
        if (depth > 1 && !IsKingAttacked(gamePosition, m, gamePosition.sideToMove ^ 1))
            failures += CheckedWalk(depth - 1, undo + 1, end, first);
        UnmakeMove(gamePosition, m, *undo);
        if (!CheckPosition(gamePosition, &why) && failures++ == 0) *first = std::string("after unmake: ") + why;
    }
    return failures;
}

TEST_F(PositionCheckTest, HoldsAcrossMakeAndUnmake) {
    const char* fens[] = {
        "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq -",
        "rnbqkbnr/ppp1p1pp/8/3pPp2/8/8/PPPP1PPP/RNBQKBNR w KQkq f6",  // read with an en-passant square
        "r3k2r/1P4P1/8/8/8/8/1p4p1/R3K2R b KQkq -",                   // promotions with and without capture
        "4k3/8/8/8/3Pp3/8/8/4K3 b - d3",
    };
    for (const char* fen : fens) {
        ASSERT_TRUE(ReadFen(gamePosition, fen)) << fen;
        std::string first;
        UndoRecord undo[3];
        std::vector<MoveEntry> moves(3 * MaxGeneratedMoves);
        EXPECT_EQ(CheckedWalk(3, undo, moves.data(), &first), 0) << fen << ": " << first;
        EXPECT_TRUE(CheckPosition(gamePosition)) << fen;
    }
}

#ifdef KAVRIN_POSITION_CHECK
TEST_F(PositionCheckTest, DebugMacroAbortsOnABrokenBoard) {
    gamePosition.board.totalMaterial++;
    EXPECT_DEATH(KAVRIN_CHECK_POSITION(gamePosition), "position check failed: totalMaterial");
    gamePosition.board = saved_;
}
#endif

}  // namespace
}  // namespace kavrin
