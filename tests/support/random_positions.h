// Reproducible random positions for the board and notation tests, with their
// FEN written independently of the engine's own writer.
#pragma once

#include <cstdint>
#include <string>

#include "system/splitmix.h"

namespace kavrin::test {

struct RandomPosition {
    uint8_t pieces[64];   // piece codes, square 0 = a8
    int side;             // 1 white, 0 black
    uint16_t castling;    // only rights whose king and rook stand at home
    int epSquare;         // 0 or a square a pawn of the other side just passed
    std::string fen;      // the four fields as the engine writes them
};

// The tests' reproducible generator.
using TestRandom = SplitMix64;

// One king of each colour, up to 30 further pieces, no pawn on rank 1 or 8.
RandomPosition MakeRandomPosition(TestRandom& random);

// FEN of a piece array with the given side, flags and en-passant square.
std::string FenOf(const uint8_t pieces[64], int side, uint16_t castling, int epSquare);

}  // namespace kavrin::test
