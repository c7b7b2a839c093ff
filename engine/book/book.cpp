#include "book/book.h"

#include <cstring>
#include <string>

#include "board/board.h"
#include "board/legal.h"
#include "board/makemove.h"
#include "board/movegen.h"
#include "system/binary_io.h"
#include "system/clock.h"

namespace kavrin {

namespace {

// Empties a book. Its index is read only while the book is loaded (a record
// file open, records counted), so it is left as it is: a load fills it whole.
void ResetBook(OpeningBook& book) {
    if (book.recordFile != nullptr) std::fclose(book.recordFile);
    book.recordFile = nullptr;
    book.cached = BookRecord{};
    book.cachedBucket = 0;
    book.cacheValid = false;
    book.filePosition = 0;
    book.recordCount = 0;
}

// Every bucket must end at or after the one before it, and no bucket may
// reach past the records in the file.
bool IndexFitsRecords(const OpeningBook& book) {
    uint32_t previous = 0;
    for (uint32_t entry : book.index) {
        if (entry < previous) return false;
        previous = entry;
    }
    return previous <= book.recordCount;
}

// Reads record number n; a failed seek or read leaves nothing cached.
bool ReadBookRecord(OpeningBook& book, uint64_t n, BookRecord& record) {
    uint8_t bytes[BookRecordSize];
    if (!ReadRecordAt(book.recordFile, book.filePosition, n, bytes, BookRecordSize)) {
        book.cacheValid = false;
        return false;
    }
    record = DecodeBookRecord(bytes);
    return true;
}

// Stored part (upper 15 bits, then lower 32) as one unsigned number.
uint64_t StoredValue(const BookRecord& r) { return (static_cast<uint64_t>(r.upper) << 32) | r.lower; }

}  // namespace

void EncodeBookRecord(const BookRecord& record, uint8_t out[BookRecordSize]) {
    PutLe(out, record.lower);
    PutLe(out + 4, record.upper);
}

BookRecord DecodeBookRecord(const uint8_t in[BookRecordSize]) {
    return BookRecord{GetLe<uint32_t>(in), GetLe<uint16_t>(in + 4)};
}

BookRecord BookRecordOf(uint64_t key) {
    BookRecord record;
    record.lower = static_cast<uint32_t>(key);
    record.upper = static_cast<uint16_t>((key >> 32) & BookUpperStoredMask);
    return record;
}

BookSet::BookSet() {
    message[0] = '\0';
    for (OpeningBook& b : book) {
        b.recordFile = nullptr;
        ResetBook(b);
    }
}

BookSet::~BookSet() { Close(); }

void BookSet::Close() {
    for (OpeningBook& b : book) ResetBook(b);
}

bool BookSet::LoadBook(int side, const char* baseName) {
    OpeningBook& b = book[side ? 1 : 0];
    // 1. Nothing of an earlier load survives.
    ResetBook(b);

    // 2. The index, whole.
    const std::string indexName = std::string(baseName) + ".mbx";
    std::FILE* f = std::fopen(indexName.c_str(), "rb");
    if (f == nullptr) {
        SetFileMessage(message, "Cannot load file: '%s'\n", indexName.c_str());
        return false;
    }
    const FileFacts index = StatOpenFile(f);
    const bool complete = index.size == BookIndexBytes && ReadLe32Words(f, b.index, BookIndexEntries);
    std::fclose(f);
    if (!index.known) {
        SetFileMessage(message, "Cannot get file statistics: '%s'.\n", indexName.c_str());
        return false;
    }
    if (!complete) {
        SetFileMessage(message, "Wrong file format '%s'.\n", indexName.c_str());
        ResetBook(b);
        return false;
    }

    // 3. The record file stays open for the lookups.
    const std::string recordName = std::string(baseName) + ".mbk";
    b.recordFile = std::fopen(recordName.c_str(), "rb");
    const FileFacts records = StatOpenFile(b.recordFile);
    if (!records.regular) {
        SetFileMessage(message, "Cannot open file: '%s'\n", recordName.c_str());
        ResetBook(b);
        return false;
    }

    // 4. The count; an index that does not fit the records is refused, so a
    // lookup never reads beyond them or answers for another bucket.
    b.recordCount = records.size / BookRecordSize;
    if (!IndexFitsRecords(b)) {
        SetFileMessage(message, "Wrong file format '%s'.\n", indexName.c_str());
        ResetBook(b);
        return false;
    }
    return true;
}

bool BookSet::Load(const std::string& folder) {
    const std::string prefix = folder.empty() || folder.back() == '/' ? folder : folder + "/";
    return LoadBook(0, (prefix + BookBaseNames[0]).c_str()) && LoadBook(1, (prefix + BookBaseNames[1]).c_str());
}

bool BookContains(OpeningBook& book, uint64_t key) {
    // 1. Bucket and stored part.
    BookRecord wanted = BookRecordOf(key);
    uint32_t bucket = static_cast<uint32_t>(key >> 32) >> BookBucketShift;

    // 2. The last record read, when it was read for this bucket.
    if (book.cacheValid && book.cachedBucket == bucket && book.cached.lower == wanted.lower &&
        book.cached.upper == wanted.upper)
        return true;

    // 3. The bucket's records, never beyond the file.
    if (book.recordFile == nullptr) return false;
    uint64_t end = book.index[bucket];
    if (end > book.recordCount) end = book.recordCount;
    uint64_t first = bucket == 0 ? 0 : book.index[bucket - 1];
    if (end == 0 || first >= end) return false;

    // 4. Binary search inside the bucket.
    uint64_t target = StoredValue(wanted);
    uint64_t lo = first;
    uint64_t hi = end;  // exclusive
    while (lo < hi) {
        uint64_t mid = lo + (hi - lo) / 2;
        BookRecord r;
        if (!ReadBookRecord(book, mid, r)) return false;
        book.cached = r;
        book.cachedBucket = bucket;
        book.cacheValid = true;
        uint64_t value = StoredValue(r);
        if (value == target) return true;
        if (target > value)
            lo = mid + 1;
        else
            hi = mid;
    }
    return false;
}

int BookMoves(BookSet& books, Position& pos, Move out[BookCandidateLimit]) {
    // 1. Only a loaded book of the other side can answer.
    int opp = 1 - pos.sideToMove;
    OpeningBook& book = books.book[opp];
    if (book.recordCount == 0) return 0;
    // Every move made here takes one more history entry.
    if (pos.HistoryIndex() + 1 >= HistorySize) return 0;

    // 2. The legal moves of the position; none where play may not start.
    MoveEntry moves[MaxGeneratedMoves];
    MoveEntry* end = GenerateLegalMoves(pos, moves);

    // 3. What MakeMove needs to take each move back.
    UndoRecord undo{};
    SaveForMake(pos, undo);

    // 4. The moves that lead into the book, last generated first.
    int count = 0;
    for (MoveEntry* e = end; e != moves;) {
        --e;
        Move m = e->move;
        MakeMove(pos, m, undo);
        bool found = BookContains(book, pos.board.hashKey);
        UnmakeMove(pos, m, undo);
        if (found && count < BookCandidateLimit) out[count++] = m;
    }
    return count;
}

Move BookProbe(BookSet& books, Position& pos) {
    Move candidates[BookCandidateLimit];
    const int count = BookMoves(books, pos, candidates);
    if (count == 0) return 0;
    return candidates[static_cast<unsigned>(ClockMs()) % static_cast<unsigned>(count)];
}

}  // namespace kavrin
