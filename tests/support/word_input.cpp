#include "support/word_input.h"

namespace kavrin::test {

void WordInput::TearDown() {
    for (std::FILE* file : files_) std::fclose(file);
    files_.clear();
}

WordSource WordInput::Source(const std::string& text) {
    std::FILE* file = std::tmpfile();
    EXPECT_NE(file, nullptr);
    if (file == nullptr) return WordSource{nullptr};
    files_.push_back(file);
    std::fwrite(text.data(), 1, text.size(), file);
    std::rewind(file);
    return WordSource{file};
}

}  // namespace kavrin::test
