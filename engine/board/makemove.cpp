#include "board/makemove.h"

#include <cassert>
#include <cstdio>

#include "board/poscheck.h"
#include "board/tables.h"
#include "board/zobrist.h"

namespace kavrin {

namespace {

// Both castling rights of a colour.
constexpr uint16_t ColourRights[2] = {CastleBlackFlags, CastleWhiteFlags};

// The right that belongs to a rook's corner square.
constexpr struct CornerRightTable {
    uint16_t right[64];
} CornerRights = [] {
    CornerRightTable t{};
    t.right[0] = CastleBlackQueenFlag;
    t.right[7] = CastleBlackKingFlag;
    t.right[56] = CastleWhiteQueenFlag;
    t.right[63] = CastleWhiteKingFlag;
    return t;
}();

// King and rook squares of the four castlings, by kind - 12; the right on
// the other wing keeps its key toggle when it is lost.
struct CastleMove {
    int kingFrom, kingTo, rookFrom, rookTo;
    uint16_t otherWingRight;
};
constexpr CastleMove CastleMoves[4] = {
    {4, 6, 7, 5, CastleBlackQueenFlag},      // black king side
    {60, 62, 63, 61, CastleWhiteQueenFlag},  // white king side
    {4, 2, 0, 3, CastleBlackKingFlag},       // black queen side
    {60, 58, 56, 59, CastleWhiteKingFlag},   // white queen side
};

// Promoted piece of kinds 4-7 and 8-11 for colour c: queen, knight, rook, bishop.
constexpr int PromotedCode(int kind, int c) {
    constexpr int whiteCodes[4] = {WhiteQueen, WhiteKnight, WhiteRook, WhiteBishop};
    return whiteCodes[kind & 3] + 1 - c;
}

bool RefuseMarker(Move m, const char* operation) {
    if (MoveKindOf(m) != MarkerKind) return false;
    std::fprintf(stderr, "%s: 0x%04X is a result marker, not a move; the position is left unchanged\n", operation,
                 static_cast<unsigned>(m));
    assert(!"a result marker was passed as a move");
    return true;
}

void SetRotated(Board& board, int s) {
    board.occupiedFiles |= SquareMaskFiles[s];
    board.occupiedA1H8 |= SquareMaskA1H8[s];
    board.occupiedA8H1 |= SquareMaskA8H1[s];
}

void ClearRotated(Board& board, int s) {
    board.occupiedFiles &= ~SquareMaskFiles[s];
    board.occupiedA1H8 &= ~SquareMaskA1H8[s];
    board.occupiedA8H1 &= ~SquareMaskA8H1[s];
}

// Clears the given rights, toggling the key of each one that was set.
void DropRights(Board& board, uint16_t rights, uint64_t& hash) {
    unsigned lost = board.castling & rights;
    board.castling = static_cast<uint16_t>(board.castling & ~lost);
    for (; lost; lost &= lost - 1) hash ^= CastlingKey(static_cast<uint16_t>(lost & (0u - lost)));
}

// Removes the piece on the destination of a capture: material, bitboards,
// keys, and the right of a rook corner.
void RemoveVictim(Board& board, int victim, int to, int them, uint64_t& hash, uint32_t& pawnKey) {
    assert(victim != Empty && victim != WhiteKing && victim != BlackKing);
    const uint64_t key = ZobristKeys[victim][to];
    hash ^= key;
    if (IsPawn(victim)) {
        --board.pawnCount[them];
        pawnKey ^= LowHalf(key);
    } else {
        board.nonPawnMaterial[them] = static_cast<uint8_t>(board.nonPawnMaterial[them] - MaterialUnits[victim]);
    }
    // Kings have no bitboard; no caller captures one, but a stray king
    // capture must not write past the bitboards.
    if (victim <= BlackQueen) board.pieceBitboard[victim] ^= SquareMask[to];
    board.colourOccupied[them] ^= SquareMask[to];
    if (board.castling) DropRights(board, CornerRights.right[to], hash);
}

// Puts a captured piece back on the destination.
void RestoreVictim(Board& board, int victim, int to, int them) {
    if (IsPawn(victim))
        ++board.pawnCount[them];
    else
        board.nonPawnMaterial[them] = static_cast<uint8_t>(board.nonPawnMaterial[them] + MaterialUnits[victim]);
    if (victim <= BlackQueen) board.pieceBitboard[victim] |= SquareMask[to];
    board.colourOccupied[them] |= SquareMask[to];
}

// Takes the en-passant square, and its key from the given keys, off the Board.
inline void EndEnPassantChance(Board& board, uint64_t& hash, uint32_t& pawnKey) {
    if (board.epSquare == 0) return;
    const uint64_t key = ZobristKeys[0][board.epSquare];
    hash ^= key;
    pawnKey ^= LowHalf(key);
    board.epSquare = 0;
}

}  // namespace

int CountEarlierKeys(const Position& pos, int start, uint64_t key, int limit) {
    if (start < 0) return 0;
    const HistoryEntry* const history = pos.history;
    int count = 0;
    for (int index = start, budget = history[start].fiftyCounter; budget >= 0 && index >= 0; index -= 2, budget -= 2)
        if (history[index].hashKey == key && ++count == limit) break;
    return count;
}

void MakeMove(Position& pos, Move m, UndoRecord& undo) {
    if (RefuseMarker(m, "MakeMove")) return;
    assert(pos.historyTop >= pos.history && pos.historyTop < pos.history + HistorySize - 1);
    Board& board = pos.board;

    const int kind = MoveKindOf(m);
    const int from = MoveFrom(m);
    const int to = MoveTo(m);
    const int us = pos.sideToMove;
    const int them = us ^ 1;
    const Bitboard fromBit = SquareMask[from];
    const Bitboard toBit = SquareMask[to];
    Bitboard* const pieces = board.pieceBitboard;
    uint64_t hash = board.hashKey;
    uint32_t pawnKey = board.pawnKey;

    // 1. The move leaves this position; the new position gets the next entry.
    HistoryEntry* const previous = pos.historyTop;
    previous->move = m;
    HistoryEntry* const entry = ++pos.historyTop;
    entry->move = 0;
    uint16_t fifty = 0;

    // 2. An en-passant chance lasts one move.
    EndEnPassantChance(board, hash, pawnKey);

    // 3. By kind.
    switch (kind) {
        case Quiet:
        case Capture: {
            if (kind == Quiet) {
                // Origin occupied, destination empty: both bits flip.
                board.occupiedFiles ^= SquareMaskFiles[from] | SquareMaskFiles[to];
                board.occupiedA1H8 ^= SquareMaskA1H8[from] | SquareMaskA1H8[to];
                board.occupiedA8H1 ^= SquareMaskA8H1[from] | SquareMaskA8H1[to];
                fifty = static_cast<uint16_t>(previous->fiftyCounter + 1);
            } else {
                const int victim = board.pieceOn[to];
                undo.capturedPiece = static_cast<uint8_t>(victim);
                undo.materialDelta = static_cast<int8_t>(-MaterialUnits[victim]);
                board.totalMaterial = static_cast<uint8_t>(board.totalMaterial - MaterialUnits[victim]);
                RemoveVictim(board, victim, to, them, hash, pawnKey);
                ClearRotated(board, from);
            }
            const int piece = board.pieceOn[from];
            const uint64_t moveKeys = ZobristKeys[piece][from] ^ ZobristKeys[piece][to];
            hash ^= moveKeys;
            switch (KindOf(piece)) {
                case PawnKind:
                    fifty = 0;
                    undo.savedPieceBitboard = pieces[piece];
                    pieces[piece] ^= fromBit | toBit;
                    pawnKey ^= LowHalf(moveKeys);
                    if (from - to == 16 || to - from == 16) {
                        const int passed = (from + to) >> 1;
                        const uint64_t key = ZobristKeys[0][passed];
                        board.epSquare = static_cast<uint8_t>(passed);
                        hash ^= key;
                        pawnKey ^= LowHalf(key);
                    }
                    break;
                case RookKind:
                    undo.savedPieceBitboard = pieces[piece];
                    pieces[piece] ^= fromBit | toBit;
                    if (board.castling) DropRights(board, CornerRights.right[from] & ColourRights[us], hash);
                    break;
                case KingKind:
                    board.kingSquare[us] = static_cast<uint8_t>(to);
                    if (board.castling) DropRights(board, ColourRights[us], hash);
                    break;
                default:
                    undo.savedPieceBitboard = pieces[piece];
                    pieces[piece] ^= fromBit | toBit;
                    break;
            }
            board.pieceOn[to] = static_cast<uint8_t>(piece);
            board.pieceOn[from] = Empty;
            board.colourOccupied[us] ^= fromBit | toBit;
            break;
        }

        case EnPassant: {
            const int captured = us == White ? to + 8 : to - 8;
            const Bitboard capturedBit = SquareMask[captured];
            const int pawn = PawnOf(us);
            const int enemyPawn = PawnOf(them);
            undo.savedPieceBitboard = pieces[pawn];
            undo.capturedPiece = board.pieceOn[captured];
            board.pieceOn[to] = static_cast<uint8_t>(pawn);
            board.pieceOn[from] = Empty;
            board.pieceOn[captured] = Empty;
            --board.pawnCount[them];
            --board.totalMaterial;
            const uint64_t keys = ZobristKeys[enemyPawn][captured] ^ ZobristKeys[pawn][from] ^ ZobristKeys[pawn][to];
            hash ^= keys;
            pawnKey ^= LowHalf(keys);
            board.colourOccupied[them] ^= capturedBit;
            pieces[enemyPawn] ^= capturedBit;
            pieces[pawn] ^= fromBit | toBit;
            board.colourOccupied[us] ^= fromBit | toBit;
            ClearRotated(board, from);
            board.occupiedFiles ^= EpRotatedMasks[0][to];
            board.occupiedA1H8 ^= EpRotatedMasks[1][to];
            board.occupiedA8H1 ^= EpRotatedMasks[2][to];
            break;
        }

        case BlackCastleKing:
        case WhiteCastleKing:
        case BlackCastleQueen:
        case WhiteCastleQueen: {
            const CastleMove& c = CastleMoves[kind - BlackCastleKing];
            // The right used is lost without its key; the other wing's right
            // toggles its key if it was still set.
            if (board.castling & c.otherWingRight) hash ^= CastlingKey(c.otherWingRight);
            board.castling = static_cast<uint16_t>(board.castling & ~ColourRights[us]);
            const int king = KingOf(us);
            const int rook = RookOf(us);
            board.kingSquare[us] = static_cast<uint8_t>(c.kingTo);
            hash ^= ZobristKeys[king][c.kingFrom] ^ ZobristKeys[king][c.kingTo] ^ ZobristKeys[rook][c.rookFrom] ^
                    ZobristKeys[rook][c.rookTo];
            board.pieceOn[c.kingFrom] = Empty;
            board.pieceOn[c.rookFrom] = Empty;
            board.pieceOn[c.kingTo] = static_cast<uint8_t>(king);
            board.pieceOn[c.rookTo] = static_cast<uint8_t>(rook);
            pieces[rook] ^= SquareMask[c.rookFrom] | SquareMask[c.rookTo];
            board.colourOccupied[us] ^=
                SquareMask[c.kingFrom] | SquareMask[c.kingTo] | SquareMask[c.rookFrom] | SquareMask[c.rookTo];
            board.occupiedFiles ^= SquareMaskFiles[c.kingFrom] ^ SquareMaskFiles[c.kingTo] ^
                                   SquareMaskFiles[c.rookFrom] ^ SquareMaskFiles[c.rookTo];
            board.occupiedA1H8 ^= SquareMaskA1H8[c.kingFrom] ^ SquareMaskA1H8[c.kingTo] ^ SquareMaskA1H8[c.rookFrom] ^
                                  SquareMaskA1H8[c.rookTo];
            board.occupiedA8H1 ^= SquareMaskA8H1[c.kingFrom] ^ SquareMaskA8H1[c.kingTo] ^ SquareMaskA8H1[c.rookFrom] ^
                                  SquareMaskA8H1[c.rookTo];
            break;
        }

        default: {  // promotions, kinds 4 to 11
            const int promoted = PromotedCode(kind, us);
            const int units = MaterialUnits[promoted];
            int delta = units - 1;
            board.nonPawnMaterial[us] = static_cast<uint8_t>(board.nonPawnMaterial[us] + units);
            if (kind < CapturePromoteQueen) {
                SetRotated(board, to);
            } else {
                const int victim = board.pieceOn[to];
                undo.capturedPiece = static_cast<uint8_t>(victim);
                delta -= MaterialUnits[victim];
                RemoveVictim(board, victim, to, them, hash, pawnKey);
            }
            undo.materialDelta = static_cast<int8_t>(delta);
            board.totalMaterial = static_cast<uint8_t>(board.totalMaterial + delta);
            const int pawn = PawnOf(us);
            ClearRotated(board, from);
            undo.savedPieceBitboard = pieces[pawn];
            board.pieceOn[from] = Empty;
            board.pieceOn[to] = static_cast<uint8_t>(promoted);
            --board.pawnCount[us];
            hash ^= ZobristKeys[pawn][from] ^ ZobristKeys[promoted][to];
            pawnKey ^= LowHalf(ZobristKeys[pawn][from]);
            pieces[promoted] |= toBit;
            pieces[pawn] ^= fromBit;
            board.colourOccupied[us] ^= fromBit | toBit;
            break;
        }
    }

    // 4. The other side moves; the new entry records the position.
    board.occupied = board.colourOccupied[Black] | board.colourOccupied[White];
    board.hashKey = hash;
    board.pawnKey = pawnKey;
    pos.sideToMove = them;
    entry->hashKey = hash;
    entry->fiftyCounter = fifty;
    KAVRIN_CHECK_POSITION(pos);
}

void UnmakeMove(Position& pos, Move m, const UndoRecord& undo) {
    if (RefuseMarker(m, "UnmakeMove")) return;
    Board& board = pos.board;

    const int kind = MoveKindOf(m);
    const int from = MoveFrom(m);
    const int to = MoveTo(m);
    const int us = pos.sideToMove ^ 1;
    const int them = pos.sideToMove;
    Bitboard* const pieces = board.pieceBitboard;

    // 1., 2. Back to the mover; the saved fields cover the occupancies,
    //    the keys and the en-passant square.
    pos.sideToMove = us;
    board.occupiedFiles = undo.savedRotated[0];
    board.occupiedA1H8 = undo.savedRotated[1];
    board.occupiedA8H1 = undo.savedRotated[2];
    board.occupied = undo.savedOccupied;
    board.colourOccupied[us] = undo.savedOwnOccupied;
    board.epSquare = undo.savedEpSquare;
    board.hashKey = undo.savedHashKey;
    board.pawnKey = undo.savedPawnKey;

    // 3. What the saved fields do not cover.
    switch (kind) {
        case Quiet:
        case Capture: {
            board.castling = undo.savedCastling;
            const int piece = board.pieceOn[to];
            if (piece == KingOf(us))
                board.kingSquare[us] = static_cast<uint8_t>(from);
            else
                pieces[piece] = undo.savedPieceBitboard;
            board.pieceOn[from] = static_cast<uint8_t>(piece);
            if (kind == Quiet) {
                board.pieceOn[to] = Empty;
            } else {
                const int victim = undo.capturedPiece;
                board.totalMaterial = static_cast<uint8_t>(board.totalMaterial - undo.materialDelta);
                RestoreVictim(board, victim, to, them);
                board.pieceOn[to] = static_cast<uint8_t>(victim);
            }
            break;
        }

        case EnPassant: {
            const int captured = us == White ? to + 8 : to - 8;
            ++board.totalMaterial;
            board.pieceOn[from] = board.pieceOn[to];
            board.pieceOn[to] = Empty;
            ++board.pawnCount[them];
            board.pieceOn[captured] = undo.capturedPiece;
            pieces[PawnOf(them)] |= SquareMask[captured];
            board.colourOccupied[them] |= SquareMask[captured];
            pieces[PawnOf(us)] = undo.savedPieceBitboard;
            break;
        }

        case BlackCastleKing:
        case WhiteCastleKing:
        case BlackCastleQueen:
        case WhiteCastleQueen: {
            const CastleMove& c = CastleMoves[kind - BlackCastleKing];
            board.castling = undo.savedCastling;
            board.kingSquare[us] = static_cast<uint8_t>(c.kingFrom);
            board.pieceOn[c.kingTo] = Empty;
            board.pieceOn[c.rookTo] = Empty;
            board.pieceOn[c.kingFrom] = static_cast<uint8_t>(KingOf(us));
            board.pieceOn[c.rookFrom] = static_cast<uint8_t>(RookOf(us));
            pieces[RookOf(us)] ^= SquareMask[c.rookFrom] | SquareMask[c.rookTo];
            break;
        }

        default: {  // promotions, kinds 4 to 11
            const int promoted = board.pieceOn[to];
            board.castling = undo.savedCastling;
            board.totalMaterial = static_cast<uint8_t>(board.totalMaterial - undo.materialDelta);
            board.nonPawnMaterial[us] = static_cast<uint8_t>(board.nonPawnMaterial[us] - MaterialUnits[promoted]);
            ++board.pawnCount[us];
            board.pieceOn[from] = static_cast<uint8_t>(PawnOf(us));
            pieces[PawnOf(us)] = undo.savedPieceBitboard;
            pieces[promoted] ^= SquareMask[to];
            if (kind < CapturePromoteQueen) {
                board.pieceOn[to] = Empty;
            } else {
                const int victim = undo.capturedPiece;
                RestoreVictim(board, victim, to, them);
                board.pieceOn[to] = static_cast<uint8_t>(victim);
            }
            break;
        }
    }

    // 4.
    --pos.historyTop;
    KAVRIN_CHECK_POSITION(pos);
}

void MakeNullMove(Position& pos, UndoRecord& undo) {
    assert(pos.historyTop >= pos.history && pos.historyTop < pos.history + HistorySize - 1);
    Board& board = pos.board;
    HistoryEntry* const previous = pos.historyTop;
    previous->move = NullMoveMarker;
    HistoryEntry* const entry = ++pos.historyTop;
    entry->move = 0;
    entry->fiftyCounter = static_cast<uint16_t>(previous->fiftyCounter + 1);
    undo.savedHashKey = board.hashKey;
    undo.savedPawnKey = board.pawnKey;
    undo.savedEpSquare = board.epSquare;
    undo.savedCastling = board.castling;
    EndEnPassantChance(board, board.hashKey, board.pawnKey);
    entry->hashKey = board.hashKey;
    pos.sideToMove ^= 1;
    KAVRIN_CHECK_POSITION(pos);
}

void UnmakeNullMove(Position& pos, const UndoRecord& undo) {
    Board& board = pos.board;
    pos.sideToMove ^= 1;
    board.castling = undo.savedCastling;
    board.epSquare = undo.savedEpSquare;
    board.pawnKey = undo.savedPawnKey;
    board.hashKey = undo.savedHashKey;
    --pos.historyTop;
    KAVRIN_CHECK_POSITION(pos);
}

void SetSideToMove(Position& pos, int side) {
    Board& board = pos.board;
    if (side != pos.sideToMove && board.epSquare != 0) {
        EndEnPassantChance(board, board.hashKey, board.pawnKey);
        pos.snapshot.epSquare = 0;
        pos.historyTop->hashKey = board.hashKey;
    }
    pos.sideToMove = side;
}

Move DrawCheck(const Position& pos, int n) {
    const Board& board = pos.board;
    // 1. Neither side can mate: at most a minor piece and no pawns.
    if (board.totalMaterial < MatingMaterialFloor && board.pawnCount[Black] == 0 && board.pawnCount[White] == 0)
        return ResultInsufficientMaterial;
    // 2. A repetition needs four plies without capture or pawn move.
    const int counter = pos.historyTop->fiftyCounter;
    if (counter < 4) return 0;
    if (counter >= 100) return ResultFiftyMoves;
    // 3. The same key with the same side to move, back to the last
    //    irreversible move.
    if (n > 0 && CountEarlierKeys(pos, pos.HistoryIndex() - 4, board.hashKey, n) == n) return ResultRepetition;
    return 0;
}

int RepetitionAfter(const Position& pos, Move m) {
    if (MoveKindOf(m) != Quiet) return 0;
    const Board& board = pos.board;
    const int from = MoveFrom(m);
    const int to = MoveTo(m);
    const int piece = board.pieceOn[from];
    if (piece == Empty || IsPawn(piece)) return 0;
    // The position after m, as the next history entry would record it.
    const int counter = pos.historyTop->fiftyCounter + 1;
    if (counter < 4) return 0;
    if (counter > 99) return 2;
    if (counter > 75) return 1;
    const uint64_t key = board.hashKey ^ ZobristKeys[piece][from] ^ ZobristKeys[piece][to];
    return CountEarlierKeys(pos, pos.HistoryIndex() + 1 - 4, key, 2);
}

}  // namespace kavrin
