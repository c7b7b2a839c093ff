#include "system/binary_io.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdarg>

namespace kavrin {

namespace {

// Word arrays go to and from a file through a buffer of this many words.
constexpr size_t BufferWords = 1024;

}  // namespace

bool ReadBytes(std::FILE* f, void* bytes, size_t n) { return std::fread(bytes, 1, n, f) == n; }

bool WriteBytes(std::FILE* f, const void* bytes, size_t n) { return std::fwrite(bytes, 1, n, f) == n; }

bool ReadLe32Words(std::FILE* f, uint32_t* words, size_t count) {
    uint8_t bytes[sizeof(uint32_t) * BufferWords];
    for (size_t done = 0, n = 0; done < count; done += n) {
        n = std::min(count - done, BufferWords);
        if (!ReadBytes(f, bytes, sizeof(uint32_t) * n)) return false;
        GetLeWords(bytes, words + done, n);
    }
    return true;
}

bool WriteLe32Words(std::FILE* f, const uint32_t* words, size_t count) {
    uint8_t bytes[sizeof(uint32_t) * BufferWords];
    for (size_t done = 0, n = 0; done < count; done += n) {
        n = std::min(count - done, BufferWords);
        PutLeWords(bytes, words + done, n);
        if (!WriteBytes(f, bytes, sizeof(uint32_t) * n)) return false;
    }
    return true;
}

FileFacts StatOpenFile(std::FILE* f) {
    FileFacts facts;
    struct stat st {};
    if (f == nullptr || fstat(fileno(f), &st) != 0) return facts;
    facts.known = true;
    facts.regular = S_ISREG(st.st_mode);
    facts.size = static_cast<uint64_t>(st.st_size);
    return facts;
}

bool ReadRecordAt(std::FILE* f, uint64_t& position, uint64_t n, uint8_t* bytes, size_t recordSize) {
    int rc;
    if (position == UnknownRecordPosition) {
        rc = fseeko(f, static_cast<off_t>(n * recordSize), SEEK_SET);
    } else {
        const int64_t delta = static_cast<int64_t>(n) - static_cast<int64_t>(position);
        rc = fseeko(f, static_cast<off_t>(delta * static_cast<int64_t>(recordSize)), SEEK_CUR);
    }
    if (rc != 0 || !ReadBytes(f, bytes, recordSize)) {
        position = UnknownRecordPosition;
        return false;
    }
    position = n + 1;
    return true;
}

void SetFileMessage(char* message, const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::vsnprintf(message, FileMessageSize, format, args);
    va_end(args);
}

}  // namespace kavrin
