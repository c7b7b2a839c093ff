// The engine's side of a game: its searches, the game moves, the move output
// with result claims, and pondering on the opponent's time.
#pragma once

#include <cstdint>

#include "board/types.h"
#include "search/game.h"

namespace kavrin {

// Depth limit every game search is started with.
constexpr int GameSearchDepthLimit = 128;
// Score of a move that mates at once.
constexpr int16_t MateInOneScore = MateValue - 1;

// Runs one search with the time budget already set; after a ponder hit
// (goodPonder) the clock keeps running from the start of pondering.
void StartEngine(bool goodPonder, uint8_t depthLimit);
// Enters force mode and stops any search.
void StopEngine();
// Plays m into the game (it must be legal); false when m is 0.
bool GameMove(Move m);
// The engine's turn: a book move or a search, the move output, a result
// claim, then pondering when allowed.
void ThinkAndMove();
// The received move is the assumed ponder move, already on the Board.
void PonderHit();
// The received (legal) move differs from the ponder move.
void PonderMiss(Move received);
// While pondering: takes the assumed reply back so that the Board shows the
// game position again; the mode becomes Playing. Does nothing otherwise.
void TakeBackPonderMove();

// After a command that left the game as it was: the assumed reply ponder,
// taken back for the command, is played again (no search), so that the
// engine ponders on as before.
void ReplayPonderMove(Move ponder);
// Goes on with a ponder search that input stopped; its clock still counts
// from the start of pondering.
void ResumePondering();
// Analyze mode: searches the Board position without a time limit, printing
// thinking lines, until input arrives or the search ends by itself; plays
// nothing.
void AnalyzePosition();
// The move the table expects in the game position: while pondering the
// assumed reply, otherwise the table's legal move for the Board; 0 if none.
Move HintMove();

// The game starts again from the Board position: moves are taken back no
// further than here. Called whenever the position is set other than by game
// moves (a new game, a position text, the side to move changed by hand).
void MarkGameStart();
// Takes back the last `plies` game moves (not pondering): the Board, the
// position history, the game snapshot and gamePly become what they were
// before those moves. False, with nothing changed, when the game since its
// start has fewer moves.
bool TakeBackGameMoves(int plies);

// The result line for a marker that the search left instead of a move, with
// `side` to move (the engine's side); nullptr when m is no result marker.
const char* MarkerResultLine(Move m, int side);
// The result line after the engine played a move with score `score`, `side`
// now to move: tableShowsMate is whether the table's entry for the new
// position holds the mated marker, drawMarker what the game-end draw test gave.
const char* MoveResultLine(int16_t score, bool tableShowsMate, Move drawMarker, int side);

}  // namespace kavrin
