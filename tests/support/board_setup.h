// Shared set-up of the board and book tests: a position read into the global
// Board, square and move words from their names, and a scratch folder that a
// test works in.
#pragma once

#include <string>

#include <gtest/gtest.h>

#include "board/board.h"
#include "board/types.h"

namespace kavrin::test {

// Builds the tables on first use, reads fen (a failed read fails the test)
// and points the current ply record at the bottom of the stack.
void SetUpPosition(const char* fen);

// Every field of two Boards is the same (each difference is a failure).
void ExpectSameBoard(const Board& a, const Board& b);

// Square number from its name, e.g. "e4" (a8 = 0, h1 = 63).
constexpr int Sq(const char* name) { return SquareOf(name[0], name[1]); }
constexpr Move M(const char* from, const char* to, int kind) { return MakeMoveWord(Sq(from), Sq(to), kind); }

// Runs each test in a fresh folder below /tmp, made the working directory
// for the test and removed with everything in it afterwards.
class InScratchFolder : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;
    const std::string& Folder() const { return folder_; }

  private:
    std::string folder_;
    std::string previous_;
};

}  // namespace kavrin::test
