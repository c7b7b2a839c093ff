#include "board/board.h"

#include <cstring>

namespace kavrin {

Board board;
GameSnapshot gameSnapshot;
int sideToMove = White;
uint16_t gamePly = 1;
HistoryEntry history[HistorySize];
HistoryEntry* historyTop = history;
PlyRecord plyStack[PlyStackSize];
PlyRecord* currentPly = plyStack;
PlyRecord ponderRecord;
MoveEntry moveStack[MoveStackSize];
bool boardPlayable = false;

void SyncGameSnapshot() {
    std::memcpy(gameSnapshot.pieceOn, board.pieceOn, sizeof gameSnapshot.pieceOn);
    gameSnapshot.castling = board.castling;
    gameSnapshot.epSquare = board.epSquare;
}

}  // namespace kavrin
