// Shared set-up of the tests that work on the Board: a position read into it,
// square and move words from their names, and moves as text played on it.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "board/board.h"
#include "board/types.h"

namespace kavrin::test {

// Reads fen into the game position (a failed read fails the test).
void SetUpPosition(const char* fen);

// The colour-flipped position of a FEN (its first four fields): ranks
// reversed, cases swapped, the other side to move, castling and en passant
// turned over with it.
std::string MirrorFen(const std::string& fen);

// Every field of two Boards is the same (each difference is a failure).
void ExpectSameBoard(const Board& a, const Board& b);

// Square number from its name, e.g. "e4" (a8 = 0, h1 = 63).
constexpr int Sq(const char* name) { return SquareOf(name[0], name[1]); }
constexpr Move M(const char* from, const char* to, int kind) { return MakeMoveWord(Sq(from), Sq(to), kind); }

// The coordinate text of m, as the engine writes it.
std::string MoveText(Move m);

// Plays the coordinate move text on the game position when it is a legal
// move there, never to be taken back; false otherwise (the Board is then
// unchanged).
bool PlayIfLegal(const std::string& text);

// The legal moves of the game position as text, in generation order.
std::vector<std::string> LegalMoveTexts();

}  // namespace kavrin::test
