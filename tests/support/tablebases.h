// The Syzygy tables the tests read, which the project does not hold: the
// folder KAVRIN_SYZYGY_PATH names, else ../shared/syzygy beside the source
// tree. Tests that need them skip with the reason when they are missing.
#pragma once

#include <gtest/gtest.h>

#include <string>

namespace kavrin::test {

// The folder of the 3- and 4-piece tables; empty when it is missing.
std::string TestTablebaseFolder();

// Empty when tablebase tests can run; else why not (no support in this
// build, or where the tables were expected), for GTEST_SKIP().
std::string WhyNoTestTablebases();

}  // namespace kavrin::test

// Skips the test, saying why, when the tables cannot be read. (.ci/run
// excuses such a skip only in a suite whose name begins with "Tablebase".)
#define REQUIRE_TABLES()                                                                \
    do {                                                                                \
        if (const std::string why = ::kavrin::test::WhyNoTestTablebases(); !why.empty()) { \
            GTEST_SKIP() << why;                                                        \
        }                                                                               \
    } while (0)
