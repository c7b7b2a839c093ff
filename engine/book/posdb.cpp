#include "book/posdb.h"

#include <sys/stat.h>

#include <cinttypes>
#include <cstring>
#include <limits>

namespace kavrin {

namespace {

// Column where the placement starts: 16 key digits and one separator.
constexpr int KeyDigits = 16;
constexpr int PlacementColumn = KeyDigits + 1;
constexpr int BoardFiles = 8;
constexpr int BoardRanks = 8;
// The four-bit code for the longest run one slot can carry (four squares).
constexpr int LongestSlotRun = 4;
// Room for the offending line in the unsorted-input message after its text.
constexpr int UnsortedLineShown = 200;

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Where c is in letters; -1 when it is not (or is the NUL).
int LetterIndex(const char* letters, char c) {
    const char* at = c != '\0' ? std::strchr(letters, c) : nullptr;
    return at != nullptr ? static_cast<int>(at - letters) : -1;
}

// The castling flags follow the letters "KQkq" down from FlagWhiteKingSide.
static_assert(FlagWhiteQueenSide == FlagWhiteKingSide >> 1 && FlagBlackKingSide == FlagWhiteKingSide >> 2 &&
                  FlagBlackQueenSide == FlagWhiteKingSide >> 3,
              "castling flags in KQkq order");

// Four-bit code of a piece letter, or -1: codes 0-3 are runs of one to four
// empty squares, and the letters follow in this order from code 4 to 15.
int PieceSlotCode(char c) {
    const int index = LetterIndex("BKNPQRbknpqr", c);
    return index >= 0 ? LongestSlotRun + index : -1;
}

void PutSlot(uint8_t* placement, int slot, int code) {
    uint8_t& byte = placement[slot / 2];
    if (slot % 2 == 0)
        byte = static_cast<uint8_t>((byte & 0x0F) | (code << 4));
    else
        byte = static_cast<uint8_t>((byte & 0xF0) | code);
}

// Packs the placement field starting at line[i]; on success i is the index
// of the blank that ends it. Accepts exactly eight ranks of eight squares.
bool PackPlacement(const char* line, int len, int& i, uint8_t* placement) {
    int slot = 0;
    int rank = 0;
    int file = 0;
    auto push = [&](int code) {
        if (slot >= PlacementSlots) return false;
        PutSlot(placement, slot++, code);
        return true;
    };
    for (; i < len && line[i] != ' '; i++) {
        char c = line[i];
        if (c == '/') {
            if (file != BoardFiles || ++rank >= BoardRanks) return false;
            file = 0;
        } else if (c >= '1' && c <= '8') {
            int run = c - '0';
            file += run;
            if (file > BoardFiles) return false;
            if (run > LongestSlotRun) {
                if (!push(LongestSlotRun - 1)) return false;
                run -= LongestSlotRun;
            }
            if (!push(run - 1)) return false;
        } else {
            int code = PieceSlotCode(c);
            if (code < 0 || ++file > BoardFiles || !push(code)) return false;
        }
    }
    if (i >= len || rank != BoardRanks - 1 || file != BoardFiles) return false;
    for (; slot < PlacementSlots; slot++) PutSlot(placement, slot, UnusedSlotCode);
    return true;
}

// Reads record number n into the buffer; a failed read leaves no buffer.
bool ReadBufferedRecord(DatabaseFile& db, uint64_t n) {
    db.bufferValid = false;
    uint8_t bytes[PositionRecordSize];
    if (n >= db.recordCount || !ReadRecordAt(db.file, db.position, n, bytes, PositionRecordSize)) return false;
    db.buffer = DecodeRecord(bytes);
    db.bufferValid = true;
    return true;
}

void ClearDatabaseFile(DatabaseFile& db) {
    if (db.file != nullptr) std::fclose(db.file);
    db = DatabaseFile{};
}

// The line reader of the builder: one physical line, at most PosLineLimit
// characters kept; the line end (and a carriage return before it) removed.
// Returns false at the end of the file; bytes counts everything consumed.
bool ReadPosLine(std::FILE* f, char* line, int& len, bool& overLong, uint64_t& bytes) {
    len = 0;
    overLong = false;
    bytes = 0;
    int c;
    while ((c = std::getc(f)) != EOF) {
        bytes++;
        if (c == '\n') break;
        if (len < PosLineLimit)
            line[len++] = static_cast<char>(c);
        else
            overLong = true;
    }
    if (c == EOF && bytes == 0) return false;
    if (!overLong && len > 0 && line[len - 1] == '\r') len--;
    line[len] = '\0';
    return true;
}

uint32_t& ResultCounter(PositionRecord& record, const PositionRecord& game) {
    if (game.whiteWins) return record.whiteWins;
    if (game.blackWins) return record.blackWins;
    return record.draws;
}

bool SamePosition(const PositionRecord& a, const PositionRecord& b) {
    return std::memcmp(a.placement, b.placement, PlacementBytes) == 0 && a.flags == b.flags &&
           (a.ply & PlyEpGiven) == (b.ply & PlyEpGiven);
}

bool WriteRecord(std::FILE* f, const PositionRecord& record) {
    uint8_t bytes[PositionRecordSize];
    EncodeRecord(record, bytes);
    return WriteBytes(f, bytes, PositionRecordSize);
}

}  // namespace

void EncodeRecord(const PositionRecord& record, uint8_t out[PositionRecordSize]) {
    PutLe(out + RecordKeyOffset, record.key);
    std::memcpy(out + RecordPlacementOffset, record.placement, PlacementBytes);
    out[RecordFlagsOffset] = record.flags;
    out[RecordPlyOffset] = record.ply;
    PutLe(out + RecordWhiteWinsOffset, record.whiteWins);
    PutLe(out + RecordBlackWinsOffset, record.blackWins);
    PutLe(out + RecordDrawsOffset, record.draws);
}

PositionRecord DecodeRecord(const uint8_t in[PositionRecordSize]) {
    PositionRecord record{};
    record.key = GetLe<uint64_t>(in + RecordKeyOffset);
    std::memcpy(record.placement, in + RecordPlacementOffset, PlacementBytes);
    record.flags = in[RecordFlagsOffset];
    record.ply = in[RecordPlyOffset];
    record.whiteWins = GetLe<uint32_t>(in + RecordWhiteWinsOffset);
    record.blackWins = GetLe<uint32_t>(in + RecordBlackWinsOffset);
    record.draws = GetLe<uint32_t>(in + RecordDrawsOffset);
    return record;
}

PosParse ParsePosLine(const char* line, int len, PositionRecord& record) {
    if (len < PlacementColumn) return PosParse::TooShort;
    record = PositionRecord{};

    // 1. The key: sixteen hexadecimal digits and a separator.
    for (int i = 0; i < KeyDigits; i++) {
        int v = HexValue(line[i]);
        if (v < 0) return PosParse::Malformed;
        record.key = (record.key << 4) | static_cast<uint64_t>(v);
    }
    if (line[KeyDigits] != '\t' && line[KeyDigits] != ' ') return PosParse::Malformed;

    // 2. Placement, ended by a blank.
    int i = PlacementColumn;
    if (!PackPlacement(line, len, i, record.placement)) return PosParse::Malformed;
    i++;

    // 3. Side to move: one letter and a blank.
    if (i + 1 >= len || line[i] == ' ' || line[i + 1] != ' ') return PosParse::Malformed;
    if (line[i] == 'w') record.flags |= FlagWhiteToMove;
    i += 2;

    // 4. Castling letters up to a blank.
    int castlingStart = i;
    for (; i < len && line[i] != ' '; i++) {
        const int right = LetterIndex("KQkq", line[i]);
        if (right >= 0) record.flags |= static_cast<uint8_t>(FlagWhiteKingSide >> right);
    }
    if (i == castlingStart || i >= len) return PosParse::Malformed;
    i++;

    // 5. En-passant field: '-' or a file letter and a rank digit.
    if (i >= len) return PosParse::Malformed;
    if (line[i] == '-') {
        i++;
    } else {
        if (i + 1 >= len || line[i] < 'a' || line[i] > 'h' || line[i + 1] < '1' || line[i + 1] > '8')
            return PosParse::Malformed;
        record.flags |= static_cast<uint8_t>(line[i] - 'a');
        record.ply |= PlyEpGiven;
        i += 2;
    }

    // 6. Separator, result character, separator, ply number.
    if (i + 3 >= len) return PosParse::Malformed;
    switch (line[i + 1]) {
        case 'W':
            record.whiteWins = 1;
            break;
        case 'B':
            record.blackWins = 1;
            break;
        case 'D':
            record.draws = 1;
            break;
        default:
            return PosParse::Malformed;
    }
    i += 3;
    if (line[i] < '0' || line[i] > '9') return PosParse::Malformed;
    unsigned ply = 0;
    for (; i < len && line[i] >= '0' && line[i] <= '9'; i++) {
        ply = ply * 10 + static_cast<unsigned>(line[i] - '0');
        if (ply > PlyMask) ply = PlyMask + 1;  // saturate: anything above 127 is stored as 127
    }
    record.ply |= static_cast<uint8_t>(ply > PlyMask ? PlyMask : ply);
    return PosParse::Ok;
}

bool RewindDatabase(DatabaseFile& db) {
    db.bufferValid = false;
    if (db.file == nullptr) return false;
    if (fseeko(db.file, 0, SEEK_SET) != 0) {
        db.position = UnknownRecordPosition;
        return false;
    }
    db.position = 0;
    return true;
}

bool ReadNextRecord(DatabaseFile& db, PositionRecord& record) {
    if (db.file == nullptr || db.position == UnknownRecordPosition || db.position >= db.recordCount) return false;
    uint8_t bytes[PositionRecordSize];
    if (!ReadBytes(db.file, bytes, PositionRecordSize)) {
        db.position = UnknownRecordPosition;
        db.bufferValid = false;
        return false;
    }
    record = DecodeRecord(bytes);
    db.buffer = record;
    db.bufferValid = true;
    db.position++;
    return true;
}

double WhiteScore(double w, double b, double d) {
    double games = w + b + d;
    if (games == 0) return std::numeric_limits<double>::quiet_NaN();
    return (w + d / 2) / games;
}

PositionDatabase::PositionDatabase() { SetFileMessage(message, "OK"); }

PositionDatabase::~PositionDatabase() { Close(); }

void PositionDatabase::Close() {
    ClearDatabaseFile(file[0]);
    ClearDatabaseFile(file[1]);
}

bool PositionDatabase::OpenOne(DatabaseFile& db, const char* name) {
    ClearDatabaseFile(db);
    struct stat st {};
    if (stat(name, &st) != 0) {
        std::FILE* created = std::fopen(name, "wb");
        if (created != nullptr) std::fclose(created);
    }
    db.file = std::fopen(name, "rb");
    const FileFacts facts = StatOpenFile(db.file);
    // A partial record at the end is never read.
    db.recordCount = facts.size / PositionRecordSize;
    bool readable = facts.regular;
    if (readable && db.recordCount > 0) {
        // A failed read empties the file record below.
        readable = ReadBufferedRecord(db, 0);
        db.firstKey = db.buffer.key;
        readable = readable && ReadBufferedRecord(db, db.recordCount - 1);
        db.lastKey = db.buffer.key;
    }
    if (!readable) {
        SetFileMessage(message, "Cannot open file: %s\n", name);
        ClearDatabaseFile(db);
    }
    return readable;
}

bool PositionDatabase::Open(const char* whiteName, const char* blackName) {
    return OpenOne(file[0], blackName) && OpenOne(file[1], whiteName);
}

const PositionRecord* PositionDatabase::FindRecord(int side, uint64_t key) {
    DatabaseFile& db = file[side ? 1 : 0];
    if (db.file == nullptr || db.recordCount == 0) return nullptr;
    if (key > db.lastKey || key < db.firstKey) return nullptr;

    // Start from the buffered record: search only the part of the file on
    // the key's side of it.
    uint64_t lo = 0;
    uint64_t hi = db.recordCount;  // exclusive
    if (db.bufferValid && db.position != UnknownRecordPosition && db.position > 0) {
        if (db.buffer.key == key) return &db.buffer;
        uint64_t buffered = db.position - 1;
        if (key > db.buffer.key)
            lo = buffered + 1;
        else
            hi = buffered;
    }
    while (lo < hi) {
        uint64_t mid = lo + (hi - lo) / 2;
        if (!ReadBufferedRecord(db, mid)) return nullptr;
        if (db.buffer.key == key) return &db.buffer;
        if (key > db.buffer.key)
            lo = mid + 1;
        else
            hi = mid;
    }
    return nullptr;
}

const PositionRecord* PositionDatabase::FindRecordLinear(int side, uint64_t key) {
    DatabaseFile& db = file[side ? 1 : 0];
    if (!RewindDatabase(db)) return nullptr;
    uint64_t previous = 0;
    PositionRecord record;
    while (ReadNextRecord(db, record)) {
        uint64_t k = record.key;
        if (k <= previous) std::printf("Sort ERROR: current: %" PRIX64 ", prev: %" PRIX64 "\n", k, previous);
        if (k == key) return &db.buffer;
        if (key < k) return nullptr;
        previous = k;
    }
    return nullptr;
}

bool CreateDatabase(const char* posName, const char* dbName, char side, char* message) {
    // 1. Which side the database is for.
    if (side != 'W' && side != 'B') {
        SetFileMessage(message, "WRONG STM parameter: %c\n", side);
        return false;
    }
    bool wantWhite = side == 'W';

    // 2. and 3. The POS file's size for the progress, then both files.
    struct stat st {};
    if (stat(posName, &st) != 0) {
        SetFileMessage(message, "Cannot open file statistics: %s\n", posName);
        return false;
    }
    uint64_t posSize = static_cast<uint64_t>(st.st_size);
    std::FILE* in = std::fopen(posName, "r");
    if (!StatOpenFile(in).regular) {
        SetFileMessage(message, "Cannot open file: %s\n", posName);
        if (in != nullptr) std::fclose(in);
        return false;
    }
    std::FILE* out = std::fopen(dbName, "wb");
    if (out == nullptr) {
        SetFileMessage(message, "Cannot open file: %s\n", dbName);
        std::fclose(in);
        return false;
    }
    std::printf("creating new database '%s':  0%%", dbName);

    // 4. Counters and the one pending record.
    int accepted = 0;
    uint64_t bytesRead = 0;
    uint64_t shown = 0;
    bool success = true;
    bool pending = false;
    PositionRecord p{};

    // 5. One line at a time.
    char line[PosLineLimit + 1];
    int len;
    bool overLong;
    uint64_t lineBytes;
    while (ReadPosLine(in, line, len, overLong, lineBytes)) {
        if (len < PlacementColumn) continue;
        accepted++;
        PositionRecord n;
        if (overLong || ParsePosLine(line, len, n) != PosParse::Ok) {
            std::printf("\nparse error skipped line: %d\n%s\n", accepted, line);
            continue;
        }
        bytesRead += lineBytes;
        if (((n.flags & FlagWhiteToMove) != 0) != wantWhite) {
            accepted--;
            continue;
        }
        if (!pending) {
            p = n;
            pending = true;
            continue;
        }
        if (n.key == p.key) {
            if (SamePosition(n, p)) {
                uint8_t plyN = n.ply & PlyMask;
                uint8_t plyP = p.ply & PlyMask;
                if (plyN < plyP) p.ply = static_cast<uint8_t>((p.ply & PlyEpGiven) | plyN);
                ResultCounter(p, n)++;
            } else {
                p = n;
            }
            continue;
        }
        if (n.key < p.key) {
            SetFileMessage(message, "ERROR: input file with positions not sorted by hash!\n%.*s\n", UnsortedLineShown,
                           line);
            success = false;
            break;
        }
        if (!WriteRecord(out, p)) {
            SetFileMessage(message, "Cannot write file: %s\n", dbName);
            success = false;
            pending = false;
            break;
        }
        p = n;
        uint64_t percent = posSize > 0 ? bytesRead * 100 / posSize : 100;
        if (percent > 100) percent = 100;
        if (percent > shown) {
            std::printf("\b\b\b\b%3d%%", static_cast<int>(percent));
            std::fflush(stdout);
            shown = percent;
        }
    }
    if (std::ferror(in) && success) {
        SetFileMessage(message, "Cannot read file: %s\n", posName);
        success = false;
    }

    // 6. The pending record closes the file.
    std::fclose(in);
    bool written = !pending || WriteRecord(out, p);
    written = std::fclose(out) == 0 && written;
    if (!written && success) {
        SetFileMessage(message, "Cannot write file: %s\n", dbName);
        success = false;
    }

    // 7. Done.
    if (success) std::printf("\b\b\b\b100%%... done.\n");
    std::fflush(stdout);
    return success;
}

}  // namespace kavrin
