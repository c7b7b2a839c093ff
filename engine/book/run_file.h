// The files of the book builder's sorted runs: a header that names what they
// hold, then records made of little-endian words and variable-length
// numbers (seven bits a byte, lowest first, high bit for "more"), written
// and read through buffers, every write and read checked. A run ends with a
// closing byte and its record count, so a file cut short is told from a
// complete one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace kavrin {

// The closing byte of a run: no record begins with it.
constexpr uint8_t RunEndMark = 0xFF;

class RunFileWriter {
  public:
    RunFileWriter() = default;
    ~RunFileWriter();
    RunFileWriter(const RunFileWriter&) = delete;
    RunFileWriter& operator=(const RunFileWriter&) = delete;

    // Creates name with the 8-byte magic and the header words.
    bool Open(const std::string& name, const char magic[8], const std::vector<uint32_t>& header);
    void Byte(uint8_t b) {
        if (at_ == buffer_.size()) Flush();
        buffer_[at_++] = b;
    }
    void Number(uint64_t v);
    template <typename Word>
    void Le(Word v) {
        for (size_t i = 0; i < sizeof(Word); i++) Byte(static_cast<uint8_t>(v >> (8 * i)));
    }
    void RecordDone() { records_++; }
    // Writes the closing mark and the count and closes the file; false with
    // Message() on any failed write.
    bool Finish();
    // Closes and removes the file (after a failure elsewhere).
    void Discard();
    const std::string& Message() const { return message_; }
    uint64_t Records() const { return records_; }

  private:
    void Flush();

    std::string name_;
    std::FILE* file_ = nullptr;
    std::vector<uint8_t> buffer_;
    size_t at_ = 0;
    uint64_t records_ = 0;
    bool failed_ = false;
    std::string message_;
};

class RunFileReader {
  public:
    RunFileReader() = default;
    ~RunFileReader();
    RunFileReader(const RunFileReader&) = delete;
    RunFileReader& operator=(const RunFileReader&) = delete;

    // Opens name, checks the magic and reads headerWords header words.
    bool Open(const std::string& name, const char magic[8], size_t headerWords, size_t bufferBytes);
    const std::vector<uint32_t>& Header() const { return header_; }
    // The next byte, or the first of a record; false (Failed()) when the file
    // ends early or cannot be read.
    bool Byte(uint8_t& b) {
        if (at_ == end_ && !Refill()) return false;
        b = buffer_[at_++];
        return true;
    }
    bool Number(uint64_t& v);
    template <typename Word>
    bool Le(Word& v) {
        v = 0;
        for (size_t i = 0; i < sizeof(Word); i++) {
            uint8_t b;
            if (!Byte(b)) return false;
            v = static_cast<Word>(v | static_cast<Word>(b) << (8 * i));
        }
        return true;
    }
    void RecordDone() { records_++; }
    // After the closing mark: the count must match and nothing may follow.
    bool CheckEnd();
    // Marks the file damaged with why.
    bool Damaged(const char* why);
    bool Failed() const { return failed_; }
    const std::string& Message() const { return message_; }
    uint64_t BytesRead() const { return consumed_ + at_; }
    uint64_t Size() const { return size_; }
    const std::string& Name() const { return name_; }

  private:
    bool Refill();

    std::string name_;
    std::FILE* file_ = nullptr;
    std::vector<uint8_t> buffer_;
    size_t at_ = 0, end_ = 0;
    uint64_t consumed_ = 0;  // bytes of the file before the buffer
    uint64_t size_ = 0;
    uint64_t records_ = 0;
    std::vector<uint32_t> header_;
    bool failed_ = false;
    std::string message_;
};

}  // namespace kavrin
