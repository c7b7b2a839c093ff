#include "book/bookcreate.h"

#include <cstring>
#include <memory>
#include <string>

#include "system/binary_io.h"

namespace kavrin {

namespace {

// Opens name for writing from its beginning without shortening it; created
// when missing.
std::FILE* OpenForRewrite(const std::string& name) {
    std::FILE* f = std::fopen(name.c_str(), "r+b");
    if (f == nullptr) f = std::fopen(name.c_str(), "wb");
    return f;
}

}  // namespace

bool KeepInBook(int side, uint32_t whiteWins, uint32_t blackWins, uint32_t draws, int ply) {
    if (ply > BookSelectionPlyLimit) return false;
    double s = WhiteScore(whiteWins, blackWins, draws);
    if (s != s) return false;  // no games: no score
    if (side == 0) return s >= BlackToMoveThreshold;
    return s <= WhiteToMoveThreshold || (s <= WhiteToMoveEarlyThreshold && ply <= EarlyPlyLimit);
}

BookFileWriter::BookFileWriter(OpeningBook& book, char* message) : book_(book), message_(message) {}

BookFileWriter::~BookFileWriter() {
    if (indexFile_ != nullptr) std::fclose(indexFile_);
    if (recordFile_ != nullptr) std::fclose(recordFile_);
}

bool BookFileWriter::Open(const char* baseName, RecordFileMode mode) {
    indexName_ = std::string(baseName) + ".mbx";
    recordName_ = std::string(baseName) + ".mbk";
    // The index is always rewritten whole: a longer old index would leave a
    // book that no load accepts.
    indexFile_ = std::fopen(indexName_.c_str(), "wb");
    if (indexFile_ == nullptr) {
        SetFileMessage(message_, "Cannot create index file: '%s'\n", indexName_.c_str());
        return false;
    }
    recordFile_ =
        mode == RecordFileMode::KeepTail ? OpenForRewrite(recordName_) : std::fopen(recordName_.c_str(), "wb");
    if (recordFile_ == nullptr) {
        SetFileMessage(message_, "Cannot create file: '%s'\n", recordName_.c_str());
        std::fclose(indexFile_);
        indexFile_ = nullptr;
        return false;
    }
    std::memset(book_.index, 0, sizeof book_.index);
    count_ = 0;
    haveKey_ = false;
    recordsWritten_ = true;
    return true;
}

bool BookFileWriter::Add(uint64_t key) {
    // Keys out of order would scatter a bucket; such records stay out.
    if (haveKey_ && key <= lastKey_) return true;
    uint8_t bytes[BookRecordSize];
    EncodeBookRecord(BookRecordOf(key), bytes);
    if (!WriteBytes(recordFile_, bytes, BookRecordSize)) {
        recordsWritten_ = false;
        return false;
    }
    book_.index[static_cast<uint32_t>(key >> 32) >> BookBucketShift] = ++count_;
    haveKey_ = true;
    lastKey_ = key;
    return true;
}

bool BookFileWriter::Finish() {
    // 1. The records are complete.
    const bool recordsClosed = std::fclose(recordFile_) == 0;
    recordFile_ = nullptr;
    if (!recordsClosed || !recordsWritten_) {
        SetFileMessage(message_, "Cannot create file: '%s'\n", recordName_.c_str());
        std::fclose(indexFile_);
        indexFile_ = nullptr;
        return false;
    }

    // 2. Each entry counts its bucket and every bucket below it.
    for (int i = 1; i < BookIndexEntries; i++)
        if (book_.index[i] < book_.index[i - 1]) book_.index[i] = book_.index[i - 1];

    // 3. The index file.
    const bool indexWritten = WriteLe32Words(indexFile_, book_.index, BookIndexEntries);
    const bool indexClosed = std::fclose(indexFile_) == 0;
    indexFile_ = nullptr;
    if (!indexClosed || !indexWritten) {
        SetFileMessage(message_, "Writing indexes file error!\n");
        return false;
    }
    return true;
}

bool GenerateBook(const char* baseName, DatabaseFile& db, int side, BookSet& books) {
    // 1. Both files, written from their beginnings.
    BookFileWriter writer(books.book[side ? 1 : 0], books.message);
    if (!writer.Open(baseName, BookFileWriter::RecordFileMode::KeepTail)) return false;

    // 2. The records in file order; every record counts for the score, the
    // chosen ones become book records.
    RewindDatabase(db);
    double w = 0, b = 0, d = 0;
    PositionRecord record;
    while (ReadNextRecord(db, record)) {
        w += record.whiteWins;
        b += record.blackWins;
        d += record.draws;
        if (!KeepInBook(side, record.whiteWins, record.blackWins, record.draws, record.ply & PlyMask)) continue;
        if (!writer.Add(record.key)) break;
    }

    // 3. The index behind the records.
    if (!writer.Finish()) return false;

    // 4. White's score over the whole database.
    std::printf("%s: %f\n", baseName, WhiteScore(w, b, d));
    return true;
}

bool CreateBooks(const char* whiteDb, const char* blackDb) {
    // 1. The databases.
    PositionDatabase databases;
    if (!databases.Open(whiteDb, blackDb)) {
        std::printf("%s\n", databases.message);
        return false;
    }

    // 2. A set of books of its own, only for writing; 1 MB of index, so not
    // on the stack.
    auto books = std::make_unique<BookSet>();

    // 3. and 4. One book per side; a failure does not stop the other.
    for (int side = 0; side < 2; side++) {
        std::printf("Generating %s...\n", BookBaseNames[side]);
        if (!GenerateBook(BookBaseNames[side], databases.file[side], side, *books)) std::printf("%s", books->message);
    }

    // 5. Done, whatever became of the books.
    books.reset();
    databases.Close();
    std::printf("created.\n");
    return true;
}

}  // namespace kavrin
