// The binary files of the formats (books, position databases, GAME files):
// little-endian words whatever the machine (big-endian ones for the Polyglot
// book), reads and writes that check their count, records reached by a seek
// from the one read last, and the message that keeps the reason of a failure
// for the user.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
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

// Word from the sizeof(Word) bytes at in, highest byte first (the byte order
// of the Polyglot book format).
template <typename Word>
Word GetBe(const uint8_t* in) {
    static_assert(std::is_unsigned_v<Word>, "stored words are unsigned");
    Word v = 0;
    for (size_t i = 0; i < sizeof(Word); i++) v = static_cast<Word>(v << 8 | static_cast<Word>(in[i]));
    return v;
}

// Word v into the sizeof(Word) bytes at out, highest byte first.
template <typename Word>
void PutBe(uint8_t* out, Word v) {
    static_assert(std::is_unsigned_v<Word>, "stored words are unsigned");
    for (size_t i = 0; i < sizeof(Word); i++) out[i] = static_cast<uint8_t>(v >> (8 * (sizeof(Word) - 1 - i)));
}

// Arrays of words: on a little-endian machine the bytes are the words
// already, and a copy does in one pass what a book's index of 131,072 words
// would otherwise take word by word.
template <typename Word>
void GetLeWords(const uint8_t* in, Word* words, size_t count) {
    if constexpr (std::endian::native == std::endian::little) {
        if (count != 0) std::memcpy(words, in, count * sizeof(Word));
    } else {
        for (size_t i = 0; i < count; i++) words[i] = GetLe<Word>(in + i * sizeof(Word));
    }
}

template <typename Word>
void PutLeWords(uint8_t* out, const Word* words, size_t count) {
    if constexpr (std::endian::native == std::endian::little) {
        if (count != 0) std::memcpy(out, words, count * sizeof(Word));
    } else {
        for (size_t i = 0; i < count; i++) PutLe<Word>(out + i * sizeof(Word), words[i]);
    }
}

// False on a short read or write.
bool ReadBytes(std::FILE* f, void* bytes, size_t n);
bool WriteBytes(std::FILE* f, const void* bytes, size_t n);
bool ReadLe32Words(std::FILE* f, uint32_t* words, size_t count);
bool WriteLe32Words(std::FILE* f, const uint32_t* words, size_t count);

// What fstat says of an open file (nothing for none). A folder opens for
// reading too, but it is not regular and holds no records.
struct FileFacts {
    bool known = false;
    bool regular = false;
    uint64_t size = 0;
};
FileFacts StatOpenFile(std::FILE* f);

// The record number of a read position lost to a failed seek or read.
constexpr uint64_t UnknownRecordPosition = ~uint64_t{0};

// Reads record n of recordSize bytes. position is the record number the next
// sequential read returns: the seek is relative to it, or from the start of
// the file when it is unknown. Afterwards position is n + 1, or unknown when
// the seek or the read failed.
bool ReadRecordAt(std::FILE* f, uint64_t& position, uint64_t n, uint8_t* bytes, size_t recordSize);

// Formats the reason of a failure into message, of FileMessageSize bytes
// with its NUL, cut to fit.
constexpr int FileMessageSize = 256;
void SetFileMessage(char* message, const char* format, ...) __attribute__((format(printf, 2, 3)));

}  // namespace kavrin
