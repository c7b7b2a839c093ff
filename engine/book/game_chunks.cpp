#include "book/game_chunks.h"

#include <cstring>

namespace kavrin {

namespace {

// Whether the '[' at p (after a line end) begins a game: the line before it
// is blank, and the last line with text before that is not a tag line.
bool BeginsGame(const char* text, size_t p) {
    // 1. The blank line: "\n\n[" or "\n\r\n[".
    size_t q = p - 1;  // the line end before the '['
    if (q > 0 && text[q - 1] == '\r') q--;
    if (q == 0 || text[q - 1] != '\n') return false;
    // 2. The last character that is not white space, and the line it is on.
    size_t r = q - 1;
    while (r > 0 && (text[r] == '\n' || text[r] == '\r' || text[r] == ' ' || text[r] == '\t')) r--;
    size_t lineStart = r;
    while (lineStart > 0 && text[lineStart - 1] != '\n') lineStart--;
    while (lineStart < r && (text[lineStart] == ' ' || text[lineStart] == '\t')) lineStart++;
    return text[lineStart] != '[';
}

}  // namespace

size_t NextGameStart(const char* text, size_t from, size_t size) {
    size_t at = from;
    while (at + 1 < size) {
        const void* line = std::memchr(text + at, '\n', size - at - 1);
        if (line == nullptr) break;
        const size_t p = static_cast<size_t>(static_cast<const char*>(line) - text) + 1;
        if (text[p] == '[' && BeginsGame(text, p)) return p;
        at = p;
    }
    return size;
}

size_t LastGameStart(const char* text, size_t size) {
    for (size_t p = size; p-- > 1;) {
        if (text[p] == '[' && text[p - 1] == '\n' && BeginsGame(text, p)) return p;
    }
    return 0;
}

bool GameChunkReader::Next(std::string& chunk) {
    chunk.swap(carry_);
    carry_.clear();
    // Read until the text holds a game start after its first game, or ends.
    size_t cut = 0;
    while (true) {
        if (chunk.size() >= ChunkBytes || ended_) {
            cut = ended_ ? chunk.size() : LastGameStart(chunk.data(), chunk.size());
            if (cut > 0 || ended_) break;
            if (chunk.size() >= LongestPiece) {
                message_ = "no game starts within " + std::to_string(LongestPiece >> 20) +
                           " MB of the text (a blank line and a tag line begin every game)";
                return false;
            }
        }
        const size_t had = chunk.size();
        chunk.resize(had + ChunkBytes);
        const size_t got = input_.Read(chunk.data() + had, ChunkBytes);
        chunk.resize(had + got);
        if (input_.Failed()) {
            message_ = input_.Message();
            return false;
        }
        if (got == 0) ended_ = true;
    }
    carry_.assign(chunk, cut, std::string::npos);
    chunk.resize(cut);
    return !chunk.empty();
}

}  // namespace kavrin
