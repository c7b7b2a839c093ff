#include "board/fen.h"

#include <cstdlib>
#include <cstring>

#include "board/board.h"
#include "board/tables.h"
#include "board/zobrist.h"

namespace kavrin {

namespace {

// A position under construction; copied to the position only once it is
// complete.
struct ScratchPosition {
    Board board;
    int sideToMove;
    int kingCount[2];
    int pieceCount[2];  // kings included
};

const char* SkipBlanks(const char* p) {
    while (*p == ' ') ++p;
    return p;
}

int CodeOfLetter(char c) {
    const char* found = c != '\0' ? std::strchr(PieceLetters + 1, c) : nullptr;
    return found ? static_cast<int>(found - PieceLetters) : 0;
}

void PlacePiece(ScratchPosition& pos, int code, int s) {
    Board& b = pos.board;
    const int colour = ColourOf(code);
    if (code == KingOf(colour)) {
        b.kingSquare[colour] = static_cast<uint8_t>(s);
        ++pos.kingCount[colour];
    } else {
        b.pieceBitboard[code] |= SquareMask[s];
    }
    ++pos.pieceCount[colour];
    b.pieceOn[s] = static_cast<uint8_t>(code);
    b.hashKey ^= ZobristKeys[code][s];
    if (code == PawnOf(colour)) {
        b.pawnKey ^= LowHalf(ZobristKeys[code][s]);
        ++b.pawnCount[colour];
    } else if (code != KingOf(colour)) {
        b.nonPawnMaterial[colour] = static_cast<uint8_t>(b.nonPawnMaterial[colour] + MaterialUnits[code]);
    }
    if (code != KingOf(colour)) b.totalMaterial = static_cast<uint8_t>(b.totalMaterial + MaterialUnits[code]);
}

// Squares 0..63 in order; digits skip squares, '/' is ignored. Returns the
// position after the field, or nullptr on any other character.
const char* ReadPlacement(const char* p, ScratchPosition& pos) {
    int s = 0;
    while (s < 64) {
        const char c = *p;
        if (c == '/') {
            ++p;
        } else if (c >= '1' && c <= '8') {
            s += c - '0';
            ++p;
        } else if (const int code = CodeOfLetter(c); code != 0) {
            PlacePiece(pos, code, s++);
            ++p;
        } else {
            return nullptr;
        }
    }
    return p;
}

// A castling right only stands while its king and rook are on their starting
// squares; otherwise castling would move a rook that is not there.
uint16_t MatchingCastlingRights(const Board& b, uint16_t flags) {
    struct Right {
        uint16_t flag;
        int kingSquare;
        int king;
        int rookSquare;
        int rook;
    };
    constexpr Right rights[4] = {{1, 60, WhiteKing, 63, WhiteRook},
                                 {2, 60, WhiteKing, 56, WhiteRook},
                                 {8, 4, BlackKing, 7, BlackRook},
                                 {0x10, 4, BlackKing, 0, BlackRook}};
    for (const Right& right : rights)
        if (b.pieceOn[right.kingSquare] != right.king || b.pieceOn[right.rookSquare] != right.rook)
            flags &= static_cast<uint16_t>(~right.flag);
    return flags;
}

// An en-passant square stands only where a pawn of the side that just moved
// can have passed over it: rank 6 with white to move (black pawn below it,
// the square itself and its origin behind it empty), rank 3 mirrored.
uint8_t MatchingEpSquare(const Board& b, int side, int ep) {
    if (side == White && ep >= 16 && ep <= 23) {
        if (b.pieceOn[ep + 8] == BlackPawn && b.pieceOn[ep] == Empty && b.pieceOn[ep - 8] == Empty)
            return static_cast<uint8_t>(ep);
    } else if (side == Black && ep >= 40 && ep <= 47) {
        if (b.pieceOn[ep - 8] == WhitePawn && b.pieceOn[ep] == Empty && b.pieceOn[ep + 8] == Empty)
            return static_cast<uint8_t>(ep);
    }
    return 0;
}

void CompleteOccupancy(Board& b) {
    for (int colour = Black; colour <= White; ++colour) {
        Bitboard own = b.kingSquare[colour] < 64 ? SquareMask[b.kingSquare[colour]] : 0;
        for (int code = PawnOf(colour); code <= QueenOf(colour); code += 2) own |= b.pieceBitboard[code];
        b.colourOccupied[colour] = own;
    }
    b.occupied = b.colourOccupied[Black] | b.colourOccupied[White];
    b.occupiedFiles = RotateFiles(b.occupied);
    b.occupiedA1H8 = RotateA1H8(b.occupied);
    b.occupiedA8H1 = RotateA8H1(b.occupied);
}

// Moves are generated and searched only with one king of each colour and at
// most sixteen pieces a side: the move lists are sized for fifteen pieces
// moving like queens besides the king. Kings side by side cannot arise in
// play: either could take the other.
bool IsPlayable(const ScratchPosition& pos) {
    for (int colour = Black; colour <= White; ++colour)
        if (pos.kingCount[colour] != 1 || pos.pieceCount[colour] > MaxPiecesPerSide) return false;
    const int white = pos.board.kingSquare[White];
    const int black = pos.board.kingSquare[Black];
    return std::abs(RowOf(white) - RowOf(black)) > 1 || std::abs(ColumnOf(white) - ColumnOf(black)) > 1;
}

void CommitPosition(Position& target, const ScratchPosition& pos) {
    target.board = pos.board;
    target.readEpSquare = pos.board.epSquare;
    target.sideToMove = pos.sideToMove;
    target.playable = IsPlayable(pos);

    // The history restarts: repetitions never reach back across a position read.
    const int index = target.HistoryIndex();
    const int used = index >= 0 && index < HistorySize ? index + 1 : HistorySize;
    std::memset(target.history, 0, sizeof(HistoryEntry) * static_cast<size_t>(used));
    target.historyTop = target.history;
    target.historyTop->hashKey = target.board.hashKey;
    target.historyTop->move = 0;
    target.historyTop->fiftyCounter = 0;

    SyncGameSnapshot(target);
    target.gamePly = 1;
}

}  // namespace

bool ReadFen(Position& target, const char* text, const char** rest) {
    if (text == nullptr) return false;
    ScratchPosition pos{};
    pos.board.kingSquare[Black] = NoKingSquare;
    pos.board.kingSquare[White] = NoKingSquare;

    // 1. Placement.
    const char* p = ReadPlacement(SkipBlanks(text), pos);
    if (p == nullptr) return false;

    // 2. Side to move.
    p = SkipBlanks(p);
    if (*p == 'w' || *p == 'W')
        pos.sideToMove = White;
    else if (*p == 'b' || *p == 'B')
        pos.sideToMove = Black;
    else
        return false;
    ++p;

    // 3. Castling: up to four letters; the first other character ends the
    //    field and is consumed with it.
    p = SkipBlanks(p);
    uint16_t castling = 0;
    for (int read = 0; read < 4; ++read) {
        const char c = *p;
        if (c == '\0') return false;
        ++p;
        if (c == 'K')
            castling |= CastleWhiteKingFlag;
        else if (c == 'Q')
            castling |= CastleWhiteQueenFlag;
        else if (c == 'k')
            castling |= CastleBlackKingFlag;
        else if (c == 'q')
            castling |= CastleBlackQueenFlag;
        else
            break;
    }
    pos.board.castling = MatchingCastlingRights(pos.board, castling);

    // 4. En-passant square: '-' or file and rank.
    p = SkipBlanks(p);
    if (*p == '\0') return false;
    if (*p == '-') {
        ++p;
    } else {
        const char file = *p++;
        const char rank = *p;
        if (rank != '\0') ++p;
        if (file >= 'a' && file <= 'h' && rank >= '1' && rank <= '8')
            pos.board.epSquare = MatchingEpSquare(pos.board, pos.sideToMove, (file - 'a') + 8 * ('8' - rank));
    }

    // 5. The move counters are not read; what follows is the caller's.
    if (rest != nullptr) *rest = p;

    // 6. Derived occupancies, then the position replaces the previous one.
    CompleteOccupancy(pos.board);
    CommitPosition(target, pos);
    return true;
}

void SetFiftyMoveCounter(Position& pos, int plies) {
    const int counter = plies < 0 ? 0 : plies > FiftyMoveLimitPlies ? FiftyMoveLimitPlies : plies;
    pos.historyTop->fiftyCounter = static_cast<uint16_t>(counter);
}

}  // namespace kavrin
