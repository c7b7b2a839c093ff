// The strength limit of kavrin-uci (UCI_LimitStrength, UCI_Elo): a search cut
// to a budget of moves made and, at the lower levels, a move chosen at
// random among the best lines of the last iteration, a worse one the less
// often the worse it is. A budget of moves rather than of time keeps a
// level the same under every clock.
#pragma once

#include <cstdint>

namespace kavrin {

constexpr int MinStrengthElo = 1330;
constexpr int MaxStrengthElo = 2300;
constexpr int DefaultStrengthElo = 1500;

struct StrengthLimit {
    uint64_t nodes;  // moves the search may make (all threads)
    int lines;       // lines ranked to choose from
    int spreadCp;    // a line this much below the best is chosen e times less often
};

// The limit for a level from MinStrengthElo to MaxStrengthElo.
StrengthLimit StrengthFor(int elo);

// The line to play among count lines with these scores, best first, for a
// random number: a line's chance falls off with its distance from the best.
int ChooseLine(const int* scores, int count, int spreadCp, uint64_t random);

}  // namespace kavrin
