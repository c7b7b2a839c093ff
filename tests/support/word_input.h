// Text fed to the command loop's word, number and line readers through
// temporary files, as the loop reads its input.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "driver/input.h"

namespace kavrin::test {

class WordInput : public ::testing::Test {
  protected:
    void TearDown() override;
    // A source that reads text, open until the test ends.
    WordSource Source(const std::string& text);

  private:
    std::vector<std::FILE*> files_;
};

}  // namespace kavrin::test
