#include "search/tb_position.h"

namespace kavrin {

TbPosition ToTbPosition(const Position& pos) {
    TbPosition tb;
    const Board& board = pos.board;
    for (int s = 0; s < 64; ++s) {
        const int piece = board.pieceOn[s];
        if (piece == Empty) continue;
        const uint64_t bit = uint64_t{1} << TbSquareOf(s);
        (ColourOf(piece) == White ? tb.white : tb.black) |= bit;
        switch (KindOf(piece)) {
            case PawnKind: tb.pawns |= bit; break;
            case KnightKind: tb.knights |= bit; break;
            case BishopKind: tb.bishops |= bit; break;
            case RookKind: tb.rooks |= bit; break;
            case QueenKind: tb.queens |= bit; break;
            default: tb.kings |= bit; break;
        }
    }
    tb.rule50 = pos.historyTop->fiftyCounter;
    tb.castling = (board.castling & CastleWhiteKingFlag ? TbCastleWhiteKing : 0u) |
                  (board.castling & CastleWhiteQueenFlag ? TbCastleWhiteQueen : 0u) |
                  (board.castling & CastleBlackKingFlag ? TbCastleBlackKing : 0u) |
                  (board.castling & CastleBlackQueenFlag ? TbCastleBlackQueen : 0u);
    tb.ep = board.epSquare != 0 ? static_cast<unsigned>(TbSquareOf(board.epSquare)) : 0u;
    tb.whiteToMove = pos.sideToMove == White;
    return tb;
}

int PieceCount(const Board& board) {
    return __builtin_popcountll(board.colourOccupied[White] | board.colourOccupied[Black]);
}

}  // namespace kavrin
