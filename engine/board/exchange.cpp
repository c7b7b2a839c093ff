#include "board/exchange.h"

#include <algorithm>

#include "board/board.h"
#include "board/pst.h"
#include "board/tables.h"

namespace kavrin {

namespace {

// Score bands of the move order.
constexpr int GainBand = -9500;
constexpr int EvenBand = -29985;
constexpr int LossBand = -30000;
// A capture sequence whose balance stays above this counts as no loss.
constexpr int LossMargin = -50;
// A recapture that already wins this much more than the capturer is worth
// ends the sequence: the other side will not continue.
constexpr int StopMargin = 50;
// What a promoting pawn adds to the value at stake.
constexpr int PromotionGain = 800;

// Every piece on the board can join one sequence, plus the first capture.
constexpr int SwapListSize = 34;

int16_t ToScore(int value) { return static_cast<int16_t>(static_cast<uint16_t>(static_cast<unsigned>(value))); }

// Pieces of bishopLike standing behind a piece that leaves from towards to
// along a diagonal, now seeing to. from leaves bishopLike.
Bitboard RevealDiagonal(const Board& board, int from, int to, Bitboard& bishopLike) {
    bishopLike &= ~SquareMask[from];
    const Bitboard candidates = BishopRays[from] & BishopRays[to] & bishopLike;
    return candidates ? candidates & BishopAttacksFrom(board, from) : 0;
}

// The same along ranks and files, with rookLike.
Bitboard RevealStraight(const Board& board, int from, int to, Bitboard& rookLike) {
    rookLike &= ~SquareMask[from];
    const Bitboard candidates = RookRays[from] & RookRays[to] & rookLike;
    return candidates ? candidates & RookAttacksFrom(board, from) : 0;
}

}  // namespace

int16_t ExchangeScore(const Position& pos, int mover, int origin, int destination, Bitboard rookLike,
                      Bitboard bishopLike) {
    const Board& board = pos.board;
    const int sideToMove = pos.sideToMove;
    const Bitboard* pieces = board.pieceBitboard;
    const int enemy = sideToMove ^ 1;

    // 1. The victim and the mover's piece-square change, first half.
    const int victim = board.pieceOn[destination];
    int value = PieceValue[victim];
    int posDelta = -PieceSquareTable(board, mover)[origin];

    // 2. Every piece of either colour that attacks the destination. While a
    //    pawn takes part the least-valuable search starts at the pawns.
    const Bitboard kings = SquareMask[board.kingSquare[Black]] | SquareMask[board.kingSquare[White]];
    const Bitboard pawnAttackers =
        (WhitePawnAttacks[destination] & pieces[BlackPawn]) | (BlackPawnAttacks[destination] & pieces[WhitePawn]);
    Bitboard attackers = (BishopAttacksFrom(board, destination) & bishopLike) |
                         (RookAttacksFrom(board, destination) & rookLike) | (KingAttacks[destination] & kings) |
                         (KnightAttacks[destination] & (pieces[WhiteKnight] | pieces[BlackKnight])) | pawnAttackers;
    int startCode[2];
    startCode[Black] = pawnAttackers ? BlackPawn : BlackKnight;
    startCode[White] = pawnAttackers ? WhitePawn : WhiteKnight;
    attackers &= ~SquareMask[origin];

    // 3. The mover leaves its origin: sliders behind it join in.
    switch (KindOf(mover)) {
        case PawnKind:
            if ((mover == WhitePawn && destination < 8) || (mover == BlackPawn && destination >= 56)) {
                value += PromotionGain;
                mover = QueenOf(ColourOf(mover));
            }
            attackers |= RevealDiagonal(board, origin, destination, bishopLike);
            break;
        case KnightKind:
            break;
        case BishopKind:
            attackers |= RevealDiagonal(board, origin, destination, bishopLike);
            break;
        case RookKind:
            attackers |= RevealStraight(board, origin, destination, rookLike);
            break;
        case QueenKind: {
            bishopLike &= ~SquareMask[origin];
            const Bitboard straight = RevealStraight(board, origin, destination, rookLike);
            attackers |= straight ? straight : RevealDiagonal(board, origin, destination, bishopLike);
            break;
        }
        default:  // king: never onto a square the enemy attacks
            if (attackers & board.colourOccupied[enemy]) return KingCaptureRefused;
            break;
    }

    // 4. Second half of the piece-square change.
    posDelta += PieceSquareTable(board, mover)[destination];
    const int victimSquareValue = victim != Empty ? PieceSquareTable(board, victim)[destination] : 0;

    // 5. Nobody recaptures.
    if (!(attackers & board.colourOccupied[enemy]))
        return ToScore(value == 0 ? posDelta + EvenBand : posDelta + victimSquareValue + value + GainBand);

    // 6. Swap-off: each side recaptures with its least valuable attacker.
    rookLike &= ~attackers;
    bishopLike &= ~attackers;
    int swap[SwapListSize];
    swap[0] = value;
    int side = enemy;
    int previous = mover;
    int i = 1;
    do {
        // a. Least valuable attacker of side; the king only as the very last.
        int code = 0;
        Bitboard capturer = 0;
        for (int c = startCode[side]; c <= QueenOf(side); c += 2) {
            const Bitboard found = pieces[c] & attackers;
            if (found) {
                code = c;
                capturer = found & (0 - found);
                break;
            }
        }
        if (code == 0) {
            const Bitboard king = SquareMask[board.kingSquare[side]];
            if (!(attackers & king)) break;
            attackers &= ~king;
            if (attackers) break;
            code = KingOf(side);
            capturer = king;
        }

        // b., c.
        attackers &= ~capturer;
        startCode[side] = code;
        swap[i] = PieceValue[previous] - swap[i - 1];

        // d. / 8. Early stop: this capture already wins more than the
        //    capturer can lose.
        if (swap[i] - PieceValue[code] > StopMargin) {
            if (side == sideToMove)
                return ToScore(value == 0 ? posDelta + EvenBand
                                          : posDelta + victimSquareValue + swap[i - 2] + GainBand);
            return ToScore(PieceValue[code] / 2 - swap[i] + posDelta + LossBand);
        }

        // e. X-rays behind this capturer.
        const int from = LowestSquare(capturer);
        switch (KindOf(code)) {
            case PawnKind:
            case BishopKind:
                attackers |= RevealDiagonal(board, from, destination, bishopLike);
                break;
            case RookKind:
                attackers |= RevealStraight(board, from, destination, rookLike);
                break;
            case QueenKind: {
                bishopLike &= ~SquareMask[from];
                const Bitboard straight = RevealStraight(board, from, destination, rookLike);
                if (straight) {
                    attackers |= straight;
                    startCode[Black] = std::min(startCode[Black], static_cast<int>(BlackRook));
                    startCode[White] = std::min(startCode[White], static_cast<int>(WhiteRook));
                } else if (const Bitboard diagonal = RevealDiagonal(board, from, destination, bishopLike)) {
                    attackers |= diagonal;
                    startCode[Black] = std::min(startCode[Black], static_cast<int>(BlackBishop));
                    startCode[White] = std::min(startCode[White], static_cast<int>(WhiteBishop));
                }
                break;
            }
            default:  // knights and kings hide nothing
                break;
        }

        // f.
        previous = code;
        side ^= 1;
        ++i;
    } while (attackers & board.colourOccupied[side]);

    // 7. Resolve backwards: each side may decline to recapture.
    for (int k = i - 1; k >= 1; --k) swap[k - 1] = std::min(swap[k - 1], -swap[k]);
    const int gain = swap[0];
    if (gain > LossMargin)
        return ToScore(gain == 0 ? posDelta + EvenBand : posDelta + victimSquareValue + gain + GainBand);
    return ToScore(posDelta + gain + LossBand);
}

}  // namespace kavrin
