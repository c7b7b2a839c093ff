// A Kavrin position as the Syzygy probing library takes it. The library
// counts squares from a1 (square 0 = a1, 63 = h8, square s is bit s of a
// bitboard); Kavrin counts them from a8 (square 0 = a8, 63 = h1, bit 63 - s).
// Every position and move that crosses to the library goes through here.
#pragma once

#include <cstdint>

#include "board/board.h"
#include "board/types.h"

namespace kavrin {

// The library's castling flags.
constexpr unsigned TbCastleWhiteKing = 1;
constexpr unsigned TbCastleWhiteQueen = 2;
constexpr unsigned TbCastleBlackKing = 4;
constexpr unsigned TbCastleBlackQueen = 8;

struct TbPosition {
    uint64_t white = 0;
    uint64_t black = 0;
    uint64_t kings = 0;
    uint64_t queens = 0;
    uint64_t rooks = 0;
    uint64_t bishops = 0;
    uint64_t knights = 0;
    uint64_t pawns = 0;
    unsigned rule50 = 0;    // plies since the last capture or pawn move
    unsigned castling = 0;  // TbCastle flags
    unsigned ep = 0;        // the square a double push passed over, 0 when none
    bool whiteToMove = true;
};

// The same square on the library's board: the rank turns over, the file stays.
constexpr int TbSquareOf(int square) { return square ^ 56; }
constexpr int SquareOfTb(int tbSquare) { return tbSquare ^ 56; }

TbPosition ToTbPosition(const Position& pos);

// Pieces on the board, kings included.
int PieceCount(const Board& board);

}  // namespace kavrin
