// The legality gate for moves from outside the search: its three answers, and
// the legal-move list in generation order.
#include "board/legal.h"

#include <gtest/gtest.h>

#include <cstring>
#include <sstream>

#include "board/board.h"
#include "board/fen.h"
#include "board/makemove.h"
#include "board/movegen.h"
#include "board/movetext.h"
#include "search/game.h"
#include "support/board_setup.h"
#include "support/test_engine.h"

namespace kavrin {
namespace {

using test::M;
using test::SetUpPosition;

Legality Check(const char* text) { return CheckMove(gamePosition, TextToMoveOnBoard(gamePosition, text)); }

TEST(Legality, ReceivedMovesMustBeLegalInTheGamePosition) {
    SetUpPosition(InitialFen);
    EXPECT_EQ(Check("e2e4"), Legality::Legal);
    EXPECT_EQ(Check("g1f3"), Legality::Legal);
    EXPECT_EQ(Check("e7e5"), Legality::NotGenerated);  // not the side to move
    EXPECT_EQ(Check("e2e5"), Legality::NotGenerated);
    EXPECT_EQ(Check("a1a1"), Legality::NotGenerated);
    EXPECT_EQ(CheckMove(gamePosition, 0), Legality::NotGenerated);
    EXPECT_EQ(CheckMove(gamePosition, ResultCheckmated), Legality::NotGenerated);
    EXPECT_EQ(CheckMove(gamePosition, NullMoveMarker), Legality::NotGenerated);
}

TEST(Legality, PieceMovesMustReachTheirTargetAndTakeOnlyEnemies) {
    SetUpPosition("4k3/8/8/8/2p5/8/B7/R3K2N w - -");
    EXPECT_EQ(CheckMove(gamePosition, M("a2", "b3", Quiet)), Legality::Legal);
    EXPECT_EQ(CheckMove(gamePosition, M("a2", "c4", Capture)), Legality::Legal);
    EXPECT_EQ(CheckMove(gamePosition, M("a2", "c4", Quiet)), Legality::NotGenerated);    // target occupied
    EXPECT_EQ(CheckMove(gamePosition, M("a2", "b3", Capture)), Legality::NotGenerated);  // nothing to take
    EXPECT_EQ(CheckMove(gamePosition, M("a2", "d5", Quiet)), Legality::NotGenerated);    // blocked diagonal
    EXPECT_EQ(CheckMove(gamePosition, M("a2", "a3", Quiet)), Legality::NotGenerated);    // not a bishop line
    EXPECT_EQ(CheckMove(gamePosition, M("a1", "d1", Quiet)), Legality::Legal);
    EXPECT_EQ(CheckMove(gamePosition, M("a1", "e1", Capture)), Legality::NotGenerated);  // own king
    EXPECT_EQ(CheckMove(gamePosition, M("a1", "f1", Quiet)), Legality::NotGenerated);    // through the king
    EXPECT_EQ(CheckMove(gamePosition, M("h1", "g3", Quiet)), Legality::Legal);
    EXPECT_EQ(CheckMove(gamePosition, M("h1", "h3", Quiet)), Legality::NotGenerated);
    EXPECT_EQ(CheckMove(gamePosition, M("a2", "b3", EnPassant)), Legality::NotGenerated);
    EXPECT_EQ(CheckMove(gamePosition, M("c4", "c3", Quiet)), Legality::NotGenerated);  // the other side's pawn
    EXPECT_EQ(CheckMove(gamePosition, M("e1", "e2", Quiet)), Legality::Legal);
    EXPECT_EQ(CheckMove(gamePosition, M("b5", "c6", Quiet)), Legality::NotGenerated);  // empty origin
}

TEST(Legality, PinsChecksAndCastlingThroughAttack) {
    // The e2 knight is pinned by the e8 rook; f1 is attacked by the h3 bishop.
    SetUpPosition("4r1k1/8/8/8/8/7b/4N3/R3K2R w KQ - 0 1");
    EXPECT_EQ(Check("e2c3"), Legality::LeavesKingAttacked);
    EXPECT_EQ(Check("e1g1"), Legality::LeavesKingAttacked);
    EXPECT_EQ(Check("e1c1"), Legality::Legal);
    EXPECT_EQ(Check("e1d2"), Legality::Legal);
    // In check only the answers to the check are generated, and one of them
    // can still leave the king attacked.
    SetUpPosition("4k3/8/8/8/8/8/3q4/R3K3 w Q - 0 1");
    EXPECT_EQ(Check("e1d2"), Legality::Legal);
    EXPECT_EQ(Check("e1c1"), Legality::NotGenerated);
    EXPECT_EQ(Check("a1a8"), Legality::NotGenerated);
    EXPECT_EQ(Check("e1f2"), Legality::LeavesKingAttacked);
}

TEST(Legality, NothingIsLegalWherePlayMayNotStart) {
    MoveEntry list[MaxGeneratedMoves];
    // No kings on the board.
    SetUpPosition("8/8/8/8/8/8/4P3/8 w - - 0 1");
    EXPECT_EQ(Check("e2e4"), Legality::NotGenerated);
    EXPECT_EQ(GenerateLegalMoves(gamePosition, list), list);
    // The side not to move is in check.
    SetUpPosition("4k3/8/8/8/8/8/3P4/4RK2 w - - 0 1");
    EXPECT_EQ(Check("d2d4"), Legality::NotGenerated);
    EXPECT_EQ(GenerateLegalMoves(gamePosition, list), list);
}

TEST(Legality, LegalListKeepsTheGenerationOrder) {
    // Out of the generated list drop the pinned knight's six moves, the king's
    // step to f1 and the castling across it.
    SetUpPosition("4r1k1/8/8/8/8/7b/4N3/R3K2R w KQ - 0 1");
    const Board before = gamePosition.board;
    MoveEntry generated[MaxGeneratedMoves];
    const MoveEntry* const generatedEnd = GenerateAll(gamePosition, generated);
    MoveEntry legal[MaxGeneratedMoves];
    const MoveEntry* const legalEnd = GenerateLegalMoves(gamePosition, legal);
    EXPECT_EQ((generatedEnd - generated) - (legalEnd - legal), 8);
    const MoveEntry* e = generated;
    for (const MoveEntry* l = legal; l != legalEnd; ++l, ++e) {
        while (e != generatedEnd && e->move != l->move) ++e;
        ASSERT_NE(e, generatedEnd) << "legal move out of generation order: " << l->move;
        EXPECT_EQ(l->score, e->score);
    }
    EXPECT_EQ(std::memcmp(&before, &gamePosition.board, sizeof gamePosition.board), 0);
}

// The third occurrence of a position whose first came right after a double
// push: the same position unless a pawn could lawfully take en passant then.
TEST(LawfulDrawCheck, APositionAfterADoublePushRepeatsUnlessAPawnCouldTake) {
    struct RepetitionCase {
        const char* name;
        const char* fen;
        const char* moves;
        Move lawful;
    };
    const RepetitionCase cases[] = {
        {"no pawn to take", InitialFen, "e2e4 g8f6 g1f3 f6g8 f3g1 g8f6 g1f3 f6g8 f3g1", ResultRepetition},
        {"only twice", InitialFen, "e2e4 g8f6 g1f3 f6g8 f3g1", 0},
        {"a pawn can take", "4k3/8/8/8/3p4/8/4P3/4K3 w - - 0 1", "e2e4 e8d8 e1d1 d8e8 d1e1 e8d8 e1d1 d8e8 d1e1", 0},
        {"the taker is pinned", "8/8/8/8/k2p3R/8/4P3/4K3 w - - 0 1", "e2e4 a4a5 e1d1 a5a4 d1e1 a4a5 e1d1 a5a4 d1e1",
         ResultRepetition},
    };
    for (const RepetitionCase& c : cases) {
        SCOPED_TRACE(c.name);
        SetUpPosition(c.fen);
        std::istringstream moves(c.moves);
        for (std::string move; moves >> move;) ASSERT_TRUE(test::PlayIfLegal(move)) << move;
        const Board before = gamePosition.board;
        EXPECT_EQ(LawfulDrawCheck(gamePosition), c.lawful);
        // The search's own count sees only the two positions without the square.
        EXPECT_EQ(DrawCheck(gamePosition, 2), 0);
        EXPECT_EQ(std::memcmp(&before, &gamePosition.board, sizeof gamePosition.board), 0);
    }
}

}  // namespace
}  // namespace kavrin
