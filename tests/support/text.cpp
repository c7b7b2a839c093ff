#include "support/text.h"

#include <cstring>

#include "system/log.h"

namespace kavrin::test {

LogCapture::LogCapture() : saved_(static_cast<std::ostream&>(logStream).rdbuf(&text_)) {}

LogCapture::~LogCapture() { static_cast<std::ostream&>(logStream).rdbuf(saved_); }

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::unique_ptr<char[]> ExactCopy(const std::string& text) {
    std::unique_ptr<char[]> copy(new char[text.size() + 1]);
    std::memcpy(copy.get(), text.c_str(), text.size() + 1);
    return copy;
}

}  // namespace kavrin::test
