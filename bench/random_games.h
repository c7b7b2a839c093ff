// Random legal games as PGN text, for the benchmark and for test collections
// of any size: moves drawn uniformly from the legal moves, written in SAN;
// every game differs from every earlier one of the same writer, and the same
// seed gives the same games.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <unordered_set>

#include "board/board.h"

namespace kavrin::bench {

class RandomGameWriter {
  public:
    // The games start from the initial position (the attack tables must be
    // built).
    explicit RandomGameWriter(uint64_t seed);

    // The next game, with its number in a Round tag.
    std::string Next();

  private:
    Position position_;  // where the games are played, back at the start between them
    std::mt19937_64 random_;
    std::unordered_set<uint64_t> seen_;  // a hash of the moves of every game so far
    int number_ = 0;
};

}  // namespace kavrin::bench
