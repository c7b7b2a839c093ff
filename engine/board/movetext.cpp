#include "board/movetext.h"

#include <cstdio>

#include "board/board.h"

namespace kavrin {

namespace {

char* WriteSquare(char* out, int s) {
    *out++ = static_cast<char>('a' + ColumnOf(s));
    *out++ = static_cast<char>('8' - RowOf(s));
    return out;
}

char LetterOf(unsigned code) { return code < sizeof PieceLetters - 1 ? PieceLetters[code] : '?'; }

// One decoder for both sources: the piece array, en-passant square and
// castling flags of either the game snapshot or the Board. The characters are
// examined in order, so a shorter text stops at its NUL.
Move DecodeMoveText(const char* text, const uint8_t* pieces, int epSquare, unsigned castling, bool upperCaseToo) {
    if (text == nullptr || !IsFileLetter(text[0]) || !IsRankDigit(text[1]) || !IsFileLetter(text[2]) ||
        !IsRankDigit(text[3]))
        return 0;
    const int from = SquareOf(text[0], text[1]);
    const int to = SquareOf(text[2], text[3]);

    // Castling is decided by the rights alone; without the right a king's
    // two-square move is an ordinary king move.
    if (from == 4 && (castling & CastleBlackFlags)) {
        if (to == 2 && (castling & CastleBlackQueenFlag)) return MakeMoveWord(from, to, BlackCastleQueen);
        if (to == 6 && (castling & CastleBlackKingFlag)) return MakeMoveWord(from, to, BlackCastleKing);
    } else if (from == 60 && (castling & CastleWhiteFlags)) {
        if (to == 58 && (castling & CastleWhiteQueenFlag)) return MakeMoveWord(from, to, WhiteCastleQueen);
        if (to == 62 && (castling & CastleWhiteKingFlag)) return MakeMoveWord(from, to, WhiteCastleKing);
    }

    const bool targetOccupied = pieces[to] != Empty;
    if (pieces[from] > BlackPawn) return MakeMoveWord(from, to, targetOccupied ? Capture : Quiet);

    // A pawn or an empty square: a promotion letter decides the kind; any
    // other fifth character (an upper-case letter too, unless allowed) is
    // read as the end of a four-character text.
    const bool letterAllowed = upperCaseToo || text[4] >= 'a';
    if (const int promotion = letterAllowed ? PromotionKind(text[4]) : 0; promotion != 0)
        return MakeMoveWord(from, to, targetOccupied ? promotion + 4 : promotion);
    if (epSquare != 0 && to == epSquare) return MakeMoveWord(from, to, EnPassant);
    return MakeMoveWord(from, to, targetOccupied ? Capture : Quiet);
}

}  // namespace

int PromotionKind(char letter) {
    switch (letter) {
        case 'Q':
        case 'q':
            return PromoteQueen;
        case 'N':
        case 'n':
            return PromoteKnight;
        case 'R':
        case 'r':
            return PromoteRook;
        case 'B':
        case 'b':
            return PromoteBishop;
        default:
            return 0;
    }
}

char* MoveToText(char* out, Move m) {
    static constexpr const char* castlingTexts[4] = {"e8g8", "e1g1", "e8c8", "e1c1"};
    static constexpr char promotionLetters[4] = {'q', 'n', 'r', 'b'};
    const int kind = MoveKindOf(m);
    if (kind >= BlackCastleKing) {
        for (const char* c = castlingTexts[kind - BlackCastleKing]; *c; ++c) *out++ = *c;
    } else {
        out = WriteSquare(out, MoveFrom(m));
        out = WriteSquare(out, MoveTo(m));
        if (kind >= PromoteQueen) *out++ = promotionLetters[(kind - PromoteQueen) & 3];
    }
    *out = '\0';
    return out;
}

Move TextToMove(const Position& pos, const char* text) {
    const GameSnapshot& snapshot = pos.snapshot;
    return DecodeMoveText(text, snapshot.pieceOn, snapshot.epSquare, snapshot.castling, false);
}

Move TextToMoveOnBoard(const Position& pos, const char* text) {
    const Board& board = pos.board;
    return DecodeMoveText(text, board.pieceOn, board.epSquare, board.castling, true);
}

char* WriteFen(const Position& pos, char* out) {
    const Board& board = pos.board;
    for (int s = 0; s < 64; ++s) {
        if (s > 0 && ColumnOf(s) == 0) *out++ = '/';
        const unsigned code = board.pieceOn[s];
        if (code != Empty) {
            *out++ = LetterOf(code);
            continue;
        }
        int run = 1;
        while (ColumnOf(s) != 7 && board.pieceOn[s + 1] == Empty) {
            ++run;
            ++s;
        }
        *out++ = static_cast<char>('0' + run);
    }
    *out++ = ' ';
    *out++ = pos.sideToMove == White ? 'w' : 'b';
    *out++ = ' ';
    if (board.castling == 0) {
        *out++ = '-';
    } else {
        if (board.castling & CastleWhiteKingFlag) *out++ = 'K';
        if (board.castling & CastleWhiteQueenFlag) *out++ = 'Q';
        if (board.castling & CastleBlackKingFlag) *out++ = 'k';
        if (board.castling & CastleBlackQueenFlag) *out++ = 'q';
    }
    *out++ = ' ';
    if (board.epSquare != 0 && board.epSquare < 64)
        out = WriteSquare(out, board.epSquare);
    else
        *out++ = '-';
    *out = '\0';
    return out;
}

void PrintBoard(const uint8_t pieces[64]) {
    for (int i = 0; i < 64; ++i) {
        if (ColumnOf(i) == 0) std::printf("\n%d ", 8 - RowOf(i));
        std::printf("%c ", LetterOf(pieces[i]));
    }
    std::printf("\n\n  A B C D E F G H\n");
}

}  // namespace kavrin
