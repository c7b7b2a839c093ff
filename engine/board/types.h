// Shared encodings: squares, bitboards, colours, piece codes, the Move word
// and the move-list entry. Every subsystem reads these.
#pragma once

#include <cstdint>

namespace kavrin {

// Square 0 is a8, 7 is h8, 56 is a1, 63 is h1: square = file + 8 * (8 - rank).
using Square = int;
// Square s is bit 63 - s: h1 is bit 0, a8 is bit 63. A rank is one byte.
using Bitboard = uint64_t;

constexpr Bitboard Bit(int s) { return Bitboard{1} << (63 - s); }
// Row 0 is rank 8, column 0 the a-file.
constexpr int RowOf(int s) { return s >> 3; }
constexpr int ColumnOf(int s) { return s & 7; }
constexpr Bitboard RowMask(int row) { return Bitboard{0xFF} << (8 * (7 - row)); }
constexpr Bitboard ColumnMask(int column) { return 0x8080808080808080ULL >> column; }

// Square names in text: file letter a-h, rank digit 1-8.
constexpr bool IsFileLetter(char c) { return c >= 'a' && c <= 'h'; }
constexpr bool IsRankDigit(char c) { return c >= '1' && c <= '8'; }
constexpr int SquareOf(char file, char rank) { return (file - 'a') + 8 * ('8' - rank); }

// The squares a double push passes over: rank 6 (16..23) and rank 3 (40..47).
constexpr bool IsEpSquare(int s) { return (s >= 16 && s <= 23) || (s >= 40 && s <= 47); }

enum Colour : int { Black = 0, White = 1 };

enum PieceCode : uint8_t {
    Empty = 0,
    WhitePawn = 1, BlackPawn = 2,
    WhiteKnight = 3, BlackKnight = 4,
    WhiteBishop = 5, BlackBishop = 6,
    WhiteRook = 7, BlackRook = 8,
    WhiteQueen = 9, BlackQueen = 10,
    WhiteKing = 11, BlackKing = 12,
};

// Code of a kind for colour c: white code + 1 - c.
constexpr int PawnOf(int c) { return 2 - c; }
constexpr int KnightOf(int c) { return 4 - c; }
constexpr int BishopOf(int c) { return 6 - c; }
constexpr int RookOf(int c) { return 8 - c; }
constexpr int QueenOf(int c) { return 10 - c; }
constexpr int KingOf(int c) { return 12 - c; }
constexpr int ColourOf(int code) { return code & 1; }
constexpr bool IsPawn(int code) { return code == WhitePawn || code == BlackPawn; }

// Both colours of a kind share it: code 2 * kind - 1 is white, 2 * kind black.
enum PieceKind : uint8_t { NoKind = 0, PawnKind, KnightKind, BishopKind, RookKind, QueenKind, KingKind, KindCount };
constexpr int KindOf(int code) { return (code + 1) >> 1; }

constexpr char PieceLetters[] = ".PpNnBbRrQqKk";

constexpr uint8_t MaterialUnits[13] = {0, 1, 1, 3, 3, 3, 3, 5, 5, 9, 9, 150, 200};
// totalMaterial below this without pawns: at most one minor piece, no mate.
constexpr int MatingMaterialFloor = 4;
constexpr int16_t PieceValue[13] = {0, 100, 100, 320, 320, 325, 325, 500, 500, 950, 950, 2000, 2000};

// Move word:  bits 0-5 destination, bits 6-11 origin, bits 12-15 kind.
using Move = uint16_t;
constexpr int MoveToBits = 6;
constexpr int MoveFromShift = 6;
constexpr int MoveKindShift = 12;
constexpr Move SquareBitsMask = (1u << MoveToBits) - 1;

enum MoveKind : uint8_t {
    Quiet = 0,
    Capture = 1,
    EnPassant = 2,
    MarkerKind = 3,
    PromoteQueen = 4, PromoteKnight = 5, PromoteRook = 6, PromoteBishop = 7,
    CapturePromoteQueen = 8, CapturePromoteKnight = 9, CapturePromoteRook = 10, CapturePromoteBishop = 11,
    BlackCastleKing = 12, WhiteCastleKing = 13, BlackCastleQueen = 14, WhiteCastleQueen = 15,
};

constexpr Move MakeMoveWord(int from, int to, int kind) {
    return static_cast<Move>((kind << MoveKindShift) | (from << MoveFromShift) | to);
}
constexpr int MoveTo(Move m) { return m & SquareBitsMask; }
constexpr int MoveFrom(Move m) { return (m >> MoveFromShift) & SquareBitsMask; }
constexpr int MoveKindOf(Move m) { return m >> MoveKindShift; }
constexpr bool IsCastling(Move m) { return m >= 0xC000; }
constexpr bool IsPromotion(Move m) { return MoveKindOf(m) >= PromoteQueen && MoveKindOf(m) <= CapturePromoteBishop; }
constexpr bool IsCaptureKind(int kind) { return kind == Capture || kind == EnPassant || (kind >= CapturePromoteQueen && kind <= CapturePromoteBishop); }

constexpr Move CastleBlackKingSide = MakeMoveWord(4, 6, BlackCastleKing);
constexpr Move CastleWhiteKingSide = MakeMoveWord(60, 62, WhiteCastleKing);
constexpr Move CastleBlackQueenSide = MakeMoveWord(4, 2, BlackCastleQueen);
constexpr Move CastleWhiteQueenSide = MakeMoveWord(60, 58, WhiteCastleQueen);
static_assert(sizeof(Move) == 2, "the Move word is 16 bits");
static_assert(CastleBlackKingSide == 0xC106 && CastleWhiteKingSide == 0xDF3E, "king-side castling words");
static_assert(CastleBlackQueenSide == 0xE102 && CastleWhiteQueenSide == 0xFF3A, "queen-side castling words");

// Castling rights, the bits of Board::castling.
constexpr uint16_t CastleWhiteKingFlag = 1;
constexpr uint16_t CastleWhiteQueenFlag = 2;
constexpr uint16_t CastleBlackKingFlag = 8;
constexpr uint16_t CastleBlackQueenFlag = 0x10;
constexpr uint16_t CastleWhiteFlags = CastleWhiteKingFlag | CastleWhiteQueenFlag;
constexpr uint16_t CastleBlackFlags = CastleBlackKingFlag | CastleBlackQueenFlag;
constexpr uint16_t CastleAllFlags = CastleWhiteFlags | CastleBlackFlags;
static_assert(CastleAllFlags == 0x1B, "the castling flags");

// Kind-3 words that stand for a game result rather than a move.
constexpr Move ResultCheckmated = 0x3000;
constexpr Move ResultStalemate = 0x3041;
constexpr Move ResultRepetition = 0x3082;
constexpr Move NullMoveMarker = 0x3104;
constexpr Move ResultFiftyMoves = 0x3186;
constexpr Move ResultInsufficientMaterial = 0x31C7;

// Move-list entry: ordering score, then the Move.
struct MoveEntry {
    int16_t score;
    Move move;
};
static_assert(sizeof(MoveEntry) == 4, "a move-list entry is four bytes");

constexpr int16_t ScoreMax = 8190;
constexpr int16_t MateValue = 8100;
// Scores above this (or below its negative) announce a mate.
constexpr int16_t MateScoreThreshold = MateValue - 50;

// Deepest search iteration and deepest perft; also the largest depth a
// transposition-table entry holds.
constexpr int MaxDepth = 127;

// Capacities of the global records.
constexpr int HistorySize = 1024;
constexpr int PlyStackSize = 136;
constexpr int MoveStackSize = 16512;
constexpr int MaxGamePlies = 1023;
// Room for the quiet-move ordering keys of one ply: more than the largest
// legal move list (218).
constexpr int OrderKeysSize = 256;

constexpr uint8_t NoKingSquare = 100;

}  // namespace kavrin
