// Text in and out of the code under test: what it prints and what it logs,
// caught in strings; output taken apart into lines; and text in a heap block
// of exactly its size, so that the address checker catches a read beyond it.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace kavrin::test {

// Runs call and returns what it printed on standard output.
template <typename Call>
std::string StdoutOf(Call&& call) {
    ::testing::internal::CaptureStdout();
    call();
    return ::testing::internal::GetCapturedStdout();
}

// Sends the log stream into a string for as long as the object lives; the
// stream goes back to its file (or to nowhere) afterwards.
class LogCapture {
  public:
    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    std::string Text() const { return text_.str(); }
    void Clear() { text_.str(""); }

  private:
    std::stringbuf text_;
    std::streambuf* saved_;
};

// The lines of text without their line ends.
std::vector<std::string> Lines(const std::string& text);

// A copy of text and its NUL in a heap block of exactly that size.
std::unique_ptr<char[]> ExactCopy(const std::string& text);

}  // namespace kavrin::test
