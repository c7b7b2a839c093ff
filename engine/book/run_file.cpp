#include "book/run_file.h"

#include <cerrno>
#include <cstring>

#include "system/binary_io.h"

namespace kavrin {

namespace {

constexpr size_t WriteBufferBytes = 1 << 20;
constexpr size_t MagicBytes = 8;
// A variable-length number of 64 bits takes at most ten bytes.
constexpr int LongestNumber = 10;

}  // namespace

RunFileWriter::~RunFileWriter() {
    if (file_ != nullptr) std::fclose(file_);
}

bool RunFileWriter::Open(const std::string& name, const char magic[8], const std::vector<uint32_t>& header) {
    name_ = name;
    file_ = std::fopen(name.c_str(), "wb");
    if (file_ == nullptr) {
        failed_ = true;
        message_ = "cannot create '" + name + "': " + std::strerror(errno);
        return false;
    }
    buffer_.resize(WriteBufferBytes);
    for (size_t i = 0; i < MagicBytes; i++) Byte(static_cast<uint8_t>(magic[i]));
    for (uint32_t word : header) Le(word);
    return true;
}

void RunFileWriter::Number(uint64_t v) {
    while (v >= 0x80) {
        Byte(static_cast<uint8_t>(v | 0x80));
        v >>= 7;
    }
    Byte(static_cast<uint8_t>(v));
}

void RunFileWriter::Flush() {
    if (!failed_ && at_ > 0 && !WriteBytes(file_, buffer_.data(), at_)) {
        failed_ = true;
        message_ = "cannot write '" + name_ + "': " + std::strerror(errno);
    }
    at_ = 0;
}

bool RunFileWriter::Finish() {
    Byte(RunEndMark);
    Le(records_);
    Flush();
    const int closed = std::fclose(file_);
    file_ = nullptr;
    if (closed != 0 && !failed_) {
        failed_ = true;
        message_ = "cannot write '" + name_ + "': " + std::strerror(errno);
    }
    return !failed_;
}

void RunFileWriter::Discard() {
    if (file_ != nullptr) std::fclose(file_);
    file_ = nullptr;
    if (!name_.empty()) std::remove(name_.c_str());
}

RunFileReader::~RunFileReader() {
    if (file_ != nullptr) std::fclose(file_);
}

bool RunFileReader::Open(const std::string& name, const char magic[8], size_t headerWords, size_t bufferBytes) {
    name_ = name;
    file_ = std::fopen(name.c_str(), "rb");
    if (file_ == nullptr) {
        failed_ = true;
        message_ = "cannot open '" + name + "': " + std::strerror(errno);
        return false;
    }
    const FileFacts facts = StatOpenFile(file_);
    if (!facts.regular) {
        failed_ = true;
        message_ = "'" + name + "' is not a file";
        return false;
    }
    size_ = facts.size;
    buffer_.resize(bufferBytes);
    for (size_t i = 0; i < MagicBytes; i++) {
        uint8_t b;
        if (!Byte(b) || b != static_cast<uint8_t>(magic[i])) return Damaged("it is not a run of this kind");
    }
    header_.resize(headerWords);
    for (uint32_t& word : header_) {
        if (!Le(word)) return false;
    }
    return true;
}

bool RunFileReader::Refill() {
    if (failed_) return false;
    consumed_ += end_;
    at_ = 0;
    end_ = std::fread(buffer_.data(), 1, buffer_.size(), file_);
    if (end_ > 0) return true;
    failed_ = true;
    message_ = std::ferror(file_) ? "cannot read '" + name_ + "': " + std::strerror(errno)
                                  : "the run '" + name_ + "' is cut short";
    return false;
}

bool RunFileReader::Number(uint64_t& v) {
    v = 0;
    for (int i = 0; i < LongestNumber; i++) {
        uint8_t b;
        if (!Byte(b)) return false;
        v |= static_cast<uint64_t>(b & 0x7F) << (7 * i);
        if ((b & 0x80) == 0) return true;
    }
    return Damaged("a number runs on too long");
}

bool RunFileReader::CheckEnd() {
    uint64_t count;
    if (!Le(count)) return false;
    if (count != records_) return Damaged("its record count does not match its records");
    uint8_t extra;
    if (at_ < end_ || std::fread(&extra, 1, 1, file_) == 1) return Damaged("bytes follow its end");
    return true;
}

bool RunFileReader::Damaged(const char* why) {
    if (!failed_) {
        failed_ = true;
        message_ = "the run '" + name_ + "' is damaged: " + why;
    }
    return false;
}

}  // namespace kavrin
