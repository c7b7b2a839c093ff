#include "book/polyglot_book.h"

#include <algorithm>
#include <cinttypes>
#include <vector>

#include "board/board.h"
#include "board/legal.h"
#include "board/movegen.h"
#include "system/binary_io.h"

namespace kavrin {

namespace {

// Entries read at a time while the file is checked.
constexpr size_t CheckBatchEntries = 4096;

}  // namespace

PolyglotBook::PolyglotBook() : random_(std::random_device{}()) {}

PolyglotBook::~PolyglotBook() { Close(); }

void PolyglotBook::Close() {
    if (file_ != nullptr) std::fclose(file_);
    file_ = nullptr;
    count_ = 0;
    position_ = 0;
}

bool PolyglotBook::Fail(const std::string& path, const char* reason) {
    Close();
    message_ = "Polyglot book '" + path + "' " + reason;
    return false;
}

bool PolyglotBook::Open(const std::string& path) {
    Close();
    message_.clear();

    // 1. A regular file of whole entries.
    file_ = std::fopen(path.c_str(), "rb");
    if (file_ == nullptr) return Fail(path, "cannot be opened");
    const FileFacts facts = StatOpenFile(file_);
    if (!facts.regular) return Fail(path, "is not a file");
    if (facts.size == 0) return Fail(path, "is empty");
    if (facts.size % PolyglotEntrySize != 0) {
        char reason[128];
        std::snprintf(reason, sizeof reason,
                      "is truncated: %" PRIu64 " bytes are not a whole number of %d-byte entries", facts.size,
                      PolyglotEntrySize);
        return Fail(path, reason);
    }
    const uint64_t count = facts.size / PolyglotEntrySize;

    // 2. Every entry once: keys never descend, every move word names a move.
    std::vector<uint8_t> batch(CheckBatchEntries * PolyglotEntrySize);
    uint64_t previousKey = 0;
    for (uint64_t done = 0; done < count;) {
        const size_t n = static_cast<size_t>(std::min<uint64_t>(count - done, CheckBatchEntries));
        if (!ReadBytes(file_, batch.data(), n * PolyglotEntrySize)) return Fail(path, "cannot be read");
        for (size_t i = 0; i < n; i++, done++) {
            const PolyglotEntry entry = DecodePolyglotEntry(batch.data() + i * PolyglotEntrySize);
            char reason[96];
            if (entry.key < previousKey) {
                std::snprintf(reason, sizeof reason, "is corrupt: entry %" PRIu64 " is out of key order", done + 1);
                return Fail(path, reason);
            }
            if (entry.move != 0 && !IsPolyglotMoveWord(entry.move)) {
                std::snprintf(reason, sizeof reason, "is corrupt: entry %" PRIu64 " holds no move", done + 1);
                return Fail(path, reason);
            }
            previousKey = entry.key;
        }
    }
    count_ = count;
    position_ = count;
    return true;
}

bool PolyglotBook::ReadEntry(uint64_t n, PolyglotEntry& entry) {
    uint8_t bytes[PolyglotEntrySize];
    if (!ReadRecordAt(file_, position_, n, bytes, PolyglotEntrySize)) return false;
    entry = DecodePolyglotEntry(bytes);
    return true;
}

int PolyglotBook::Entries(uint64_t key, PolyglotEntry out[PolyglotPositionEntriesLimit]) {
    if (file_ == nullptr) return 0;
    // 1. The first entry whose key is not below key.
    uint64_t lo = 0;
    uint64_t hi = count_;
    while (lo < hi) {
        const uint64_t mid = lo + (hi - lo) / 2;
        PolyglotEntry entry;
        if (!ReadEntry(mid, entry)) return 0;
        if (entry.key < key)
            lo = mid + 1;
        else
            hi = mid;
    }
    // 2. The run of key from there.
    int n = 0;
    for (uint64_t i = lo; i < count_ && n < PolyglotPositionEntriesLimit; i++) {
        PolyglotEntry entry;
        if (!ReadEntry(i, entry)) return 0;
        if (entry.key != key) break;
        out[n++] = entry;
    }
    return n;
}

bool PolyglotWordNames(uint16_t word, Move m) {
    if (word == PolyglotMove(m)) return true;
    // The king's own two squares, e1g1 for e1h1.
    return IsCastling(m) && word == PolyglotMove(MakeMoveWord(MoveFrom(m), MoveTo(m), Quiet));
}

Move ChooseWeightedMove(const PolyglotEntry* entries, int entryCount, const Move* legal, int legalCount,
                        uint64_t random) {
    // 1. The entries that name a legal move, with their weights.
    Move moves[PolyglotPositionEntriesLimit];
    uint32_t weights[PolyglotPositionEntriesLimit];
    int n = 0;
    uint64_t total = 0;
    for (int i = 0; i < entryCount && n < PolyglotPositionEntriesLimit; i++) {
        if (entries[i].weight == 0 || entries[i].move == 0) continue;
        const Move* named =
            std::find_if(legal, legal + legalCount, [&](Move m) { return PolyglotWordNames(entries[i].move, m); });
        if (named == legal + legalCount) continue;
        moves[n] = *named;
        weights[n] = entries[i].weight;
        total += entries[i].weight;
        n++;
    }
    if (total == 0) return 0;

    // 2. A point on the line of the weights, and the move it falls on.
    uint64_t point = random % total;
    for (int i = 0; i < n; i++) {
        if (point < weights[i]) return moves[i];
        point -= weights[i];
    }
    return 0;
}

Move PolyglotBookMove(Position& pos, PolyglotBook& book) {
    if (!book.IsOpen()) return 0;
    PolyglotEntry entries[PolyglotPositionEntriesLimit];
    const int entryCount = book.Entries(PolyglotKey(pos.board, pos.sideToMove), entries);
    if (entryCount == 0) return 0;
    MoveEntry generated[MaxGeneratedMoves];
    const MoveEntry* end = GenerateLegalMoves(pos, generated);
    Move legal[MaxGeneratedMoves];
    int legalCount = 0;
    for (const MoveEntry* e = generated; e != end; ++e) legal[legalCount++] = e->move;
    return ChooseWeightedMove(entries, entryCount, legal, legalCount, book.NextRandom());
}

}  // namespace kavrin
