#include "uci/strength.h"

#include <algorithm>
#include <cmath>
#include <iterator>

namespace kavrin {

namespace {

// The levels the calibration measured, each named by its measured rating
// (README.md gives the matches); levels between take the geometric mean of
// the budgets and the linear mean of the spread.
struct Level {
    int elo;
    StrengthLimit limit;
};
constexpr Level Levels[] = {
    {1330, {1000, 4, 70}},
    {1540, {5477, 3, 25}},
    {1880, {40000, 1, 0}},
    {2080, {150000, 1, 0}},
    {2300, {400000, 1, 0}},
};
static_assert(Levels[0].elo == MinStrengthElo && Levels[std::size(Levels) - 1].elo == MaxStrengthElo);

}  // namespace

StrengthLimit StrengthFor(int elo) {
    elo = std::clamp(elo, MinStrengthElo, MaxStrengthElo);
    const Level* upper = std::begin(Levels);
    while (upper + 1 != std::end(Levels) && upper->elo < elo) ++upper;
    if (upper == std::begin(Levels) || upper->elo == elo) return upper->limit;
    const Level* lower = upper - 1;
    const double t = static_cast<double>(elo - lower->elo) / (upper->elo - lower->elo);
    const double nodes = std::exp(std::log(static_cast<double>(lower->limit.nodes)) * (1 - t) +
                                  std::log(static_cast<double>(upper->limit.nodes)) * t);
    return StrengthLimit{static_cast<uint64_t>(nodes), lower->limit.lines,
                         static_cast<int>(std::lround(lower->limit.spreadCp * (1 - t) + upper->limit.spreadCp * t))};
}

int ChooseLine(const int* scores, int count, int spreadCp, uint64_t random) {
    if (count <= 1 || spreadCp <= 0) return 0;
    double weights[64];
    count = std::min(count, static_cast<int>(std::size(weights)));
    double total = 0;
    for (int i = 0; i < count; ++i) {
        weights[i] = std::exp(-static_cast<double>(scores[0] - scores[i]) / spreadCp);
        total += weights[i];
    }
    // A uniform number in [0, total).
    double pick = static_cast<double>(random >> 11) / static_cast<double>(uint64_t{1} << 53) * total;
    for (int i = 0; i < count; ++i) {
        if (pick < weights[i]) return i;
        pick -= weights[i];
    }
    return count - 1;
}

}  // namespace kavrin
