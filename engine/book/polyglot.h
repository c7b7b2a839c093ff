// The Polyglot book format, which most chess programs read: the position key
// of the format, its move word and its 16-byte entry. Kavrin writes its own
// book in this format too (kavrin.bin) and can play from any such book.
#pragma once

#include <cstdint>

#include "board/board.h"
#include "board/types.h"

namespace kavrin {

// Entry on disk, 16 bytes, every field highest byte first:
//   bytes  0-7   position key
//   bytes  8-9   move word
//   bytes 10-11  weight (the move is chosen in proportion to it)
//   bytes 12-15  learn (written 0)
// Entries ascend by key; the moves of one position are neighbours.
constexpr int PolyglotKeyOffset = 0;
constexpr int PolyglotMoveOffset = PolyglotKeyOffset + 8;
constexpr int PolyglotWeightOffset = PolyglotMoveOffset + 2;
constexpr int PolyglotLearnOffset = PolyglotWeightOffset + 2;
constexpr int PolyglotEntrySize = PolyglotLearnOffset + 4;
static_assert(PolyglotMoveOffset == 8 && PolyglotWeightOffset == 10 && PolyglotLearnOffset == 12,
              "Polyglot entry layout");
static_assert(PolyglotEntrySize == 16, "a Polyglot entry is 16 bytes");

// Move word: bits 0-2 destination file, 3-5 destination rank, 6-8 origin
// file, 9-11 origin rank (files and ranks from 0, a1 is 0), 12-14 promotion
// (0 none, 1 knight, 2 bishop, 3 rook, 4 queen), bit 15 unused. Castling is
// written as the king taking its own rook: e1h1, e1a1, e8h8, e8a8.
constexpr int PolyglotSquareBits = 6;
constexpr int PolyglotFromShift = PolyglotSquareBits;
constexpr int PolyglotPromotionShift = 2 * PolyglotSquareBits;
constexpr uint16_t PolyglotSquareMask = (1u << PolyglotSquareBits) - 1;
constexpr int PolyglotPromotionQueen = 4;
constexpr uint16_t PolyglotMoveMask = (PolyglotPromotionQueen << PolyglotPromotionShift) | 0x0FFF;
static_assert(PolyglotPromotionShift == 12 && PolyglotMoveMask == 0x4FFF, "Polyglot move word layout");

struct PolyglotEntry {
    uint64_t key;
    uint16_t move;
    uint16_t weight;
    uint32_t learn;
};

void EncodePolyglotEntry(const PolyglotEntry& entry, uint8_t out[PolyglotEntrySize]);
PolyglotEntry DecodePolyglotEntry(const uint8_t in[PolyglotEntrySize]);

// The Polyglot key of the position on b with side to move side (1 White):
// its pieces, castling rights and side to move, and the file of a pawn that
// has just moved two squares when a pawn of the side to move stands beside
// it (whether that capture would be legal is not asked).
uint64_t PolyglotKey(const Board& b, int side);

// The move word of m (a move generated on b's position).
uint16_t PolyglotMove(Move m);

// Whether a move word names a move at all: origin and destination differ, the
// promotion field is 0 to 4, bit 15 is clear.
bool IsPolyglotMoveWord(uint16_t word);

}  // namespace kavrin
