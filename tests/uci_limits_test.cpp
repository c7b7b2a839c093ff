// The UCI front end's figures that no conversation shows exactly: the time a
// "go" gives the search, and where the books are looked for.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "board/types.h"
#include "search/timeman.h"
#include "support/board_setup.h"
#include "support/files.h"
#include "uci/limits.h"
#include "uci/options.h"

namespace kavrin {
namespace {

constexpr int Overhead = 30;

GoRequest Clock(int side, int remainingMs, int incrementMs, int movesToGo = 0) {
    GoRequest r;
    r.remainingMs[side] = remainingMs;
    r.incrementMs[side] = incrementMs;
    r.movesToGo = movesToGo;
    return r;
}

// Target and limit of one move: the clock and the increments to come spread
// over the moves to go, each costing the overhead; the limit a share of the
// clock and a few targets; never past the clock.
TEST(UciTime, TargetAndLimitFromTheClock) {
    struct Case {
        int remaining, increment, movesToGo, target, limit;
    };
    const Case cases[] = {
        // 10 s + 0.1 s: (9970 + 31 * 70) / 32 = 379; min(9970 * 0.3 + 70, 5 * 379)
        {10000, 100, 0, 379, 1895},
        // Later in the same game.
        {3000, 100, 0, 160, 800},
        // 1 s + 0.01 s: the increment does not cover the overhead.
        {1000, 10, 0, 30, 150},
        {100, 10, 0, 2, 10},
        // Less than the overhead: the least that still moves.
        {20, 0, 0, 1, 1},
        // Moves to go: 40 moves in 60 s; the last move before the control.
        {60000, 0, 40, 1499, 7495},
        {10000, 0, 1, 8973, 8973},
        // An increment larger than the clock: never past the clock.
        {1000, 5000, 0, 970, 970},
    };
    for (const Case& c : cases) {
        const TimeBudget b = PlanTime(ClockOf(Clock(White, c.remaining, c.increment, c.movesToGo), White, Overhead));
        SCOPED_TRACE(std::to_string(c.remaining) + "+" + std::to_string(c.increment) + "/" +
                     std::to_string(c.movesToGo));
        EXPECT_TRUE(b.timed);
        EXPECT_FALSE(b.fixed);
        EXPECT_EQ(b.targetMs, c.target);
        EXPECT_EQ(b.limitMs, c.limit);
    }
    // The clock of the side to move only.
    GoRequest r = Clock(Black, 30000, 0);
    r.remainingMs[White] = 1;
    EXPECT_EQ(PlanTime(ClockOf(r, Black, Overhead)).targetMs, (30000 - Overhead) / PlannedMovesToGo);
    EXPECT_FALSE(PlanTime(ClockOf(Clock(Black, 5000, 0), White, Overhead)).timed);
    // "movetime" alone is a fixed time; beside a clock it caps both.
    r = GoRequest{};
    r.moveTimeMs = 500;
    TimeBudget b = PlanTime(ClockOf(r, White, Overhead));
    EXPECT_TRUE(b.fixed);
    EXPECT_EQ(b.targetMs, 500 - Overhead);
    EXPECT_EQ(b.limitMs, 500 - Overhead);
    r = Clock(White, 600000, 0);
    r.moveTimeMs = 500;
    b = PlanTime(ClockOf(r, White, Overhead));
    EXPECT_FALSE(b.fixed);
    EXPECT_EQ(b.limitMs, 500 - Overhead);
}

// After each iteration: no new one once a share of the target is spent, more
// time while the best move changes or the score drops, none that cannot
// finish before the limit; a fixed time is used whole.
TEST(UciTime, IterationsStopByTheTargetStretchedWhenUnsettled) {
    TimeBudget budget;
    budget.timed = true;
    budget.targetMs = 1000;
    budget.limitMs = 5000;
    const Move a = 0x0123, b = 0x0456;
    // Settled: the target's share (0.55) ends it.
    IterationClock settled(budget);
    EXPECT_TRUE(settled.StartsAnother(100, a, 20));
    EXPECT_TRUE(settled.StartsAnother(500, a, 20));
    EXPECT_FALSE(settled.StartsAnother(600, a, 20));
    // A new best move each time: the target stretches.
    IterationClock unsettled(budget);
    EXPECT_TRUE(unsettled.StartsAnother(100, a, 20));
    EXPECT_TRUE(unsettled.StartsAnother(200, b, 20));
    EXPECT_TRUE(unsettled.StartsAnother(600, a, 20));
    // A falling score stretches it too, at most twice.
    IterationClock falling(budget);
    EXPECT_TRUE(falling.StartsAnother(100, a, 50));
    EXPECT_TRUE(falling.StartsAnother(200, a, 50));
    EXPECT_TRUE(falling.StartsAnother(600, a, -100));
    // An iteration that cannot finish before the limit does not start, far
    // as the target may be.
    budget.targetMs = 5000;
    IterationClock late(budget);
    EXPECT_TRUE(late.StartsAnother(100, a, 0));
    EXPECT_FALSE(late.StartsAnother(1500, a, 0));
    budget.fixed = true;
    IterationClock fixed(budget);
    EXPECT_TRUE(fixed.StartsAnother(100, a, 0));
    EXPECT_TRUE(fixed.StartsAnother(4900, a, 0));
    EXPECT_TRUE(IterationClock().StartsAnother(1000000, a, 0)) << "untimed";
}

class BookFolder : public test::InScratchFolder {};

void WriteBooks(const std::string& folder) {
    std::filesystem::create_directories(folder);
    for (const char* name : {"bookwtm.mbx", "bookwtm.mbk", "bookbtm.mbx", "bookbtm.mbk"})
        test::WriteFileBytes(folder + "/" + name, "");
}

TEST_F(BookFolder, WorkingDirectoryThenBesideTheProgramThenItsDataFolder) {
    const std::string root = std::filesystem::current_path().string();
    std::filesystem::create_directories("prefix/bin");
    EXPECT_EQ(FindBookFolder(root + "/prefix/bin"), "");
    // The Debian package: games/ and share/games/kavrin/.
    std::filesystem::create_directories("prefix/games");
    WriteBooks("prefix/share/games/kavrin");
    EXPECT_EQ(FindBookFolder(root + "/prefix/games"), root + "/prefix/share/games/kavrin");
    // An installation: bin/ and share/kavrin/.
    WriteBooks("prefix/share/kavrin");
    EXPECT_EQ(FindBookFolder(root + "/prefix/bin"), root + "/prefix/share/kavrin");
    // A build folder inside the repository: its parent.
    WriteBooks("prefix");
    EXPECT_EQ(FindBookFolder(root + "/prefix/bin"), root + "/prefix");
    // A folder with three of the four files does not count.
    WriteBooks("prefix/bin");
    std::filesystem::remove("prefix/bin/bookbtm.mbk");
    EXPECT_EQ(FindBookFolder(root + "/prefix/bin"), root + "/prefix");
    WriteBooks(".");
    EXPECT_EQ(FindBookFolder(root + "/prefix/bin"), root);
}

}  // namespace
}  // namespace kavrin
