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

TEST(UciTime, TheEnginesRuleLessTheOverheadWithinTheClock) {
    // Moves to go given: the engine's allotment for 6000 cs and 40 moves.
    TimeBudget b = PlanTime(Clock(White, 60000, 0, 40), White, 1, Overhead);
    EXPECT_TRUE(b.timed);
    EXPECT_EQ(b.movesToGo, 40);
    EXPECT_EQ(b.allotmentMs, TimeAllotment(6000, 40, 0) - Overhead);
    EXPECT_EQ(b.ceilingMs, 60000 - Overhead);
    // The whole game in one period, the increment in milliseconds exactly,
    // for the side to move only.
    GoRequest r = Clock(Black, 30000, 1234);
    r.remainingMs[White] = 1;
    b = PlanTime(r, Black, 20, Overhead);
    EXPECT_EQ(b.movesToGo, MovesToGo(0, 20));
    EXPECT_EQ(b.allotmentMs, TimeAllotment(3000, MovesToGo(0, 20), 1234) - Overhead);
    // The last move before the control keeps a tenth back.
    b = PlanTime(Clock(White, 10000, 0, 1), White, 1, Overhead);
    EXPECT_EQ(b.allotmentMs, TimeAllotment(1000, 1, 0) - Overhead);
}

TEST(UciTime, NeverPlansPastTheClock) {
    // An increment larger than the clock.
    TimeBudget b = PlanTime(Clock(White, 1000, 5000), White, 1, Overhead);
    EXPECT_EQ(b.allotmentMs, 1000 - Overhead);
    EXPECT_EQ(b.ceilingMs, 1000 - Overhead);
    // Little left: the least allotment, but never past the clock.
    b = PlanTime(Clock(White, 100, 0), White, 1, Overhead);
    EXPECT_EQ(b.allotmentMs, MinimumAllotmentMs);
    EXPECT_EQ(b.ceilingMs, 100 - Overhead);
    b = PlanTime(Clock(White, 20, 0), White, 1, Overhead);
    EXPECT_EQ(b.allotmentMs, 1);
    EXPECT_EQ(b.ceilingMs, 1);
    // "movetime" caps the clock's allotment and gives no extra time.
    GoRequest r = Clock(White, 600000, 0);
    r.moveTimeMs = 500;
    b = PlanTime(r, White, 1, Overhead);
    EXPECT_EQ(b.allotmentMs, 500 - Overhead);
    EXPECT_EQ(b.ceilingMs, 500 - Overhead);
    r = GoRequest{};
    r.moveTimeMs = 500;
    EXPECT_EQ(PlanTime(r, White, 1, Overhead).movesToGo, 0);
    // No clock for the side to move: untimed.
    EXPECT_FALSE(PlanTime(Clock(Black, 5000, 0), White, 1, Overhead).timed);
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
