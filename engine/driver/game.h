// The engine's side of a game: its searches, the game moves, the move output
// with result claims, and pondering on the opponent's time.
#pragma once

#include <cstdint>

#include "board/types.h"
#include "search/game.h"

namespace kavrin {

class XboardSession;

// Depth limit every game search is started with.
constexpr int GameSearchDepthLimit = 128;
// Score of a move that mates at once.
constexpr int16_t MateInOneScore = MateValue - 1;

// Runs one search with the time budget already set; after a ponder hit
// (goodPonder) the clock keeps running from the start of pondering.
void StartEngine(XboardSession& session, bool goodPonder, uint8_t depthLimit);
// Enters force mode and stops any search.
void StopEngine(XboardSession& session);
// Plays m into the game (it must be legal); false when m is 0.
bool GameMove(XboardSession& session, Move m);
// The engine's turn: a book move or a search, the move output, a result
// claim, then pondering when allowed.
void ThinkAndMove(XboardSession& session);
// The received move is the assumed ponder move, already on the Board.
void PonderHit(XboardSession& session);
// The received (legal) move differs from the ponder move.
void PonderMiss(XboardSession& session, Move received);
// While pondering: takes the assumed reply back so that the Board shows the
// game position again; the mode becomes Playing. Does nothing otherwise.
void TakeBackPonderMove(XboardSession& session);

// After a command that left the game as it was: the assumed reply ponder,
// taken back for the command, is played again (no search), so that the
// engine ponders on as before.
void ReplayPonderMove(XboardSession& session, Move ponder);
// Goes on with a ponder search that input stopped; its clock still counts
// from the start of pondering.
void ResumePondering(XboardSession& session);
// Analyze mode: searches the Board position without a time limit, printing
// thinking lines, until input arrives or the search ends by itself; plays
// nothing.
void AnalyzePosition(XboardSession& session);
// The move the table expects in the game position: while pondering the
// assumed reply, otherwise the table's legal move for the Board; 0 if none.
Move HintMove(XboardSession& session);

// The game starts again from the Board position: moves are taken back no
// further than here. Called whenever the position is set other than by game
// moves (a new game, a position text, the side to move changed by hand).
void MarkGameStart(XboardSession& session);
// Takes back the last `plies` game moves (not pondering): the Board, the
// position history, the game snapshot and gamePly become what they were
// before those moves. False, with nothing changed, when the game since its
// start has fewer moves.
bool TakeBackGameMoves(XboardSession& session, int plies);

// The result line for a marker that the search left instead of a move, with
// `side` to move (the engine's side); nullptr when m is no result marker.
const char* MarkerResultLine(Move m, int side);
// The result line after the engine played a move with score `score`, `side`
// now to move: tableShowsMate is whether the table's entry for the new
// position holds the mated marker, drawMarker what the game-end draw test gave.
const char* MoveResultLine(int16_t score, bool tableShowsMate, Move drawMarker, int side);

}  // namespace kavrin
