// The global position records: the Board, the game snapshot, the position
// history, the ply-record stack and the move stack.
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
// against it while the search may be using the Board.
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

struct PlyRecord {
    Bitboard checkers;
    Bitboard rookLinesFromKing;
    Bitboard bishopLinesFromKing;
    Bitboard savedOccupied;
    Bitboard savedOwnOccupied;
    Bitboard savedPieceBitboard;
    Bitboard savedRotated[3];  // files, a1-h8, a8-h1
    uint64_t savedHashKey;
    uint32_t savedPawnKey;
    MoveEntry* moveCursor;
    MoveEntry* moveListEnd;
    uint32_t ttBound;
    int16_t ttScore;
    Move hashMove;
    Move killer1;
    Move killer2;
    uint16_t savedCastling;
    uint8_t savedEpSquare;
    uint8_t ttDepth;
    uint8_t capturedPiece;
    int8_t materialDelta;
    uint32_t orderKeys[OrderKeysSize];
};

extern Board board;
extern GameSnapshot gameSnapshot;
extern int sideToMove;          // Colour: 1 white, 0 black
extern uint16_t gamePly;
extern HistoryEntry history[HistorySize];
extern HistoryEntry* historyTop;
extern PlyRecord plyStack[PlyStackSize];
extern PlyRecord* currentPly;
extern PlyRecord ponderRecord;
extern MoveEntry moveStack[MoveStackSize];
// True only when the Board holds exactly one king of each colour; nothing
// generates moves on or searches a Board that is not playable.
extern bool boardPlayable;

// The game snapshot takes the Board's pieces, castling rights and en-passant
// square: the game position moved on.
void SyncGameSnapshot();

// Index helpers for the pointer-based records.
inline int HistoryIndex() { return static_cast<int>(historyTop - history); }
inline int PlyIndex() { return static_cast<int>(currentPly - plyStack); }

// Stores the fields MakeMove needs into ply, for the current position.
inline void SaveForMake(PlyRecord* ply) {
    ply->savedOccupied = board.occupied;
    ply->savedOwnOccupied = board.colourOccupied[sideToMove];
    ply->savedRotated[0] = board.occupiedFiles;
    ply->savedRotated[1] = board.occupiedA1H8;
    ply->savedRotated[2] = board.occupiedA8H1;
    ply->savedHashKey = board.hashKey;
    ply->savedPawnKey = board.pawnKey;
    ply->savedCastling = board.castling;
    ply->savedEpSquare = board.epSquare;
}

}  // namespace kavrin
