// Attack and mask tables built once at start-up, the rotated-occupancy
// layouts and the two bit primitives.
#pragma once

#include <array>
#include <cstdint>

#include "board/board.h"
#include "board/types.h"

namespace kavrin {

extern Bitboard SquareMask[64];
extern Bitboard SquareMaskFiles[64];
extern Bitboard SquareMaskA1H8[64];
extern Bitboard SquareMaskA8H1[64];
extern Bitboard KingAttacks[64];
extern Bitboard KnightAttacks[64];
extern Bitboard WhitePawnAttacks[64];
extern Bitboard BlackPawnAttacks[64];
extern Bitboard RankAttacks[64][256];
extern Bitboard FileAttacks[64][256];
extern Bitboard DiagA1H8Attacks[64][256];
extern Bitboard DiagA8H1Attacks[64][256];
extern Bitboard RookRays[64];
extern Bitboard BishopRays[64];
extern Bitboard QueenRays[64];
extern Bitboard FileOthers[64];
extern Bitboard AdjacentFiles[64];
extern Bitboard PassedSpanWhite[64];
extern Bitboard PassedSpanBlack[64];
extern Bitboard FrontSpanWhite[64];
extern Bitboard FrontSpanBlack[64];
// Rotated bits of an en-passant destination and of the captured pawn's square,
// indexed [rotation: 0 files, 1 a1-h8, 2 a8-h1][destination square].
extern Bitboard EpRotatedMasks[3][64];

// Diagonal line index: (rotated >> shift[s]) & mask[s]. The shift brings the
// diagonal's last square (in rotated order) to bit 0, the mask keeps the
// diagonal's length in bits.
using SquareBytes = std::array<uint8_t, 64>;
extern const SquareBytes ShiftA1H8;
extern const SquareBytes MaskA1H8;
extern const SquareBytes ShiftA8H1;
extern const SquareBytes MaskA8H1;

// The four line tables again, indexed by the inner squares of the line only
// (a line's end squares and the slider's own square never change its
// attacks): a quarter of the size, so that they stay in the nearer caches.
// Entry i of a line holds the full table's entry 2i.
extern Bitboard RankInnerAttacks[64][64];
extern Bitboard FileInnerAttacks[64][64];
extern Bitboard DiagA1H8InnerAttacks[64][64];
extern Bitboard DiagA8H1InnerAttacks[64][64];
// Shift and mask of a diagonal's inner squares in its rotated occupancy.
extern const SquareBytes InnerShiftA1H8;
extern const SquareBytes InnerMaskA1H8;
extern const SquareBytes InnerShiftA8H1;
extern const SquareBytes InnerMaskA8H1;

// Fills every table above, in dependency order, once per process (later
// calls find them built).
void BuildTables();

Bitboard RotateFiles(Bitboard b);
Bitboard RotateA1H8(Bitboard b);
Bitboard RotateA8H1(Bitboard b);

// Square of the lowest set bit of a non-empty set (63 minus the bit index).
inline int LowestSquare(Bitboard b) { return 63 - __builtin_ctzll(b); }
inline int PopCount(uint64_t b) { return __builtin_popcountll(b); }

inline unsigned RankByte(Bitboard occ, int s) { return static_cast<unsigned>(occ >> (8 * (7 - RowOf(s)))) & 0xFF; }
inline unsigned FileByte(Bitboard files, int s) { return static_cast<unsigned>(files >> (8 * ColumnOf(s))) & 0xFF; }

// Attacks of a slider on s along one line, from that line's occupancy
// (plain for the rank, rotated for the others).
inline Bitboard RankAttacksOn(int s, Bitboard occupied) {
    return RankInnerAttacks[s][(occupied >> (8 * (7 - RowOf(s)) + 1)) & 63];
}
inline Bitboard FileAttacksOn(int s, Bitboard files) {
    return FileInnerAttacks[s][(files >> (8 * ColumnOf(s) + 1)) & 63];
}
inline Bitboard A1H8AttacksOn(int s, Bitboard rotated) {
    return DiagA1H8InnerAttacks[s][(rotated >> InnerShiftA1H8[s]) & InnerMaskA1H8[s]];
}
inline Bitboard A8H1AttacksOn(int s, Bitboard rotated) {
    return DiagA8H1InnerAttacks[s][(rotated >> InnerShiftA8H1[s]) & InnerMaskA8H1[s]];
}

// Attacks of a slider on s over the Board's occupancy.
inline Bitboard RookAttacksFrom(const Board& board, int s) {
    return RankAttacksOn(s, board.occupied) | FileAttacksOn(s, board.occupiedFiles);
}
inline Bitboard BishopAttacksFrom(const Board& board, int s) {
    return A1H8AttacksOn(s, board.occupiedA1H8) | A8H1AttacksOn(s, board.occupiedA8H1);
}
inline Bitboard QueenAttacksFrom(const Board& board, int s) {
    return RookAttacksFrom(board, s) | BishopAttacksFrom(board, s);
}

}  // namespace kavrin
