// The text of a game collection as a stream of bytes: a plain PGN file,
// standard input ("-"), or either compressed with zstd or gzip, told apart by
// their first bytes, not by the name. Decompressed on the fly into the
// caller's buffer, never into a file of its own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace kavrin {

class GameInput {
  public:
    GameInput();
    ~GameInput();
    GameInput(const GameInput&) = delete;
    GameInput& operator=(const GameInput&) = delete;

    // Opens name ("-" for standard input). False with Message() set when it
    // cannot be opened, or is compressed in a form this build cannot read.
    bool Open(const std::string& name);
    // Up to n bytes of text into out; 0 at the end of the text or on a
    // failure (Failed(), with Message()): a read error, damaged or cut-short
    // compressed data.
    size_t Read(char* out, size_t n);
    bool Failed() const { return failed_; }
    const std::string& Message() const { return message_; }
    // Bytes of the file read so far, and its size when it is a regular file
    // (0 otherwise): the share of the input done.
    uint64_t FileBytesRead() const { return fileBytesRead_; }
    uint64_t FileSize() const { return fileSize_; }

    // How the bytes are stored.
    enum class Form { Plain, Zstd, Gzip };
    Form StoredForm() const { return form_; }

    // Whether this build reads the compressed form.
    static bool Reads(Form form);

  private:
    struct Decoder;
    size_t ReadRaw(uint8_t* out, size_t n);
    bool Fail(const std::string& message);

    std::string name_;
    std::FILE* file_ = nullptr;
    bool ownsFile_ = false;
    Form form_ = Form::Plain;
    bool failed_ = false;
    bool rawEnded_ = false;
    std::string message_;
    uint64_t fileBytesRead_ = 0;
    uint64_t fileSize_ = 0;
    std::vector<uint8_t> raw_;  // compressed bytes read, not yet decoded
    size_t rawAt_ = 0, rawEnd_ = 0;
    std::unique_ptr<Decoder> decoder_;
};

}  // namespace kavrin
