#include "board/exchange_balance.h"

#include "board/tables.h"

namespace kavrin {

namespace {

// The board's occupancy in its four layouts, as pieces leave it.
struct Occupancy {
    Bitboard plain;
    Bitboard files;
    Bitboard a1h8;
    Bitboard a8h1;

    void Remove(int s) {
        plain &= ~SquareMask[s];
        files &= ~SquareMaskFiles[s];
        a1h8 &= ~SquareMaskA1H8[s];
        a8h1 &= ~SquareMaskA8H1[s];
    }
    Bitboard Straight(int s) const { return RankAttacksOn(s, plain) | FileAttacksOn(s, files); }
    Bitboard Diagonal(int s) const { return A1H8AttacksOn(s, a1h8) | A8H1AttacksOn(s, a8h1); }
};

Bitboard Kings(const Board& board) {
    Bitboard kings = 0;
    for (const int s : board.kingSquare)
        if (s < 64) kings |= SquareMask[s];
    return kings;
}

}  // namespace

bool ExchangeAtLeast(const Position& pos, Move move, int threshold) {
    if (IsCastling(move)) return 0 >= threshold;
    const Board& board = pos.board;
    const Bitboard* pieces = board.pieceBitboard;
    const int from = MoveFrom(move);
    const int to = MoveTo(move);
    const int kind = MoveKindOf(move);

    // What the move takes, and what stands on the destination afterwards.
    int balance = (kind == EnPassant ? PieceValue[WhitePawn] : PieceValue[board.pieceOn[to]]) - threshold;
    int standing = board.pieceOn[from];
    if (IsPromotion(move)) {
        static constexpr int Promoted[4] = {QueenKind, KnightKind, RookKind, BishopKind};
        standing = 2 * Promoted[(kind - PromoteQueen) & 3] - ColourOf(standing);
        balance += PieceValue[standing] - PieceValue[WhitePawn];
    }
    // Even if nothing takes back, the move does not reach the threshold.
    if (balance < 0) return false;
    // Even losing the piece on the destination, it does.
    balance -= PieceValue[standing];
    if (balance >= 0) return true;

    Occupancy occupancy{board.occupied, board.occupiedFiles, board.occupiedA1H8, board.occupiedA8H1};
    occupancy.Remove(from);
    if (kind == EnPassant) occupancy.Remove(to + (ColourOf(standing) == White ? 8 : -8));
    const Bitboard bishopLike = pieces[WhiteBishop] | pieces[BlackBishop] | pieces[WhiteQueen] | pieces[BlackQueen];
    const Bitboard rookLike = pieces[WhiteRook] | pieces[BlackRook] | pieces[WhiteQueen] | pieces[BlackQueen];
    Bitboard attackers =
        ((occupancy.Diagonal(to) & bishopLike) | (occupancy.Straight(to) & rookLike) |
         (KnightAttacks[to] & (pieces[WhiteKnight] | pieces[BlackKnight])) | (KingAttacks[to] & Kings(board)) |
         (WhitePawnAttacks[to] & pieces[BlackPawn]) | (BlackPawnAttacks[to] & pieces[WhitePawn])) &
        occupancy.plain;

    // The side to move after the move, and so on in turn: each capture with
    // the least valuable attacker left, until a side is better off stopping.
    int side = pos.sideToMove ^ 1;
    for (;;) {
        const Bitboard own = attackers & board.colourOccupied[side];
        if (!own) break;
        int capturer = KingOf(side);
        for (int code = PawnOf(side); code <= QueenOf(side); code += 2) {
            if (own & pieces[code]) {
                capturer = code;
                break;
            }
        }
        const int square = capturer == KingOf(side) ? LowestSquare(own & Kings(board))
                                                    : LowestSquare(own & pieces[capturer]);
        occupancy.Remove(square);
        // Sliders behind the capturer now see the destination.
        const int capturerKind = KindOf(capturer);
        if (capturerKind == PawnKind || capturerKind == BishopKind || capturerKind == QueenKind)
            attackers |= occupancy.Diagonal(to) & bishopLike;
        if (capturerKind == RookKind || capturerKind == QueenKind) attackers |= occupancy.Straight(to) & rookLike;
        attackers &= occupancy.plain;

        side ^= 1;
        // The capture made, from the capturer's side: it stands to lose the
        // capturer next. -1 keeps an even outcome on the right side.
        balance = -balance - 1 - PieceValue[capturer];
        if (balance >= 0) {
            // A king may not take where the other side still attacks.
            if (capturer == KingOf(side ^ 1) && (attackers & board.colourOccupied[side])) side ^= 1;
            break;
        }
    }
    // The side that could not or would not go on has lost the exchange.
    return side != pos.sideToMove;
}

}  // namespace kavrin
