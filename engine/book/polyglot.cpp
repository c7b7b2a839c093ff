#include "book/polyglot.h"

#include "board/tables.h"
#include "book/polyglot_random.h"
#include "system/binary_io.h"

namespace kavrin {

namespace {

constexpr int BoardFiles = 8;

// Square numbers of the format: file + 8 * rank, a1 = 0, h8 = 63 (the Board
// counts from a8 down).
constexpr int FormatSquare(int s) { return ColumnOf(s) + BoardFiles * (7 - RowOf(s)); }
static_assert(FormatSquare(56) == 0 && FormatSquare(63) == 7 && FormatSquare(0) == 56 && FormatSquare(7) == 63,
              "a1, h1, a8 and h8 in the format's numbering");

// The format numbers the twelve pieces black pawn 0, white pawn 1, black
// knight 2, ... white king 11: twice the kind from 0, plus 1 for White.
constexpr int FormatPiece(int code) { return 2 * (KindOf(code) - 1) + ColourOf(code); }
static_assert(FormatPiece(BlackPawn) == 0 && FormatPiece(WhitePawn) == 1 && FormatPiece(BlackKnight) == 2 &&
                  FormatPiece(WhiteQueen) == 9 && FormatPiece(BlackKing) == 10 && FormatPiece(WhiteKing) == 11,
              "the format's piece numbers");

// Castling rights in the order of the format's four castling numbers.
constexpr uint16_t CastlingRightsInFormatOrder[4] = {CastleWhiteKingFlag, CastleWhiteQueenFlag, CastleBlackKingFlag,
                                                     CastleBlackQueenFlag};

// Promotion field of a promotion kind (queen, knight, rook, bishop, with or
// without a capture).
constexpr uint16_t PromotionField(int kind) {
    constexpr uint16_t ByKind[4] = {PolyglotPromotionQueen, 1, 3, 2};  // Q N R B
    return ByKind[(kind - PromoteQueen) & 3];
}
static_assert(PromoteKnight - PromoteQueen == 1 && PromoteBishop - PromoteQueen == 3 &&
                  CapturePromoteQueen - PromoteQueen == 4,
              "promotion kinds come in the order Q N R B, twice");

// Whether a pawn of side stands beside the pawn that has just passed over
// epSquare, so that the format counts the en-passant file.
bool EnPassantCounts(const Board& b, int side) {
    if (b.epSquare == 0 || !IsEpSquare(b.epSquare)) return false;
    // White captures a black pawn that passed rank 6 and stands on rank 5,
    // one row below; Black a white pawn one row above rank 3.
    const int pushed = side == White ? b.epSquare + BoardFiles : b.epSquare - BoardFiles;
    if (b.pieceOn[pushed] != PawnOf(1 - side)) return false;
    const int file = ColumnOf(pushed);
    return (file > 0 && b.pieceOn[pushed - 1] == PawnOf(side)) ||
           (file < BoardFiles - 1 && b.pieceOn[pushed + 1] == PawnOf(side));
}

}  // namespace

void EncodePolyglotEntry(const PolyglotEntry& entry, uint8_t out[PolyglotEntrySize]) {
    PutBe(out + PolyglotKeyOffset, entry.key);
    PutBe(out + PolyglotMoveOffset, entry.move);
    PutBe(out + PolyglotWeightOffset, entry.weight);
    PutBe(out + PolyglotLearnOffset, entry.learn);
}

PolyglotEntry DecodePolyglotEntry(const uint8_t in[PolyglotEntrySize]) {
    return PolyglotEntry{GetBe<uint64_t>(in + PolyglotKeyOffset), GetBe<uint16_t>(in + PolyglotMoveOffset),
                         GetBe<uint16_t>(in + PolyglotWeightOffset), GetBe<uint32_t>(in + PolyglotLearnOffset)};
}

uint64_t PolyglotKey(const Board& b, int side) {
    uint64_t key = 0;
    for (Bitboard pieces = b.occupied; pieces != 0; pieces &= pieces - 1) {
        const int s = LowestSquare(pieces);
        key ^= PolyglotRandom[64 * FormatPiece(b.pieceOn[s]) + FormatSquare(s)];
    }
    for (int i = 0; i < 4; i++) {
        if (b.castling & CastlingRightsInFormatOrder[i]) key ^= PolyglotRandom[PolyglotCastleKeysOffset + i];
    }
    if (EnPassantCounts(b, side)) key ^= PolyglotRandom[PolyglotEnPassantKeysOffset + ColumnOf(b.epSquare)];
    if (side == White) key ^= PolyglotRandom[PolyglotTurnKeyOffset];
    return key;
}

uint16_t PolyglotMove(Move m) {
    const int from = MoveFrom(m);
    int to = MoveTo(m);
    const int kind = MoveKindOf(m);
    uint16_t promotion = 0;
    if (IsCastling(m)) {
        // The king's destination g or c becomes its rook's corner h or a.
        to = ColumnOf(to) > ColumnOf(from) ? to + 1 : to - 2;
    } else if (IsPromotion(m)) {
        promotion = PromotionField(kind);
    }
    return static_cast<uint16_t>(promotion << PolyglotPromotionShift | FormatSquare(from) << PolyglotFromShift |
                                 FormatSquare(to));
}

bool IsPolyglotMoveWord(uint16_t word) {
    const int to = word & PolyglotSquareMask;
    const int from = (word >> PolyglotFromShift) & PolyglotSquareMask;
    const int promotion = word >> PolyglotPromotionShift;
    return from != to && promotion <= PolyglotPromotionQueen;
}

}  // namespace kavrin
