// The binary files of the formats (books, position databases, GAME files):
// words are little-endian on disk whatever the machine, every read and write
// checks its count, and a fixed-size record is reached by a seek from the one
// read last. A failing format keeps its reason for the user in a message of
// FileMessageSize bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <type_traits>

namespace kavrin {

// Word from the sizeof(Word) bytes at in, lowest byte first.
template <typename Word>
Word GetLe(const uint8_t* in) {
    static_assert(std::is_unsigned_v<Word>, "stored words are unsigned");
    Word v = 0;
    for (size_t i = 0; i < sizeof(Word); i++) v = static_cast<Word>(v | static_cast<Word>(in[i]) << (8 * i));
    return v;
}

// Word v into the sizeof(Word) bytes at out, lowest byte first.
template <typename Word>
void PutLe(uint8_t* out, Word v) {
    static_assert(std::is_unsigned_v<Word>, "stored words are unsigned");
    for (size_t i = 0; i < sizeof(Word); i++) out[i] = static_cast<uint8_t>(v >> (8 * i));
}

template <typename Word>
void GetLeWords(const uint8_t* in, Word* words, size_t count) {
    for (size_t i = 0; i < count; i++) words[i] = GetLe<Word>(in + i * sizeof(Word));
}

template <typename Word>
void PutLeWords(uint8_t* out, const Word* words, size_t count) {
    for (size_t i = 0; i < count; i++) PutLe<Word>(out + i * sizeof(Word), words[i]);
}

// Exactly n bytes or nothing: false on a short read or write.
bool ReadBytes(std::FILE* f, void* bytes, size_t n);
bool WriteBytes(std::FILE* f, const void* bytes, size_t n);
// count 32-bit words through a small buffer; false on a short read or write.
bool ReadLe32Words(std::FILE* f, uint32_t* words, size_t count);
bool WriteLe32Words(std::FILE* f, const uint32_t* words, size_t count);

// What fstat says of an open file. A folder opens for reading too, but it is
// not regular and holds no records.
struct FileFacts {
    bool known = false;  // fstat answered
    bool regular = false;
    uint64_t size = 0;
};
FileFacts StatOpenFile(std::FILE* f);

// Record number of a file whose read position is not known (after a failed
// seek or read).
constexpr uint64_t UnknownRecordPosition = ~uint64_t{0};

// Reads record n of recordSize bytes. position is the record number the next
// sequential read returns: the seek is relative to it, or from the start of
// the file when it is unknown. Afterwards position is n + 1, or unknown when
// the seek or the read failed.
bool ReadRecordAt(std::FILE* f, uint64_t& position, uint64_t n, uint8_t* bytes, size_t recordSize);

// Bytes of the reason of a failure that a format keeps, its NUL included.
constexpr int FileMessageSize = 256;
// Formats the reason into message (FileMessageSize bytes), cut to fit.
void SetFileMessage(char* message, const char* format, ...) __attribute__((format(printf, 2, 3)));

}  // namespace kavrin
