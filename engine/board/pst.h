// Piece-square tables: what a piece of each kind gains on each square, by
// the phase of the game (totalMaterial). The exchange scoring of the move
// order and the evaluation read them. They are stored rank 8 first, files a
// to h, i.e. indexed by square; their few small asymmetries are deliberate.
#pragma once

#include <cstdint>

#include "board/board.h"
#include "board/types.h"

namespace kavrin {

// clang-format off

// king, totalMaterial above 70
inline constexpr int16_t KingTable1[64] = {
       4,   12,   -4,   -6,   -6,   -4,   12,    4,
      -9,  -14,  -24,  -29,  -29,  -24,  -14,   -9,
     -19,  -28,  -39,  -30,  -30,  -39,  -28,  -19,
     -25,  -39,  -40,  -55,  -55,  -40,  -39,  -25,
     -25,  -39,  -40,  -55,  -55,  -40,  -39,  -25,
     -19,  -28,  -39,  -30,  -30,  -39,  -28,  -19,
      -9,  -14,  -24,  -29,  -29,  -24,  -14,   -9,
       4,   12,   -2,   -6,   -6,   -2,   12,    4,
};

// king, 47..70
inline constexpr int16_t KingTable2[64] = {
       0,    6,   -2,   -3,   -3,   -2,    6,    0,
      -3,   -5,  -10,  -15,  -15,  -10,   -5,   -3,
      -7,  -14,  -14,  -18,  -18,  -14,  -14,   -7,
      -8,  -19,  -28,  -35,  -35,  -28,  -19,   -8,
      -8,  -19,  -28,  -35,  -35,  -28,  -19,   -8,
      -7,  -14,  -12,  -18,  -18,  -12,  -14,   -7,
      -3,   -5,  -14,  -19,  -19,  -14,   -5,   -3,
       0,    6,   -2,   -3,   -3,   -2,    6,    0,
};

// king, 15..46
inline constexpr int16_t KingTable3[64] = {
      -8,   -6,   -4,   -2,   -2,   -4,   -6,   -8,
      -6,   -4,   -2,    0,    0,   -2,   -4,   -6,
      -4,   -2,    0,    2,    2,    0,   -2,   -4,
      -2,    0,    2,    4,    4,    2,    0,   -2,
      -2,    0,    2,    4,    4,    2,    0,   -2,
      -4,   -2,    0,    2,    2,    0,   -2,   -4,
      -6,   -4,   -2,    0,    0,   -2,   -4,   -6,
      -8,   -6,   -4,   -2,   -2,   -4,   -6,   -8,
};

// king, 14 and below
inline constexpr int16_t KingTable4[64] = {
     -26,  -19,  -12,   -9,   -9,  -12,  -19,  -26,
     -19,  -15,   -6,    0,    0,   -6,  -15,  -19,
     -15,   -6,    0,    4,    4,    0,   -6,  -15,
     -12,    0,    4,    9,    9,    4,    0,  -12,
     -12,    0,    4,    9,    9,    4,    0,  -12,
     -15,   -6,    0,    4,    4,    0,   -6,  -15,
     -19,  -15,   -6,    0,    0,   -6,  -15,  -19,
     -26,  -19,  -12,   -9,   -9,  -12,  -19,  -26,
};

// pawn, above 70
inline constexpr int16_t PawnTable1[64] = {
      99,   99,   99,   99,   99,   99,   99,   99,
      18,   31,   33,   40,   40,   33,   31,   18,
       4,    5,   18,   26,   26,   18,    5,    4,
       1,    1,    4,   16,   16,    4,    1,    1,
       0,    0,    3,   12,   12,    3,    0,    0,
       0,   -1,    1,    2,    2,   -1,   -1,    0,
       0,    0,    0,   -9,   -9,    0,    0,    0,
       0,    0,    0,    0,    0,    0,    0,    0,
};

// pawn, 63..70
inline constexpr int16_t PawnTable2[64] = {
     199,  199,  199,  199,  199,  199,  199,  199,
      29,   44,   48,   53,   53,   48,   44,   29,
       9,   10,   14,   20,   20,   14,   10,    9,
       3,    6,   10,   16,   16,   10,    6,    3,
       1,    4,    6,   14,   14,    6,    4,    1,
       0,    1,    0,    4,    4,    0,    1,    0,
       0,    0,    0,   -9,   -9,    0,    0,    0,
       0,    0,    0,    0,    0,    0,    0,    0,
};

// pawn, 15..62
inline constexpr int16_t PawnTable3[64] = {
     299,  299,  299,  299,  299,  299,  299,  299,
      52,   64,   67,   75,   75,   67,   64,   52,
      30,   32,   35,   45,   45,   35,   32,   30,
      15,   16,   22,   28,   28,   22,   16,   15,
       6,    8,   17,   20,   20,   17,    8,    6,
       2,    3,    1,    4,    4,    1,    3,    2,
       0,    0,    0,   -9,   -9,    0,    0,    0,
       0,    0,    0,    0,    0,    0,    0,    0,
};

// pawn, 14 and below
inline constexpr int16_t PawnTable4[64] = {
     499,  499,  499,  499,  499,  499,  499,  499,
      72,   90,   99,  104,  104,   99,   90,   72,
      45,   54,   60,   65,   65,   60,   54,   45,
      18,   24,   28,   30,   28,   24,   30,   18,
       9,   12,   14,   18,   18,   14,   12,    9,
       1,    3,    1,    4,    4,    1,    3,    1,
       0,    0,    0,   -9,   -9,    0,    0,    0,
       0,    0,    0,    0,    0,    0,    0,    0,
};

// knight, above 70
inline constexpr int16_t KnightTable1[64] = {
     -25,  -22,  -12,  -10,  -10,  -12,  -22,  -25,
     -15,   -5,   -1,    2,    2,   -1,   -5,  -15,
     -11,    4,   10,    9,    9,   10,    4,  -11,
      -9,    5,   12,   17,   17,   12,    5,   -9,
      -9,    5,   12,   17,   17,   12,    5,   -9,
     -11,    4,   10,    9,    9,   10,    4,  -11,
     -15,   -6,   -1,    2,    2,   -1,   -6,  -15,
     -25,  -22,  -12,  -10,  -10,  -12,  -22,  -25,
};

// knight, 70 and below
inline constexpr int16_t KnightTable2[64] = {
     -19,  -14,   -6,   -4,   -4,   -6,  -14,  -19,
     -14,   -5,    0,    1,    1,    0,   -5,  -14,
      -9,    4,    8,    9,    9,    8,    4,   -9,
      -6,    5,    9,   13,   13,    9,    5,   -6,
      -6,    5,    9,   13,   13,    9,    5,   -6,
      -9,    4,    8,    9,    9,    8,    4,   -9,
     -14,   -6,   -1,    2,    2,   -1,   -6,  -14,
     -19,  -14,   -8,   -6,   -6,   -8,  -14,  -19,
};

// bishop, above 70
inline constexpr int16_t BishopTable1[64] = {
     -19,  -18,  -18,  -12,  -12,  -18,  -18,  -31,
       6,    2,    3,    3,    2,    6,  -12,   -8,
       4,    5,    8,    8,    5,    4,   -8,    0,
       6,    9,   12,   12,    9,    6,    0,    0,
       6,    9,   12,   12,    9,    6,    0,   -8,
       4,    5,    8,    8,    5,    4,   -8,  -12,
       6,    2,    3,    3,    2,    6,  -12,  -19,
     -18,  -18,  -12,  -12,  -18,  -18,  -19,    0,
};

// bishop, 70 and below
inline constexpr int16_t BishopTable2[64] = {
     -15,  -10,   -9,   -5,   -5,   -9,  -10,  -15,
     -10,    4,    2,    2,    2,    2,    4,  -10,
      -1,    4,    8,    8,    8,    7,    4,   -1,
       1,    7,   10,   13,   13,   10,    7,    1,
       1,    7,   10,   13,   13,   10,    7,    1,
      -1,    4,    8,    8,    8,    8,    4,   -1,
     -10,    4,    2,    2,    2,    2,    4,  -10,
     -15,  -10,   -9,   -5,   -5,   -9,  -10,  -15,
};

// rook, above 70
inline constexpr int16_t RookTable1[64] = {
       2,    4,    5,    6,    6,    5,    4,    2,
       7,    9,   11,   12,   12,   11,    9,    7,
      -1,    0,    4,    5,    5,    4,    0,   -1,
      -3,   -2,    3,    4,    4,    3,   -2,   -3,
      -4,   -3,    2,    3,    3,    2,   -3,   -4,
      -4,   -3,    2,    3,    3,    2,   -3,   -4,
      -9,   -2,    2,    3,    3,    2,   -2,   -9,
     -13,  -12,    0,    2,    2,    0,  -12,  -13,
};

// rook, 70 and below
inline constexpr int16_t RookTable2[64] = {
       2,    4,    5,    6,    6,    5,    4,    2,
       7,    9,   11,   12,   12,   11,    9,    7,
      -1,    0,    4,    5,    5,    4,    0,   -1,
      -3,   -2,    3,    4,    4,    3,   -2,   -3,
      -4,   -3,    2,    3,    3,    2,   -3,   -4,
      -4,   -3,    2,    3,    3,    2,   -3,   -4,
      -6,   -2,    2,    3,    3,    2,   -2,   -6,
      -8,   -6,    0,    1,    1,    0,   -6,   -8,
};

// queen, above 70
inline constexpr int16_t QueenTable1[64] = {
      -1,    0,    1,    2,    2,    1,    0,   -1,
       2,    4,    3,    3,    3,    3,    4,    2,
       1,    2,    2,    2,    2,    2,    2,    1,
       0,    1,    1,    1,    1,    1,    1,    0,
       0,    1,    1,    1,    1,    1,    1,    0,
      -1,    2,    1,    1,    1,    1,    2,   -1,
      -2,   -2,    0,    3,    3,    0,   -2,   -2,
      -4,   -3,    0,    9,    9,    0,   -3,   -4,
};

// queen, 70 and below
inline constexpr int16_t QueenTable2[64] = {
      -1,    2,    3,    4,    4,    3,    2,   -1,
       6,    7,    8,    9,    9,    8,    7,    6,
       3,    4,    5,    6,    6,    5,    4,    3,
       1,    2,    4,    7,    7,    4,    2,    1,
       0,    1,    3,    5,    5,    3,    1,    0,
      -1,    0,    1,    3,    3,    1,    0,   -1,
      -2,   -2,    0,    0,    0,    0,   -2,   -2,
      -4,   -3,    0,    1,    1,    0,   -3,   -4,
};

// clang-format on

// totalMaterial bounds of the phases (78 at the start): above
// OpeningMaterialAbove every kind has its opening table; the king's
// middle-game table starts at KingMiddleGameFrom, the pawns' at
// PawnMiddleGameFrom, and below EndgameMaterialBelow both have their
// endgame table.
constexpr int OpeningMaterialAbove = 70;
constexpr int PawnMiddleGameFrom = 63;
constexpr int KingMiddleGameFrom = 47;
constexpr int EndgameMaterialBelow = 15;

// totalMaterial is a byte: one table choice for every value it can hold.
constexpr int PhaseCount = 256;

inline constexpr int16_t EmptyTable[64] = {};

// The table of each kind (NoKind: all zero) for each phase.
struct PhaseTables {
    const int16_t* byKind[KindCount][PhaseCount];
};
inline constexpr PhaseTables PstByPhase = [] {
    PhaseTables t{};
    for (int p = 0; p < PhaseCount; ++p) {
        const bool opening = p > OpeningMaterialAbove;
        const bool endgame = p < EndgameMaterialBelow;
        t.byKind[NoKind][p] = EmptyTable;
        t.byKind[KingKind][p] = opening                   ? KingTable1
                                : p >= KingMiddleGameFrom ? KingTable2
                                : !endgame                ? KingTable3
                                                          : KingTable4;
        t.byKind[PawnKind][p] = opening                   ? PawnTable1
                                : p >= PawnMiddleGameFrom ? PawnTable2
                                : !endgame                ? PawnTable3
                                                          : PawnTable4;
        t.byKind[KnightKind][p] = opening ? KnightTable1 : KnightTable2;
        t.byKind[BishopKind][p] = opening ? BishopTable1 : BishopTable2;
        t.byKind[RookKind][p] = opening ? RookTable1 : RookTable2;
        t.byKind[QueenKind][p] = opening ? QueenTable1 : QueenTable2;
    }
    return t;
}();

// The table of a kind in a phase.
inline const int16_t* PhaseTable(int kind, int phase) { return PstByPhase.byKind[kind][phase]; }

// The table of a piece code's kind for the Board's totalMaterial (both
// colours of a kind share it; indexed by plain square); codes outside the
// pieces read an all-zero table.
inline const int16_t* PieceSquareTable(const Board& board, int code) {
    return static_cast<unsigned>(code) <= BlackKing ? PhaseTable(KindOf(code), board.totalMaterial) : EmptyTable;
}

}  // namespace kavrin
