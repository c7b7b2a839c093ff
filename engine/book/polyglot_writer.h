// Writing a Polyglot book file: entries appended in the order they are given
// (the caller keeps them in key order), written a batch at a time.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "book/polyglot.h"

namespace kavrin {

class PolyglotWriter {
  public:
    PolyglotWriter() = default;
    ~PolyglotWriter();  // an unfinished file is closed as it stands
    PolyglotWriter(const PolyglotWriter&) = delete;
    PolyglotWriter& operator=(const PolyglotWriter&) = delete;

    // Creates (or empties) the file name; false, with Message() "cannot
    // create NAME", when it cannot.
    bool Create(const std::string& name);
    // Appends entry; false from the first failed write on.
    bool Add(const PolyglotEntry& entry);
    // Writes what is left and closes the file; false, with Message() "cannot
    // write NAME", when any write or the close failed.
    bool Finish();
    const std::string& Message() const { return message_; }

  private:
    static constexpr size_t BatchEntries = 4096;
    std::string name_;
    std::string message_;
    std::FILE* file_ = nullptr;
    std::vector<uint8_t> batch_;
    size_t filled_ = 0;
    bool written_ = true;
};

}  // namespace kavrin
