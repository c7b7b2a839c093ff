// The position records: the Board, the game snapshot, the position history,
// the undo record of a move and the checks of a position, and the Position
// that holds a Board with its history. Every position lives in a Position of
// its own: the game's, or the copy a search thread works on.
#pragma once

#include <cstdint>

#include "board/types.h"

namespace kavrin {

struct Board {
    Bitboard occupied;
    Bitboard occupiedFiles;
    Bitboard occupiedA1H8;
    Bitboard occupiedA8H1;
    Bitboard pieceBitboard[11];   // codes 1..10; kings have none
    Bitboard colourOccupied[2];   // [Black], [White], kings included
    uint64_t hashKey;
    uint32_t pawnKey;
    uint8_t epSquare;             // square passed over by the last double push, 0 if none
    uint8_t totalMaterial;        // MaterialUnits of every piece; 78 at the start
    uint8_t pieceOn[64];
    uint8_t kingSquare[2];        // NoKingSquare until a king is placed
    uint16_t castling;            // 1 K, 2 Q, 8 k, 0x10 q
    uint8_t nonPawnMaterial[2];
    uint8_t pawnCount[2];
};

// The game position between searches; incoming coordinate moves are decoded
// against it.
struct GameSnapshot {
    uint8_t pieceOn[64];
    uint8_t epSquare;
    uint16_t castling;
};

struct HistoryEntry {
    uint64_t hashKey;
    Move move;              // played from this position; NullMoveMarker for a null move
    uint16_t fiftyCounter;  // plies since the last capture or pawn move
};

// What a move needs to be taken back: the caller stores the fields of the
// position before the move (SaveForMake), make adds what the move itself
// changed.
struct UndoRecord {
    Bitboard savedOccupied;
    Bitboard savedOwnOccupied;
    Bitboard savedPieceBitboard;  // written by make: the moving kind's bitboard (the pawns' for a promotion)
    Bitboard savedRotated[3];     // files, a1-h8, a8-h1
    uint64_t savedHashKey;
    uint32_t savedPawnKey;
    uint16_t savedCastling;
    uint8_t savedEpSquare;
    uint8_t capturedPiece;  // written by make
    int8_t materialDelta;   // written by make: the change of totalMaterial (not for en passant)
};

// The checks against the side to move, and the king's lines the answers to
// them need (ComputeCheckers writes them).
struct CheckInfo {
    Bitboard checkers;
    Bitboard rookLinesFromKing;
    Bitboard bishopLinesFromKing;
};

// A Board with its side to move and the history of positions since it was
// set up. A Position is never copied by assignment (its history pointer
// points into itself); CopyPositionFrom copies one.
struct Position {
    Board board{};
    int sideToMove = White;
    // True only when the Board holds exactly one king of each colour; nothing
    // generates moves on or searches a Board that is not playable.
    bool playable = false;
    // En-passant square of the last position read (0 if none). No key was
    // XORed in for it, so the first move after the read toggles its key into
    // hashKey for good; the position check needs to know it.
    uint8_t readEpSquare = 0;
    uint16_t gamePly = 1;  // 1 for a position read, one more for each game move
    GameSnapshot snapshot{};
    HistoryEntry* historyTop = history;
    HistoryEntry history[HistorySize]{};

    Position() = default;
    Position(const Position&) = delete;
    Position& operator=(const Position&) = delete;

    int HistoryIndex() const { return static_cast<int>(historyTop - history); }
};

// Makes to the same position as from: Board, side, counters, snapshot and
// the history entries up to the current one.
void CopyPositionFrom(Position& to, const Position& from);

// The game snapshot takes the Board's pieces, castling rights and en-passant
// square: the game position moved on.
void SyncGameSnapshot(Position& pos);

// Stores the fields MakeMove needs into undo, for the current position.
inline void SaveForMake(const Position& pos, UndoRecord& undo) {
    const Board& board = pos.board;
    undo.savedOccupied = board.occupied;
    undo.savedOwnOccupied = board.colourOccupied[pos.sideToMove];
    undo.savedRotated[0] = board.occupiedFiles;
    undo.savedRotated[1] = board.occupiedA1H8;
    undo.savedRotated[2] = board.occupiedA8H1;
    undo.savedHashKey = board.hashKey;
    undo.savedPawnKey = board.pawnKey;
    undo.savedCastling = board.castling;
    undo.savedEpSquare = board.epSquare;
}

}  // namespace kavrin
