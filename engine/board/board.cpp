#include "board/board.h"

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

}  // namespace kavrin
