// Position keys: the fixed random values XORed into hashKey and pawnKey.
#pragma once

#include <cstdint>

#include "board/types.h"

namespace kavrin {

// [PieceCode][Square]. Row 0 holds no piece: its entries are the en-passant
// keys (squares 16..23 and 40..47) and the four castling keys.
extern const uint64_t ZobristKeys[13][64];

// Squares of row 0 whose keys stand for the castling rights; none of them
// can be an en-passant square.
constexpr int CastleKeySquareWhiteKing = 62;   // flag 1
constexpr int CastleKeySquareWhiteQueen = 58;  // flag 2
constexpr int CastleKeySquareBlackKing = 6;    // flag 8
constexpr int CastleKeySquareBlackQueen = 2;   // flag 0x10

// Key of one castling right (one of the four flags), 0 for anything else.
inline uint64_t CastlingKey(uint16_t flag) {
    switch (flag) {
        case CastleWhiteKingFlag: return ZobristKeys[0][CastleKeySquareWhiteKing];
        case CastleWhiteQueenFlag: return ZobristKeys[0][CastleKeySquareWhiteQueen];
        case CastleBlackKingFlag: return ZobristKeys[0][CastleKeySquareBlackKing];
        case CastleBlackQueenFlag: return ZobristKeys[0][CastleKeySquareBlackQueen];
        default: return 0;
    }
}

// XOR of the keys of every right set in flags.
inline uint64_t CastlingKeys(uint16_t flags) {
    uint64_t keys = 0;
    if (flags & CastleWhiteKingFlag) keys ^= ZobristKeys[0][CastleKeySquareWhiteKing];
    if (flags & CastleWhiteQueenFlag) keys ^= ZobristKeys[0][CastleKeySquareWhiteQueen];
    if (flags & CastleBlackKingFlag) keys ^= ZobristKeys[0][CastleKeySquareBlackKing];
    if (flags & CastleBlackQueenFlag) keys ^= ZobristKeys[0][CastleKeySquareBlackQueen];
    return keys;
}

inline uint32_t LowHalf(uint64_t key) { return static_cast<uint32_t>(key); }

}  // namespace kavrin
