// The main of every test program: the attack tables are built once, as the
// engine builds them at start-up, before any test runs.
#include <gtest/gtest.h>

#include "board/tables.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    kavrin::BuildTables();
    return RUN_ALL_TESTS();
}
