#include "board/tables.h"

#include "search/eval.h"

namespace kavrin {

Bitboard SquareMask[64];
Bitboard SquareMaskFiles[64];
Bitboard SquareMaskA1H8[64];
Bitboard SquareMaskA8H1[64];
Bitboard KingAttacks[64];
Bitboard KnightAttacks[64];
Bitboard WhitePawnAttacks[64];
Bitboard BlackPawnAttacks[64];
Bitboard RankAttacks[64][256];
Bitboard FileAttacks[64][256];
Bitboard DiagA1H8Attacks[64][256];
Bitboard DiagA8H1Attacks[64][256];
Bitboard RookRays[64];
Bitboard BishopRays[64];
Bitboard QueenRays[64];
Bitboard FileOthers[64];
Bitboard AdjacentFiles[64];
Bitboard PassedSpanWhite[64];
Bitboard PassedSpanBlack[64];
Bitboard FrontSpanWhite[64];
Bitboard FrontSpanBlack[64];
Bitboard EpRotatedMasks[3][64];
const uint8_t ShiftA1H8[64] = {};
const uint8_t MaskA1H8[64] = {};
const uint8_t ShiftA8H1[64] = {};
const uint8_t MaskA8H1[64] = {};

void BuildTables() { BuildPstSelectors(); }

Bitboard RotateFiles(Bitboard) { return 0; }
Bitboard RotateA1H8(Bitboard) { return 0; }
Bitboard RotateA8H1(Bitboard) { return 0; }

}  // namespace kavrin
