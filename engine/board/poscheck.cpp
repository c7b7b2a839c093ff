#include "board/poscheck.h"

#include <cstdio>
#include <cstdlib>

#include "board/board.h"
#include "board/fen.h"
#include "board/movetext.h"
#include "board/tables.h"
#include "board/zobrist.h"

namespace kavrin {

namespace {

bool Fail(const char** why, const char* text) {
    if (why) *why = text;
    return false;
}

// The castling keys enter hashKey only as rights are lost, and an
// en-passant key may stand in it without its square being set (the square of
// a position read, toggled in by the first move, or the current square while
// the read position is still on the Board). So the key must equal the piece
// keys XOR some castling keys XOR some of the two possible en-passant keys.
bool HashKeyExplained(const Position& pos, uint64_t pieceKeys, uint32_t pawnKeys, const char** why) {
    const Board& board = pos.board;
    const uint8_t readEpSquare = pos.readEpSquare;
    uint64_t epKeys[2] = {0, 0};
    if (board.epSquare != 0) epKeys[0] = ZobristKeys[0][board.epSquare];
    if (readEpSquare != 0 && readEpSquare != board.epSquare) epKeys[1] = ZobristKeys[0][readEpSquare];

    // The keys of every set of castling rights, each computed once.
    uint64_t castlingKeys[32];
    int sets = 0;
    for (unsigned rights = 0; rights < 32; ++rights) {
        if ((rights & ~static_cast<unsigned>(CastleAllFlags)) == 0)
            castlingKeys[sets++] = CastlingKeys(static_cast<uint16_t>(rights));
    }
    bool pawnOk = false;
    bool hashOk = false;
    for (int epChoice = 0; epChoice < 4 && !(pawnOk && hashOk); ++epChoice) {
        uint64_t ep = 0;
        if (epChoice & 1) ep ^= epKeys[0];
        if (epChoice & 2) ep ^= epKeys[1];
        if ((pawnKeys ^ LowHalf(ep)) == board.pawnKey) pawnOk = true;
        for (int set = 0; set < sets && !hashOk; ++set) {
            if ((pieceKeys ^ ep ^ castlingKeys[set]) == board.hashKey) hashOk = true;
        }
    }
    if (!pawnOk) return Fail(why, "pawnKey differs from the pawns on the board");
    if (!hashOk) return Fail(why, "hashKey differs from the pieces on the board");
    return true;
}

}  // namespace

bool CheckPosition(const Position& pos, const char** why) {
    const Board& board = pos.board;
    Bitboard pieces[13] = {};
    Bitboard colour[2] = {};
    int kingCount[2] = {};
    uint64_t pieceKeys = 0;
    uint32_t pawnKeys = 0;
    unsigned total = 0;
    unsigned nonPawn[2] = {};
    unsigned pawns[2] = {};

    // 1. Everything that follows from the piece array alone.
    for (int s = 0; s < 64; ++s) {
        const int code = board.pieceOn[s];
        if (code == Empty) continue;
        if (code > BlackKing) return Fail(why, "pieceOn holds a code above 12");
        const int c = ColourOf(code);
        pieces[code] |= SquareMask[s];
        colour[c] |= SquareMask[s];
        pieceKeys ^= ZobristKeys[code][s];
        if (code == KingOf(c)) {
            ++kingCount[c];
            continue;
        }
        total += MaterialUnits[code];
        if (code == PawnOf(c)) {
            pawnKeys ^= LowHalf(ZobristKeys[code][s]);
            ++pawns[c];
        } else {
            nonPawn[c] += MaterialUnits[code];
        }
    }

    // 2. Piece bitboards and king squares against the piece array.
    for (int code = WhitePawn; code <= BlackQueen; ++code)
        if (board.pieceBitboard[code] != pieces[code]) return Fail(why, "a piece bitboard differs from pieceOn");
    for (int c = Black; c <= White; ++c) {
        const int k = board.kingSquare[c];
        if (k < 64) {
            if (board.pieceOn[k] != KingOf(c)) return Fail(why, "kingSquare does not hold that king in pieceOn");
        } else if (k != NoKingSquare || kingCount[c] != 0) {
            return Fail(why, "kingSquare is off the board while the king is on it");
        }
        // With several kings of a colour (a Board that is not playable) only the
        // recorded one belongs to the colour's occupancy.
        if (kingCount[c] > 1) colour[c] &= ~(pieces[KingOf(c)] & ~SquareMask[k]);
    }

    // 3. Occupancies, plain and rotated.
    if (board.colourOccupied[Black] != colour[Black]) return Fail(why, "black occupancy differs from the pieces");
    if (board.colourOccupied[White] != colour[White]) return Fail(why, "white occupancy differs from the pieces");
    if (board.occupied != (colour[Black] | colour[White])) return Fail(why, "occupied differs from both colours");
    if (board.occupiedFiles != RotateFiles(board.occupied))
        return Fail(why, "occupiedFiles is no rotation of occupied");
    if (board.occupiedA1H8 != RotateA1H8(board.occupied)) return Fail(why, "occupiedA1H8 is no rotation of occupied");
    if (board.occupiedA8H1 != RotateA8H1(board.occupied)) return Fail(why, "occupiedA8H1 is no rotation of occupied");

    // 4. Material counters (the byte counters wrap like the incremental ones).
    if (board.totalMaterial != static_cast<uint8_t>(total)) return Fail(why, "totalMaterial differs from the pieces");
    for (int c = Black; c <= White; ++c) {
        if (board.nonPawnMaterial[c] != static_cast<uint8_t>(nonPawn[c]))
            return Fail(why, "nonPawnMaterial differs from the pieces");
        if (board.pawnCount[c] != static_cast<uint8_t>(pawns[c])) return Fail(why, "pawnCount differs from the pawns");
    }

    // 5. Flags, keys and the history.
    if (board.castling & ~static_cast<unsigned>(CastleAllFlags)) return Fail(why, "castling holds an unknown flag");
    if (board.epSquare != 0 && !IsEpSquare(board.epSquare)) return Fail(why, "epSquare is off ranks 3 and 6");
    if (!HashKeyExplained(pos, pieceKeys, pawnKeys, why)) return false;
    if (pos.historyTop < pos.history || pos.historyTop >= pos.history + HistorySize)
        return Fail(why, "historyTop is outside the history");
    if (pos.historyTop->hashKey != board.hashKey) return Fail(why, "the current history key differs from hashKey");
    if (why) *why = nullptr;
    return true;
}

void ReportBrokenPosition(const Position& pos, const char* why, const char* file, int line) {
    char fen[256];
    WriteFen(pos, fen);
    std::fprintf(stderr, "%s:%d: position check failed: %s\nposition: %s\n", file, line, why ? why : "?", fen);
    std::abort();
}

}  // namespace kavrin
