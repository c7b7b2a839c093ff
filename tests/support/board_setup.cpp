#include "support/board_setup.h"

#include <filesystem>
#include <unistd.h>

#include "board/board.h"
#include "board/fen.h"

namespace kavrin::test {

void SetUpPosition(const char* fen) {
    ASSERT_TRUE(ReadFen(fen)) << fen;
    currentPly = plyStack;
}

void InScratchFolder::SetUp() {
    char pattern[] = "/tmp/kavrin_test_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder_ = pattern;
    previous_ = std::filesystem::current_path().string();
    std::filesystem::current_path(folder_);
}

void InScratchFolder::TearDown() {
    if (folder_.empty()) return;
    std::filesystem::current_path(previous_);
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
    EXPECT_FALSE(std::filesystem::exists(folder_));
}

}  // namespace kavrin::test
