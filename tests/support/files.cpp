#include "support/files.h"

#ifdef KAVRIN_HAVE_ZSTD
#include <zstd.h>
#endif
#ifdef KAVRIN_HAVE_ZLIB
#include <zlib.h>
#endif

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "board/fen.h"
#include "board/movetext.h"
#include "search/game.h"
#include "support/board_setup.h"
#include "support/test_engine.h"

namespace kavrin::test {

void InScratchFolder::SetUp() {
    char pattern[] = "/tmp/kavrin_test_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder_ = pattern;
    previous_ = std::filesystem::current_path().string();
    std::filesystem::current_path(folder_);
}

void InScratchFolder::TearDown() {
    if (folder_.empty()) return;
    std::filesystem::current_path(previous_);
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
    EXPECT_FALSE(std::filesystem::exists(folder_));
}

void InScratchFolderWithBooks::SetUp() {
    InScratchFolder::SetUp();
    books = std::make_unique<BookSet>();
}

void InScratchFolderWithBooks::TearDown() {
    books.reset();
    InScratchFolder::TearDown();
}

std::string ZstdBytes(const std::string& bytes) {
#ifdef KAVRIN_HAVE_ZSTD
    std::string out(ZSTD_compressBound(bytes.size()), '\0');
    const size_t n = ZSTD_compress(out.data(), out.size(), bytes.data(), bytes.size(), 3);
    out.resize(ZSTD_isError(n) ? 0 : n);
    return out;
#else
    (void)bytes;
    return "";
#endif
}

std::string GzipBytes(const std::string& bytes) {
#ifdef KAVRIN_HAVE_ZLIB
    z_stream z{};
    // 15 + 16: the largest window with a gzip header.
    if (deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK) return "";
    std::string out(deflateBound(&z, bytes.size()), '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    z.avail_in = static_cast<uInt>(bytes.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    const bool done = deflate(&z, Z_FINISH) == Z_STREAM_END;
    out.resize(done ? z.total_out : 0);
    deflateEnd(&z);
    return out;
#else
    (void)bytes;
    return "";
#endif
}

std::string ReadFileBytes(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFileBytes(const std::string& name, const std::string& bytes) {
    std::ofstream out(name, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void WriteDatabase(const std::string& name, const std::vector<PositionRecord>& records, const std::string& tail) {
    std::string bytes;
    for (const PositionRecord& r : records) {
        uint8_t b[PositionRecordSize];
        EncodeRecord(r, b);
        bytes.append(reinterpret_cast<const char*>(b), PositionRecordSize);
    }
    WriteFileBytes(name, bytes + tail);
}

std::string PosLine(uint64_t key, const std::string& fen, char result, int ply) {
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llX", static_cast<unsigned long long>(key));
    return std::string(hex) + "\t" + fen + "\t" + result + "\t" + std::to_string(ply);
}

void WriteEmptyBook(const std::string& baseName) {
    WriteFileBytes(baseName + ".mbx", std::string(BookIndexBytes, '\0'));
    WriteFileBytes(baseName + ".mbk", "");
}

std::string PolyglotBookBytes(const std::vector<PolyglotEntry>& entries) {
    std::string bytes;
    for (const PolyglotEntry& e : entries) {
        uint8_t b[PolyglotEntrySize];
        EncodePolyglotEntry(e, b);
        bytes.append(reinterpret_cast<const char*>(b), PolyglotEntrySize);
    }
    return bytes;
}

PolyglotEntry PolyglotEntryAfter(const std::string& moves, const char* next, uint16_t weight) {
    SetUpPosition(InitialFen);
    std::istringstream words(moves);
    for (std::string word; words >> word;) EXPECT_TRUE(PlayIfLegal(word)) << word << " in " << moves;
    const uint64_t key = PolyglotKey(gamePosition.board, gamePosition.sideToMove);
    const uint16_t word = PolyglotMove(TextToMoveOnBoard(gamePosition, next));
    SetUpPosition(InitialFen);
    return {key, word, weight, 0};
}

}  // namespace kavrin::test
