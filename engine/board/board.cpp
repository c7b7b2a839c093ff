#include "board/board.h"

#include <cstring>

namespace kavrin {

void CopyPositionFrom(Position& to, const Position& from) {
    if (&to == &from) return;
    to.board = from.board;
    to.sideToMove = from.sideToMove;
    to.playable = from.playable;
    to.readEpSquare = from.readEpSquare;
    to.gamePly = from.gamePly;
    to.snapshot = from.snapshot;
    const int top = from.HistoryIndex();
    std::memcpy(to.history, from.history, sizeof(HistoryEntry) * static_cast<size_t>(top + 1));
    to.historyTop = to.history + top;
}

void SyncGameSnapshot(Position& pos) {
    std::memcpy(pos.snapshot.pieceOn, pos.board.pieceOn, sizeof pos.snapshot.pieceOn);
    pos.snapshot.castling = pos.board.castling;
    pos.snapshot.epSquare = pos.board.epSquare;
}

}  // namespace kavrin
