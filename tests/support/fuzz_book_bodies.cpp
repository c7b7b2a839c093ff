// Fuzz bodies for the book and database files: POS lines and the database
// builder, the book loader with its lookups, the database lookups, and the
// Polyglot book reader.
#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "board/board.h"
#include "board/fen.h"
#include "board/legal.h"
#include "book/book.h"
#include "book/polyglot_book.h"
#include "book/posdb.h"
#include "search/game.h"
#include "support/fuzz_bodies.h"
#include "support/fuzz_support.h"
#include "support/test_engine.h"
#include "system/binary_io.h"

namespace kavrin::fuzz {

namespace {

// Reads the input front to back; past its end every read gives zero.
struct ByteReader {
    const uint8_t* data;
    size_t size;
    size_t at = 0;

    uint8_t Byte() { return at < size ? data[at++] : 0; }
    // A 16-bit number, low byte first.
    size_t Word16() {
        const size_t low = Byte();  // read before the high byte
        return low | (static_cast<size_t>(Byte()) << 8);
    }
    // The next n bytes (fewer at the end of the input).
    std::vector<uint8_t> Bytes(size_t n) {
        const size_t take = std::min(n, size - std::min(at, size));
        std::vector<uint8_t> out(data + at, data + at + take);
        at += take;
        return out;
    }
    std::vector<uint8_t> Rest() { return Bytes(size); }
};

bool SameRecord(const PositionRecord& a, const PositionRecord& b) {
    return a.key == b.key && std::memcmp(a.placement, b.placement, PlacementBytes) == 0 && a.flags == b.flags &&
           a.ply == b.ply && a.whiteWins == b.whiteWins && a.blackWins == b.blackWins && a.draws == b.draws;
}

// The stored value of record n of a record file: the 47 bits below the
// bucket.
uint64_t StoredValueAt(const std::vector<uint8_t>& records, uint64_t n) {
    const uint8_t* p = records.data() + n * BookRecordSize;
    const BookRecord r = DecodeBookRecord(p);
    return (static_cast<uint64_t>(r.upper) << 32) | r.lower;
}

// The index file of pairs of a bucket (17 bits) and a record count: their
// running totals, as an index holds them.
KAVRIN_NOT_FUZZED const std::vector<uint8_t>& IndexFromCounts(const std::vector<uint8_t>& pairs) {
    static std::vector<uint32_t> totals(BookIndexEntries);
    static std::vector<uint8_t> file(BookIndexBytes);
    std::memset(totals.data(), 0, totals.size() * sizeof(uint32_t));
    for (size_t i = 0; i + 4 <= pairs.size(); i += 4) {
        const uint32_t bucket = GetLe<uint32_t>(&pairs[i]) & (BookIndexEntries - 1);
        totals[bucket] += pairs[i + 3];
    }
    uint32_t total = 0;
    for (uint32_t& t : totals) {
        total += t;
        t = total;
    }
    PutLeWords(file.data(), totals.data(), totals.size());
    return file;
}

}  // namespace

int FuzzPosLine(const uint8_t* data, size_t size) {
    PrepareEngine();
    // Each line alone, in a buffer of exactly its length, as the builder
    // hands it over.
    size_t start = 0;
    while (start <= size) {
        size_t end = start;
        while (end < size && data[end] != '\n') ++end;
        const size_t len = std::min<size_t>(end - start, PosLineLimit);
        std::vector<char> line(data + start, data + start + len);
        PositionRecord record{};
        const PosParse parsed = ParsePosLine(line.data(), static_cast<int>(len), record);
        if (parsed == PosParse::Ok) {
            Require(record.whiteWins + record.blackWins + record.draws == 1, "a POS line counts other than one game");
            uint8_t bytes[PositionRecordSize];
            EncodeRecord(record, bytes);
            Require(SameRecord(DecodeRecord(bytes), record), "a position record does not survive its encoding");
        }
        start = end + 1;
    }

    // The whole input as a POS file through the builder; what it builds is a
    // database whose keys ascend.
    const std::string posName = WriteScratchFile("input.pos", data, size);
    for (const char side : {'W', 'B'}) {
        const std::string dbName = ScratchDirectory() + "/built.db";
        char message[FileMessageSize] = {};
        const bool built = CreateDatabase(posName.c_str(), dbName.c_str(), side, message);
        Require(std::memchr(message, '\0', FileMessageSize) != nullptr, "database message without its end");
        if (!built) continue;
        PositionDatabase db;
        Require(db.Open(dbName.c_str(), dbName.c_str()), "a built database does not open", db.message);
        PositionRecord record;
        uint64_t previous = 0;
        uint64_t count = 0;
        Require(RewindDatabase(db.file[1]) || db.file[1].recordCount == 0, "a built database does not rewind");
        while (ReadNextRecord(db.file[1], record)) {
            Require(count == 0 || record.key > previous, "a built database has keys out of order");
            Require(((record.flags & FlagWhiteToMove) != 0) == (side == 'W'), "a record of the other side");
            previous = record.key;
            ++count;
        }
        Require(count == db.file[1].recordCount, "the built records do not all read back");
    }
    ClearScratchDirectory();
    return 0;
}

// Input: a mode byte (bit 0: index built from bucket counts, else raw index
// bytes; bit 1: no record file; bit 2: the white book), a 16-bit length of the
// index part, the index part, and the record file.
int FuzzBook(const uint8_t* data, size_t size) {
    PrepareEngine();
    ByteReader reader{data, size};
    const uint8_t mode = reader.Byte();
    const size_t indexPartLength = reader.Word16();
    const std::vector<uint8_t> indexPart = reader.Bytes(indexPartLength);
    const std::vector<uint8_t> records = reader.Rest();
    const int side = (mode & 4) != 0 ? 1 : 0;

    const std::vector<uint8_t>& indexFile = (mode & 1) != 0 ? IndexFromCounts(indexPart) : indexPart;
    WriteScratchFile("book.mbx", indexFile.data(), indexFile.size());
    if ((mode & 2) == 0) WriteScratchFile("book.mbk", records.data(), records.size());
    const std::string base = ScratchDirectory() + "/book";

    // One set of books serves every input: a load starts by putting the book
    // back as it was made.
    static const auto books = std::make_unique<BookSet>();
    BookSet& bookSet = *books;
    const bool loaded = bookSet.LoadBook(side, base.c_str());
    Require(std::memchr(bookSet.message, '\0', FileMessageSize) != nullptr, "book message without its end");
    OpeningBook& book = bookSet.book[side];
    if (loaded) {
        const uint64_t recordCount = records.size() / BookRecordSize;
        Require(book.recordCount == recordCount, "the book counts other records than its file holds");
        // Every record under the bucket the index gives it, and its near
        // misses: found exactly when the bucket holds the value.
        uint32_t bucket = 0;
        for (uint64_t n = 0; n < recordCount && n < 512; ++n) {
            while (bucket < BookIndexEntries && book.index[bucket] <= n) ++bucket;
            if (bucket == BookIndexEntries) break;
            const uint64_t first = bucket == 0 ? 0 : book.index[bucket - 1];
            const uint64_t end = book.index[bucket];
            bool ascending = true;
            for (uint64_t i = first; i + 1 < end; ++i)
                ascending &= StoredValueAt(records, i) < StoredValueAt(records, i + 1);
            const uint64_t value = StoredValueAt(records, n);
            for (const uint64_t probe : {value, value ^ 1, value + 1}) {
                const uint64_t stored = probe & ((uint64_t{1} << 47) - 1);
                const uint64_t key = (static_cast<uint64_t>(bucket) << 47) | stored;
                bool present = false;
                for (uint64_t i = first; i < end; ++i) present |= StoredValueAt(records, i) == stored;
                const bool found = BookContains(book, key);
                Require(!found || present, "the book claims a position that its bucket does not hold");
                Require(!ascending || found == present, "a sorted bucket misses a position it holds");
            }
        }
        // A book move is a legal move and leaves the position as it was.
        SetUpPosition(side == 0 ? InitialFen : "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3");
        const Board before = gamePosition.board;
        const Move m = BookProbe(bookSet, gamePosition);
        Require(std::memcmp(&before, &gamePosition.board, sizeof(Board)) == 0, "the book probe changed the Board");
        Require(m == 0 || IsLegalMove(gamePosition, m), "the book offered an illegal move");
    } else {
        Require(book.recordCount == 0 && book.recordFile == nullptr, "a refused book stays half loaded");
        for (const uint64_t key : {uint64_t{0}, ~uint64_t{0}, uint64_t{0x123456789ABCDEF}})
            Require(!BookContains(book, key), "a refused book answers lookups");
    }
    bookSet.Close();
    ClearScratchDirectory();
    return 0;
}

// Input: a flag byte (bit 0: both sides read one file), a 16-bit length of the
// black file, the black file, and the white file.
int FuzzPosDb(const uint8_t* data, size_t size) {
    PrepareEngine();
    ByteReader reader{data, size};
    const uint8_t flags = reader.Byte();
    const size_t blackLength = reader.Word16();
    const std::vector<uint8_t> blackFile = reader.Bytes(blackLength);
    const std::vector<uint8_t> whiteFile = (flags & 1) != 0 ? blackFile : reader.Rest();
    const std::string blackName = WriteScratchFile("black.db", blackFile.data(), blackFile.size());
    const std::string whiteName = WriteScratchFile("white.db", whiteFile.data(), whiteFile.size());

    PositionDatabase db;
    const bool opened = db.Open(whiteName.c_str(), blackName.c_str());
    Require(std::memchr(db.message, '\0', FileMessageSize) != nullptr, "database message without its end");
    if (opened) {
        const std::vector<uint8_t>* files[2] = {&blackFile, &whiteFile};
        for (int side = 0; side < 2; ++side) {
            const std::vector<uint8_t>& bytes = *files[side];
            const uint64_t count = bytes.size() / PositionRecordSize;
            Require(db.file[side].recordCount == count, "the database counts other records than its file holds");
            std::vector<uint64_t> keys;
            for (uint64_t n = 0; n < count; ++n) keys.push_back(GetLe<uint64_t>(bytes.data() + n * PositionRecordSize));
            bool ascending = true;
            for (size_t i = 1; i < keys.size(); ++i) ascending &= keys[i - 1] < keys[i];
            for (size_t n = 0; n < keys.size() && n < 256; ++n) {
                for (const uint64_t key : {keys[n], keys[n] + 1, keys[n] - 1}) {
                    bool present = false;
                    for (const uint64_t k : keys) present |= k == key;
                    const PositionRecord* binary = db.FindRecord(side, key);
                    Require(binary == nullptr || binary->key == key, "FindRecord returned another key");
                    Require(!ascending || (binary != nullptr) == present, "FindRecord misses a key of a sorted file");
                    const PositionRecord* linear = db.FindRecordLinear(side, key);
                    Require(linear == nullptr || linear->key == key, "FindRecordLinear returned another key");
                    Require(!ascending || (linear != nullptr) == present,
                            "FindRecordLinear misses a key of a sorted file");
                }
            }
        }
    }
    db.Close();
    ClearScratchDirectory();
    return 0;
}

}  // namespace kavrin::fuzz

namespace kavrin::fuzz {

// Input: a Polyglot book file. A file that opens holds only whole entries in
// key order; every entry is found under its key, and a book move at the
// start or after 1. e4 is legal and leaves the Board as it was.
int FuzzPolyglotBook(const uint8_t* data, size_t size) {
    PrepareEngine();
    const std::string name = WriteScratchFile("book.bin", data, size);
    PolyglotBook book;
    book.Seed(size);
    if (!book.Open(name)) {
        Require(!book.IsOpen() && !book.Message().empty(), "a refused Polyglot book gives no reason");
        Require(PolyglotBookMove(gamePosition, book) == 0, "a refused Polyglot book offers a move");
        ClearScratchDirectory();
        return 0;
    }
    Require(size % PolyglotEntrySize == 0 && book.EntryCount() == size / PolyglotEntrySize,
            "the Polyglot book counts other entries than its file holds");
    PolyglotEntry found[PolyglotPositionEntriesLimit];
    for (size_t at = 0; at < size && at < 64 * PolyglotEntrySize; at += PolyglotEntrySize) {
        const PolyglotEntry entry = DecodePolyglotEntry(data + at);
        const int n = book.Entries(entry.key, found);
        bool present = false;
        for (int i = 0; i < n; i++) present |= found[i].key == entry.key && found[i].move == entry.move;
        Require(n > 0 && (present || n == PolyglotPositionEntriesLimit), "a Polyglot entry is not found under its key");
    }
    for (const char* fen : {InitialFen, "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3"}) {
        SetUpPosition(fen);
        const Board before = gamePosition.board;
        const Move m = PolyglotBookMove(gamePosition, book);
        Require(std::memcmp(&before, &gamePosition.board, sizeof(Board)) == 0, "the Polyglot probe changed the Board");
        Require(m == 0 || IsLegalMove(gamePosition, m), "the Polyglot book offered an illegal move");
    }
    ClearScratchDirectory();
    return 0;
}

}  // namespace kavrin::fuzz
