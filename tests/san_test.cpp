// SAN resolution against the live Board and the "am"/"bm" check of position texts.
#include "notation/san.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "board/board.h"
#include "board/fen.h"
#include "board/movetext.h"
#include "notation/epd.h"
#include "search/game.h"
#include "support/board_setup.h"
#include "support/test_engine.h"
#include "support/text.h"

namespace kavrin {
namespace {

using test::M;
using test::SetUpPosition;
using test::Sq;

using SanTest = ::testing::Test;

TEST_F(SanTest, CastlingNeedsTheRightAndAcceptsZerosAndChecks) {
    SetUpPosition("r3k2r/8/8/8/8/8/8/R3K2R w KQkq -");
    for (const char* text : {"O-O", "0-0", "O-O+", "OO", "00"})
        EXPECT_EQ(ParseSan(gamePosition, text), CastleWhiteKingSide) << text;
    for (const char* text : {"O-O-O", "0-0-0", "OOO#"})
        EXPECT_EQ(ParseSan(gamePosition, text), CastleWhiteQueenSide) << text;
    SetUpPosition("r3k2r/8/8/8/8/8/8/R3K2R b KQkq -");
    EXPECT_EQ(ParseSan(gamePosition, "O-O"), CastleBlackKingSide);
    EXPECT_EQ(ParseSan(gamePosition, "O-O-O"), CastleBlackQueenSide);
    // Without the right there is no king move instead.
    SetUpPosition("r3k2r/8/8/8/8/8/8/R3K2R w Qk -");
    EXPECT_EQ(ParseSan(gamePosition, "O-O"), 0);
    EXPECT_EQ(ParseSan(gamePosition, "O-O-O"), CastleWhiteQueenSide);
    SetUpPosition("r3k2r/8/8/8/8/8/8/R3K2R b Kq -");
    EXPECT_EQ(ParseSan(gamePosition, "0-0"), 0);
    EXPECT_EQ(ParseSan(gamePosition, "0-0-0"), CastleBlackQueenSide);
}

TEST_F(SanTest, PawnPushesFindSingleAndDoubleSteps) {
    SetUpPosition("4k3/8/8/8/8/4P3/8/4K3 w - -");
    EXPECT_EQ(ParseSan(gamePosition, "e4"), M("e3", "e4", Quiet));
    SetUpPosition("4k3/8/8/8/8/8/4P3/4K3 w - -");
    EXPECT_EQ(ParseSan(gamePosition, "e4"), M("e2", "e4", Quiet));
    SetUpPosition("4k3/8/8/8/8/8/8/4K3 w - -");
    EXPECT_EQ(ParseSan(gamePosition, "e4"), M("e2", "e4", Quiet));  // the caller rejects it
    SetUpPosition("4k3/3p4/8/8/8/8/8/4K3 b - -");
    EXPECT_EQ(ParseSan(gamePosition, "d5"), M("d7", "d5", Quiet));
    EXPECT_EQ(ParseSan(gamePosition, "d6"), M("d7", "d6", Quiet));
    // Targets whose origin lies off the board.
    SetUpPosition("4k3/8/8/8/8/8/8/4K3 w - -");
    EXPECT_EQ(ParseSan(gamePosition, "a1"), 0);
    EXPECT_EQ(ParseSan(gamePosition, "a2"), 0);
    SetUpPosition("4k3/8/8/8/8/8/8/4K3 b - -");
    EXPECT_EQ(ParseSan(gamePosition, "h8"), 0);
    EXPECT_EQ(ParseSan(gamePosition, "i4"), 0);
    EXPECT_EQ(ParseSan(gamePosition, "e9"), 0);
}

TEST_F(SanTest, PromotionsNeedTheirLetter) {
    SetUpPosition("3rk3/4P3/8/8/8/8/8/4K3 w - -");
    EXPECT_EQ(ParseSan(gamePosition, "e8"), M("e7", "e8", Quiet));
    EXPECT_EQ(ParseSan(gamePosition, "e8=Q"), M("e7", "e8", PromoteQueen));
    EXPECT_EQ(ParseSan(gamePosition, "e8Q"), M("e7", "e8", PromoteQueen));
    EXPECT_EQ(ParseSan(gamePosition, "e8=n"), M("e7", "e8", PromoteKnight));
    EXPECT_EQ(ParseSan(gamePosition, "e8R+"), M("e7", "e8", PromoteRook));
    EXPECT_EQ(ParseSan(gamePosition, "e8=B"), M("e7", "e8", PromoteBishop));
    EXPECT_EQ(ParseSan(gamePosition, "exd8=Q+"), M("e7", "d8", CapturePromoteQueen));
    EXPECT_EQ(ParseSan(gamePosition, "exd8=N"), M("e7", "d8", CapturePromoteKnight));
    EXPECT_EQ(ParseSan(gamePosition, "exf8=R"), M("e7", "f8", PromoteRook));  // f8 empty: no capture kind
    SetUpPosition("4k3/8/8/8/8/8/3p4/2N1K3 b - -");
    EXPECT_EQ(ParseSan(gamePosition, "d1=Q"), M("d2", "d1", PromoteQueen));
    EXPECT_EQ(ParseSan(gamePosition, "dxc1=Q"), M("d2", "c1", CapturePromoteQueen));
    EXPECT_EQ(ParseSan(gamePosition, "dxe1=b"), M("d2", "e1", CapturePromoteBishop));
}

TEST_F(SanTest, PawnCapturesTakeTheirKindFromTheTarget) {
    SetUpPosition("4k3/8/8/3pP3/8/8/8/4K3 w - d6");
    EXPECT_EQ(ParseSan(gamePosition, "exd6"), M("e5", "d6", EnPassant));
    SetUpPosition("4k3/8/8/3pP3/8/8/8/4K3 w - -");
    EXPECT_EQ(ParseSan(gamePosition, "exd6"), M("e5", "d6", EnPassant));  // whatever the en-passant square
    SetUpPosition("4k3/8/8/3p4/4P3/8/8/4K3 w - -");
    EXPECT_EQ(ParseSan(gamePosition, "exd5"), M("e4", "d5", Capture));
    EXPECT_EQ(ParseSan(gamePosition, "ed5"), M("e4", "d5", Capture));
    EXPECT_EQ(ParseSan(gamePosition, "cxd5"), 0);
    SetUpPosition("4k3/8/8/3p4/4P3/8/8/4K3 b - -");
    EXPECT_EQ(ParseSan(gamePosition, "dxe4"), M("d5", "e4", Capture));
}

TEST_F(SanTest, DisambiguationByFileRankAndPin) {
    SetUpPosition("1n2k3/8/5n2/8/8/8/8/4K3 b - -");
    EXPECT_EQ(ParseSan(gamePosition, "Nbd7"), M("b8", "d7", Quiet));
    EXPECT_EQ(ParseSan(gamePosition, "Nfd7"), M("f6", "d7", Quiet));
    EXPECT_EQ(ParseSan(gamePosition, "Nd7"), 0);  // both may go
    EXPECT_EQ(ParseSan(gamePosition, "Nc6"), M("b8", "c6", Quiet));
    // The f6 knight is pinned to its king by the rook on f1.
    SetUpPosition("1n3k2/8/5n2/8/8/8/8/4KR2 b - -");
    EXPECT_EQ(ParseSan(gamePosition, "Nd7"), M("b8", "d7", Quiet));
    // By rank: rooks on e1 and e3.
    SetUpPosition("4k3/8/8/8/8/4R3/8/K3R3 w - -");
    EXPECT_EQ(ParseSan(gamePosition, "R1e2"), M("e1", "e2", Quiet));
    EXPECT_EQ(ParseSan(gamePosition, "R3e2"), M("e3", "e2", Quiet));
    EXPECT_EQ(ParseSan(gamePosition, "Re2"), 0);
    EXPECT_EQ(ParseSan(gamePosition, "Rxe2"), 0);
    EXPECT_EQ(ParseSan(gamePosition, "R9e2"), 0);
    // Queens: one on the diagonal, one on the file; the blocked one cannot.
    SetUpPosition("4k3/8/8/8/1Q6/8/8/K2Q4 w - -");
    EXPECT_EQ(ParseSan(gamePosition, "Qd2"), 0);
    EXPECT_EQ(ParseSan(gamePosition, "Qbd2"), M("b4", "d2", Quiet));
    SetUpPosition("4k3/8/8/8/1Q6/2P5/8/K2Q4 w - -");
    EXPECT_EQ(ParseSan(gamePosition, "Qd2"), M("d1", "d2", Quiet));
}

TEST_F(SanTest, CaptureOfOwnPieceIsLeftToTheCaller) {
    SetUpPosition("1n2k3/3b4/8/8/8/8/8/4K3 b - -");
    EXPECT_EQ(ParseSan(gamePosition, "Nxd7"), M("b8", "d7", Capture));
    SetUpPosition("1n2k3/3b4/5n2/8/8/8/8/4K3 b - -");
    EXPECT_EQ(ParseSan(gamePosition, "Nxd7"), 0);
    EXPECT_EQ(ParseSan(gamePosition, "Pe4"), 0);
    EXPECT_EQ(ParseSan(gamePosition, "nc6"), 0);
}

TEST_F(SanTest, KingMovesComeFromTheKingSquare) {
    SetUpPosition("4k3/8/8/8/8/8/8/4K3 w - -");
    EXPECT_EQ(ParseSan(gamePosition, "Kf2"), M("e1", "f2", Quiet));
    EXPECT_EQ(ParseSan(gamePosition, "Kg1"), M("e1", "g1", Quiet));  // whatever the geometry
    SetUpPosition("8/8/8/8/8/8/8/8 w - -");
    EXPECT_EQ(ParseSan(gamePosition, "Ke2"), 0);  // no king on the board
}

TEST_F(SanTest, CoordinateTextAndLongForms) {
    SetUpPosition(InitialFen);
    EXPECT_EQ(ParseSan(gamePosition, "e2e4"), M("e2", "e4", Quiet));
    EXPECT_EQ(ParseSan(gamePosition, "e2-e4"), M("e2", "e4", Quiet));
    EXPECT_EQ(ParseSan(gamePosition, "e2xe4"), M("e2", "e4", Quiet));
    EXPECT_EQ(ParseSan(gamePosition, "g1f3"), M("g1", "f3", Quiet));
    EXPECT_EQ(ParseSan(gamePosition, "Ng1f3"), M("g1", "f3", Quiet));
    EXPECT_EQ(ParseSan(gamePosition, "Ng1-f3"), M("g1", "f3", Quiet));
    EXPECT_EQ(ParseSan(gamePosition, "Nf3+!!!!!!!"), M("g1", "f3", Quiet));  // cut to nine before deletion
    SetUpPosition("r3k2r/1P6/8/8/8/8/8/R3K2R w KQkq -");
    EXPECT_EQ(ParseSan(gamePosition, "e1g1"), CastleWhiteKingSide);
    EXPECT_EQ(ParseSan(gamePosition, "b7b8Q"), M("b7", "b8", PromoteQueen));
    EXPECT_EQ(ParseSan(gamePosition, "b7a8q"), M("b7", "a8", CapturePromoteQueen));
}

TEST_F(SanTest, UnreadableTextGivesZero) {
    SetUpPosition(InitialFen);
    for (const char* text :
         {"", "N", "e", "Nf", "Zz9", "Qxh5xx", "abcdef", "Nf3f4g5", "123456789", "x+#!?=-", "Nf9", "Ni3", "Kb"}) {
        EXPECT_EQ(ParseSan(gamePosition, text), 0) << '"' << text << '"';
    }
}

TEST_F(SanTest, TrialMovesLeaveTheBoardAsItWas) {
    SetUpPosition("1n3k2/8/5n2/8/8/8/8/4KR2 b - -");
    const Board before = gamePosition.board;
    const HistoryEntry* top = gamePosition.historyTop;
    const int side = gamePosition.sideToMove;
    ASSERT_NE(ParseSan(gamePosition, "Nd7"), 0);
    EXPECT_EQ(std::memcmp(&before, &gamePosition.board, sizeof gamePosition.board), 0);
    EXPECT_EQ(gamePosition.historyTop, top);
    EXPECT_EQ(gamePosition.sideToMove, side);
}

TEST_F(SanTest, TrialMovesStillWorkWithTheHistoryFull) {
    // A game that has used every history entry: the trial borrows the entry
    // below the current one and puts both back.
    for (const char* fen : {"1n2k3/8/5n2/8/8/8/8/4KR2 b - -", "1n3k2/8/5n2/8/8/8/8/4KR2 b - -"}) {
        SetUpPosition(fen);
        const HistoryEntry current = gamePosition.history[0];
        gamePosition.historyTop = gamePosition.history + HistorySize - 1;
        *gamePosition.historyTop = current;
        gamePosition.history[HistorySize - 2] = HistoryEntry{0x1234, 0x0567, 7};
        if (fen[2] == '2') {                              // king on e8: the f6 knight is free
            EXPECT_EQ(ParseSan(gamePosition, "Nd7"), 0);  // both knights may go
            EXPECT_EQ(ParseSan(gamePosition, "Nbd7"), M("b8", "d7", Quiet));
        } else {
            EXPECT_EQ(ParseSan(gamePosition, "Nd7"), M("b8", "d7", Quiet));  // f6 is pinned
        }
        EXPECT_EQ(gamePosition.historyTop, gamePosition.history + HistorySize - 1);
        EXPECT_EQ(gamePosition.history[HistorySize - 2].hashKey, 0x1234u);
        EXPECT_EQ(gamePosition.history[HistorySize - 2].move, 0x0567);
        EXPECT_EQ(gamePosition.history[HistorySize - 2].fiftyCounter, 7);
        EXPECT_EQ(gamePosition.historyTop->hashKey, current.hashKey);
        EXPECT_EQ(gamePosition.historyTop->move, current.move);
    }
    SetUpPosition(InitialFen);
}

TEST_F(SanTest, PromotionLetterKinds) {
    EXPECT_EQ(PromotionKind('Q'), PromoteQueen);
    EXPECT_EQ(PromotionKind('n'), PromoteKnight);
    EXPECT_EQ(PromotionKind('r'), PromoteRook);
    EXPECT_EQ(PromotionKind('B'), PromoteBishop);
    EXPECT_EQ(PromotionKind('K'), 0);
    EXPECT_EQ(CapturePromotionKind('q'), CapturePromoteQueen);
    EXPECT_EQ(CapturePromotionKind('N'), CapturePromoteKnight);
    EXPECT_EQ(CapturePromotionKind('R'), CapturePromoteRook);
    EXPECT_EQ(CapturePromotionKind('b'), CapturePromoteBishop);
    EXPECT_EQ(CapturePromotionKind('p'), 0);
}

// --- "am" and "bm" operations ---

class EpdTest : public SanTest {
  protected:
    // Reads the position text as "setboard" does (the fields, then the
    // operation), expecting it taken or refused; returns what the read printed.
    static std::string Read(const std::string& text, bool taken) {
        return test::StdoutOf([&] {
            const char* operations = nullptr;
            EXPECT_EQ(ReadFen(gamePosition, text.c_str(), &operations) && CheckEpdOperation(gamePosition, operations),
                      taken)
                << text;
        });
    }
};

TEST_F(EpdTest, ScanFindsOnlyTheFirstAOrB) {
    char move[EpdMoveTextSize];
    EXPECT_TRUE(ScanEpdOperation(" 0 1 bm Nf3;", move));
    EXPECT_STREQ(move, "Nf3");
    EXPECT_TRUE(ScanEpdOperation(" am e4 ; c0 \"x\";", move));
    EXPECT_STREQ(move, "e4");
    EXPECT_FALSE(ScanEpdOperation(" bm Nf3", move));  // not closed
    EXPECT_FALSE(ScanEpdOperation(" id \"abc\"; bm Nf3;", move));
    EXPECT_FALSE(ScanEpdOperation(" bm Nf3xxxxxxx;", move));  // ten characters or more
    EXPECT_TRUE(ScanEpdOperation(" bm Nf3xxxxxx;", move));    // nine
    EXPECT_STREQ(move, "Nf3xxxxxx");
    EXPECT_FALSE(ScanEpdOperation(" bm ", move));
    EXPECT_FALSE(ScanEpdOperation(" bm", move));
    EXPECT_FALSE(ScanEpdOperation(" b", move));
    EXPECT_FALSE(ScanEpdOperation(" bx Nf3;", move));
    EXPECT_FALSE(ScanEpdOperation("", move));
    EXPECT_TRUE(ScanEpdOperation("bm O-O ", move));
    EXPECT_STREQ(move, "O-O");
}

TEST_F(EpdTest, ReadFenChecksTheOperationMove) {
    const std::string start = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - ";
    EXPECT_EQ(Read(start + "bm Nf3;", true), "");
    EXPECT_EQ(Read(start + "am Nf3;", true), "");
    EXPECT_EQ(Read(start + "0 1 bm Nf4;", false), "Warning cannot recognize move: Nf4\r\n");
    EXPECT_EQ(Read(start + "am Zz9;", false), "Warning cannot recognize move: Zz9\r\n");
    // Operations that are not read: not closed, not first, ten characters.
    EXPECT_EQ(Read(start + "bm Nf4", true), "");
    EXPECT_EQ(Read(start + "id \"abc\"; bm Nf4;", true), "");
    EXPECT_EQ(Read(start + "bm Nf4xxxxxxx;", true), "");
    // The rejected position itself was read completely.
    Read("4k3/8/8/8/8/8/8/4K3 b - - bm Nf6;", false);
    EXPECT_EQ(gamePosition.sideToMove, Black);
    EXPECT_EQ(gamePosition.board.kingSquare[White], 60);
}

}  // namespace
}  // namespace kavrin
