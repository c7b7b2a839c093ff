#include "support/random_positions.h"

namespace kavrin::test {

std::string FenOf(const uint8_t pieces[64], int side, uint16_t castling, int epSquare) {
    static const char letters[] = ".PpNnBbRrQqKk";
    std::string fen;
    for (int row = 0; row < 8; ++row) {
        if (row) fen += '/';
        int empty = 0;
        for (int column = 0; column < 8; ++column) {
            const int code = pieces[row * 8 + column];
            if (code == 0) {
                ++empty;
                continue;
            }
            if (empty) fen += static_cast<char>('0' + empty);
            empty = 0;
            fen += letters[code];
        }
        if (empty) fen += static_cast<char>('0' + empty);
    }
    fen += side ? " w " : " b ";
    if (castling == 0) fen += '-';
    if (castling & 1) fen += 'K';
    if (castling & 2) fen += 'Q';
    if (castling & 8) fen += 'k';
    if (castling & 0x10) fen += 'q';
    fen += ' ';
    if (epSquare) {
        fen += static_cast<char>('a' + epSquare % 8);
        fen += static_cast<char>('8' - epSquare / 8);
    } else {
        fen += '-';
    }
    return fen;
}

RandomPosition MakeRandomPosition(TestRandom& random) {
    RandomPosition pos{};
    auto placeOnEmpty = [&](int code, int lowest, int highest) {
        for (int tries = 0; tries < 200; ++tries) {
            const int s = lowest + random.Below(highest - lowest + 1);
            if (pos.pieces[s] == 0) {
                pos.pieces[s] = static_cast<uint8_t>(code);
                return;
            }
        }
    };
    // Kings often at home and rooks in the corners, so castling rights occur.
    if (random.Below(2)) pos.pieces[60] = 11; else placeOnEmpty(11, 0, 63);
    if (random.Below(2) && pos.pieces[4] == 0) pos.pieces[4] = 12; else placeOnEmpty(12, 0, 63);
    for (int corner : {0, 7, 56, 63})
        if (pos.pieces[corner] == 0 && random.Below(2)) pos.pieces[corner] = corner < 8 ? 8 : 7;
    const int extra = random.Below(27);
    for (int i = 0; i < extra; ++i) {
        const int code = 1 + random.Below(10);
        if (code <= 2)
            placeOnEmpty(code, 8, 55);
        else
            placeOnEmpty(code, 0, 63);
    }
    pos.side = random.Below(2);

    const struct { uint16_t flag; int king, kingCode, rook, rookCode; } rights[4] = {
        {1, 60, 11, 63, 7}, {2, 60, 11, 56, 7}, {8, 4, 12, 7, 8}, {0x10, 4, 12, 0, 8}};
    for (const auto& right : rights)
        if (pos.pieces[right.king] == right.kingCode && pos.pieces[right.rook] == right.rookCode && random.Below(3))
            pos.castling |= right.flag;

    // An en-passant square only where the last double push can have happened.
    if (random.Below(2)) {
        for (int column = 0; column < 8; ++column) {
            const int ep = pos.side ? 16 + column : 40 + column;
            const int pawn = pos.side ? ep + 8 : ep - 8;
            const int origin = pos.side ? ep - 8 : ep + 8;
            if (pos.pieces[pawn] == (pos.side ? 2 : 1) && pos.pieces[ep] == 0 && pos.pieces[origin] == 0) {
                pos.epSquare = ep;
                break;
            }
        }
    }
    pos.fen = FenOf(pos.pieces, pos.side, pos.castling, pos.epSquare);
    return pos;
}

}  // namespace kavrin::test
