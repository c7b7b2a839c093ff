// The game position of the UCI front end: "position", and the "d" display.
#pragma once

#include <string>

#include "board/types.h"

namespace kavrin {

class UciSession;
struct Position;

// The starting position, no moves played.
void SetStartPosition(UciSession& session);
// "position startpos|fen <FEN> [moves ...]": words is the text after
// "position". Every move must match a legal move of its position. A bad FEN
// leaves the previous position; a move that is not legal, and every word
// after it, are reported and left out, so that the position is the one
// before that move.
void PositionCommand(UciSession& session, const std::string& words);
// "d": the board diagram, the FEN with its counters and the position key.
void ShowPosition(UciSession& session);
// The legal move of the game position whose coordinate text is text
// (promotion letter in either case); 0 when none is.
Move LegalMoveOfText(Position& game, const std::string& text);

}  // namespace kavrin
