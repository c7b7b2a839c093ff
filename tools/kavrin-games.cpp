// kavrin-games COUNT [SEED]: COUNT distinct random legal games as PGN on
// standard output, the same games for the same seed (1 when none is given).
// Test collections of any size for the book builder and its comparisons.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "board/tables.h"
#include "random_games.h"

namespace {

constexpr int ExitUsage = 2;

bool ParseCount(const char* text, unsigned long long& value) {
    char* end = nullptr;
    value = std::strtoull(text, &end, 10);
    return end != text && *end == '\0' && text[0] != '-';
}

}  // namespace

int main(int argc, char** argv) {
    unsigned long long count = 0;
    unsigned long long seed = 1;
    if (argc < 2 || argc > 3 || !ParseCount(argv[1], count) || (argc == 3 && !ParseCount(argv[2], seed))) {
        std::fprintf(stderr, "usage: kavrin-games COUNT [SEED] > games.pgn\n");
        return ExitUsage;
    }
    kavrin::BuildTables();
    kavrin::bench::RandomGameWriter games(seed);
    for (unsigned long long i = 0; i < count; i++) {
        const std::string game = games.Next();
        if (std::fwrite(game.data(), 1, game.size(), stdout) != game.size()) {
            std::fprintf(stderr, "kavrin-games: cannot write the games\n");
            return 1;
        }
    }
    return std::fflush(stdout) == 0 ? 0 : 1;
}
