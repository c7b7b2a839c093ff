#include "notation/san.h"

#include <cstring>

#include "board/board.h"
#include "board/legal.h"
#include "board/movetext.h"
#include "board/tables.h"

namespace kavrin {

namespace {

constexpr char Decoration[] = "x+#!?=-";
constexpr Bitboard AllSquares = ~Bitboard{0};

bool OnBoard(int s) { return s >= 0 && s < 64; }

Bitboard FileMask(char file) { return ColumnMask(file - 'a'); }
Bitboard RankMask(char rank) { return RowMask('8' - rank); }

// The square one pawn step behind s for the side to move (may leave the board).
int StepBehind(const Position& pos, int s) { return pos.sideToMove == White ? s + 8 : s - 8; }

Move CastlingMove(const Position& pos, bool kingSide) {
    const Board& board = pos.board;
    if (pos.sideToMove == White) {
        if (kingSide) return (board.castling & CastleWhiteKingFlag) ? CastleWhiteKingSide : 0;
        return (board.castling & CastleWhiteQueenFlag) ? CastleWhiteQueenSide : 0;
    }
    if (kingSide) return (board.castling & CastleBlackKingFlag) ? CastleBlackKingSide : 0;
    return (board.castling & CastleBlackQueenFlag) ? CastleBlackQueenSide : 0;
}

// e4: the pawn one step behind the target, or two when that square holds no pawn.
Move PawnPush(const Position& pos, const char* s) {
    if (!IsFileLetter(s[0]) || !IsRankDigit(s[1])) return 0;
    const int to = SquareOf(s[0], s[1]);
    int from = StepBehind(pos, to);
    if (!OnBoard(from)) return 0;
    if (!IsPawn(pos.board.pieceOn[from])) from = StepBehind(pos, from);
    if (!OnBoard(from)) return 0;
    return MakeMoveWord(from, to, Quiet);
}

// e8Q: a promoting push.
Move PromotingPush(const Position& pos, const char* s) {
    if (!IsFileLetter(s[0]) || !IsRankDigit(s[1])) return 0;
    const int to = SquareOf(s[0], s[1]);
    const int from = StepBehind(pos, to);
    if (!OnBoard(from)) return 0;
    return MakeMoveWord(from, to, PromotionKind(s[2]));
}

// de8Q: a promoting capture from the neighbouring file s[0].
Move PromotingCapture(const Position& pos, const char* s) {
    if (!IsFileLetter(s[1]) || !IsRankDigit(s[2])) return 0;
    const int to = SquareOf(s[1], s[2]);
    const bool fromFileA = s[0] < s[1];
    int from;
    if (pos.sideToMove == White)
        from = fromFileA ? to + 7 : to + 9;
    else
        from = fromFileA ? to - 9 : to - 7;
    if (!OnBoard(from)) return 0;
    const int kind = pos.board.pieceOn[to] != Empty ? CapturePromotionKind(s[3]) : PromotionKind(s[3]);
    return MakeMoveWord(from, to, kind);
}

// Nbd7, R1e2: one disambiguating file or rank.
Move DisambiguatedMove(Position& pos, const char* s) {
    if (!IsFileLetter(s[2]) || !IsRankDigit(s[3])) return 0;
    const int to = SquareOf(s[2], s[3]);
    Bitboard mask;
    if (IsFileLetter(s[1]))
        mask = FileMask(s[1]);
    else if (IsRankDigit(s[1]))
        mask = RankMask(s[1]);
    else
        return 0;
    const char shortened[4] = {s[0], s[2], s[3], '\0'};
    return ResolvePieceMove(pos, shortened, to, mask);
}

}  // namespace

int CapturePromotionKind(char letter) {
    const int kind = PromotionKind(letter);
    return kind == 0 ? 0 : kind + 4;
}

Move ParseSan(Position& pos, const char* text) {
    // Work copy of at most SanTextLimit characters, decoration removed.
    char s[SanTextLimit + 1];
    int n = 0;
    for (int i = 0; i < SanTextLimit && text[i] != '\0'; ++i) {
        if (std::strchr(Decoration, text[i]) == nullptr) s[n++] = text[i];
    }
    s[n] = '\0';

    switch (n) {
        case 2:
            if (std::strcmp(s, "OO") == 0 || std::strcmp(s, "00") == 0) return CastlingMove(pos, true);
            return PawnPush(pos, s);
        case 3:
            if (std::strcmp(s, "OOO") == 0 || std::strcmp(s, "000") == 0) return CastlingMove(pos, false);
            if (PromotionKind(s[2]) != 0) return PromotingPush(pos, s);
            if (!IsFileLetter(s[1]) || !IsRankDigit(s[2])) return 0;
            return ResolvePieceMove(pos, s, SquareOf(s[1], s[2]), AllSquares);
        case 4: {
            if (PromotionKind(s[3]) != 0) return PromotingCapture(pos, s);
            const Move coordinate = TextToMoveOnBoard(pos, s);
            if (coordinate != 0) return coordinate;
            return DisambiguatedMove(pos, s);
        }
        case 5: {
            const Move withPiece = TextToMoveOnBoard(pos, s + 1);
            return withPiece != 0 ? withPiece : TextToMoveOnBoard(pos, s);
        }
        default:
            return 0;
    }
}

Move ResolvePieceMove(Position& pos, const char* text, int to, Bitboard originMask) {
    const Board& board = pos.board;
    int kind = board.pieceOn[to] != Empty ? Capture : Quiet;
    const int side = pos.sideToMove;
    Bitboard candidates;
    switch (text[0]) {
        case 'N':
            candidates = KnightAttacks[to] & board.pieceBitboard[KnightOf(side)] & originMask;
            break;
        case 'B':
            candidates = BishopAttacksFrom(board, to) & board.pieceBitboard[BishopOf(side)] & originMask;
            break;
        case 'R':
            candidates = RookAttacksFrom(board, to) & board.pieceBitboard[RookOf(side)] & originMask;
            break;
        case 'Q':
            candidates = QueenAttacksFrom(board, to) & board.pieceBitboard[QueenOf(side)] & originMask;
            break;
        case 'K': {
            const int from = board.kingSquare[side];
            if (!OnBoard(from)) return 0;
            return MakeMoveWord(from, to, kind);
        }
        default: {
            if (!IsFileLetter(text[0])) return 0;
            const int behind[2] = {side == White ? to + 7 : to - 7, side == White ? to + 9 : to - 9};
            candidates = 0;
            for (const int s : behind) {
                if (OnBoard(s)) candidates |= SquareMask[s];
            }
            candidates &= FileMask(text[0]) & board.pieceBitboard[PawnOf(side)];
            kind = board.pieceOn[to] != Empty ? Capture : EnPassant;
            break;
        }
    }
    if (candidates == 0) return 0;
    if (PopCount(candidates) == 1) return MakeMoveWord(LowestSquare(candidates), to, kind);

    // Several pieces could move there: exactly one of them may do so legally.
    Move found = 0;
    while (candidates != 0) {
        const int from = LowestSquare(candidates);
        candidates &= candidates - 1;
        const Move m = MakeMoveWord(from, to, kind);
        if (!IsLegalMove(pos, m)) continue;
        if (found != 0) return 0;
        found = m;
    }
    return found;
}

}  // namespace kavrin
