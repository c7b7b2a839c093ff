#include "board/movetext.h"

#include <cstdio>

#include "board/board.h"

namespace kavrin {

namespace {

char* WriteSquare(char* out, int s) {
    *out++ = static_cast<char>('a' + (s & 7));
    *out++ = static_cast<char>('8' - (s >> 3));
    return out;
}

char LetterOf(unsigned code) { return code < sizeof PieceLetters - 1 ? PieceLetters[code] : '?'; }

// Promotion kind without capture (4..7) for a letter, 0 for none.
int PromotionKind(char c, bool upperCaseToo) {
    switch (c) {
        case 'q': return PromoteQueen;
        case 'n': return PromoteKnight;
        case 'r': return PromoteRook;
        case 'b': return PromoteBishop;
        default: break;
    }
    if (!upperCaseToo) return 0;
    switch (c) {
        case 'Q': return PromoteQueen;
        case 'N': return PromoteKnight;
        case 'R': return PromoteRook;
        case 'B': return PromoteBishop;
        default: return 0;
    }
}

bool IsFile(char c) { return c >= 'a' && c <= 'h'; }
bool IsRank(char c) { return c >= '1' && c <= '8'; }
int SquareOf(char file, char rank) { return (file - 'a') + 8 * ('8' - rank); }

// One decoder for both sources: the piece array, en-passant square and
// castling flags of either the game snapshot or the Board. The characters are
// examined in order, so a shorter text stops at its NUL.
Move DecodeMoveText(const char* text, const uint8_t* pieces, int epSquare, unsigned castling, bool upperCaseToo) {
    if (text == nullptr || !IsFile(text[0]) || !IsRank(text[1]) || !IsFile(text[2]) || !IsRank(text[3])) return 0;
    const int from = SquareOf(text[0], text[1]);
    const int to = SquareOf(text[2], text[3]);

    // Castling is decided by the rights alone; without the right a king's
    // two-square move is an ordinary king move.
    if (from == 4 && (castling & 0x18)) {
        if (to == 2 && (castling & 0x10)) return MakeMoveWord(from, to, BlackCastleQueen);
        if (to == 6 && (castling & 0x08)) return MakeMoveWord(from, to, BlackCastleKing);
    } else if (from == 60 && (castling & 0x03)) {
        if (to == 58 && (castling & 0x02)) return MakeMoveWord(from, to, WhiteCastleQueen);
        if (to == 62 && (castling & 0x01)) return MakeMoveWord(from, to, WhiteCastleKing);
    }

    const bool targetOccupied = pieces[to] != Empty;
    if (pieces[from] > BlackPawn) return MakeMoveWord(from, to, targetOccupied ? Capture : Quiet);

    // A pawn or an empty square: a promotion letter decides the kind; any
    // other fifth character is read as the end of a four-character text.
    if (const int promotion = PromotionKind(text[4], upperCaseToo); promotion != 0)
        return MakeMoveWord(from, to, targetOccupied ? promotion + 4 : promotion);
    if (epSquare != 0 && to == epSquare) return MakeMoveWord(from, to, EnPassant);
    return MakeMoveWord(from, to, targetOccupied ? Capture : Quiet);
}

}  // namespace

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

Move TextToMove(const char* text) {
    return DecodeMoveText(text, gameSnapshot.pieceOn, gameSnapshot.epSquare, gameSnapshot.castling, false);
}

Move TextToMoveOnBoard(const char* text) {
    return DecodeMoveText(text, board.pieceOn, board.epSquare, board.castling, true);
}

char* WriteFen(char* out) {
    for (int s = 0; s < 64; ++s) {
        if (s > 0 && (s & 7) == 0) *out++ = '/';
        const unsigned code = board.pieceOn[s];
        if (code != Empty) {
            *out++ = LetterOf(code);
            continue;
        }
        int run = 1;
        while ((s & 7) != 7 && board.pieceOn[s + 1] == Empty) {
            ++run;
            ++s;
        }
        *out++ = static_cast<char>('0' + run);
    }
    *out++ = ' ';
    *out++ = sideToMove == White ? 'w' : 'b';
    *out++ = ' ';
    if (board.castling == 0) {
        *out++ = '-';
    } else {
        if (board.castling & 0x01) *out++ = 'K';
        if (board.castling & 0x02) *out++ = 'Q';
        if (board.castling & 0x08) *out++ = 'k';
        if (board.castling & 0x10) *out++ = 'q';
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
        if (i % 8 == 0) std::printf("\n%d ", 8 - i / 8);
        std::printf("%c ", LetterOf(pieces[i]));
    }
    std::printf("\n\n  A B C D E F G H\n");
}

}  // namespace kavrin
