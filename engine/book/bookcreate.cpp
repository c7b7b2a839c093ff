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

bool GenerateBook(const char* baseName, DatabaseFile& db, int side, BookSet& books) {
    OpeningBook& book = books.book[side ? 1 : 0];

    // 1. Both files, written from their beginnings.
    std::string indexName = std::string(baseName) + ".mbx";
    std::string recordName = std::string(baseName) + ".mbk";
    // The index is always rewritten whole: a longer old index would leave a
    // book that no load accepts.
    std::FILE* indexFile = std::fopen(indexName.c_str(), "wb");
    if (indexFile == nullptr) {
        SetFileMessage(books.message, "Cannot create index file: '%s'\n", indexName.c_str());
        return false;
    }
    std::FILE* recordFile = OpenForRewrite(recordName);
    if (recordFile == nullptr) {
        SetFileMessage(books.message, "Cannot create file: '%s'\n", recordName.c_str());
        std::fclose(indexFile);
        return false;
    }

    // 2. A fresh index; the records in file order.
    std::memset(book.index, 0, sizeof book.index);
    RewindDatabase(db);
    uint32_t c = 1;
    double w = 0, b = 0, d = 0;
    bool haveKept = false;
    uint64_t lastKept = 0;
    bool recordsWritten = true;

    // 3. Every record counts for the score; the chosen ones become records.
    PositionRecord record;
    while (ReadNextRecord(db, record)) {
        w += record.whiteWins;
        b += record.blackWins;
        d += record.draws;
        if (!KeepInBook(side, record.whiteWins, record.blackWins, record.draws, record.ply & PlyMask)) continue;
        // A database out of key order would scatter a bucket; such records
        // stay out so that every bucket is one sorted run.
        if (haveKept && record.key <= lastKept) continue;
        uint8_t bytes[BookRecordSize];
        EncodeBookRecord(BookRecordOf(record.key), bytes);
        if (!WriteBytes(recordFile, bytes, BookRecordSize)) {
            recordsWritten = false;
            break;
        }
        book.index[static_cast<uint32_t>(record.key >> 32) >> BookBucketShift] = c++;
        haveKept = true;
        lastKept = record.key;
    }

    // 4. The records are complete.
    if (std::fclose(recordFile) != 0) recordsWritten = false;
    if (!recordsWritten) {
        SetFileMessage(books.message, "Cannot create file: '%s'\n", recordName.c_str());
        std::fclose(indexFile);
        return false;
    }

    // 5. Each entry counts its bucket and every bucket below it.
    for (int i = 1; i < BookIndexEntries; i++)
        if (book.index[i] < book.index[i - 1]) book.index[i] = book.index[i - 1];

    // 6. The index file.
    const bool indexWritten = WriteLe32Words(indexFile, book.index, BookIndexEntries);
    if (std::fclose(indexFile) != 0 || !indexWritten) {
        SetFileMessage(books.message, "Writing indexes file error!\n");
        return false;
    }

    // 7. White's score over the whole database.
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
