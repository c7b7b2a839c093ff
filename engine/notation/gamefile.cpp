#include "notation/gamefile.h"

#include "system/binary_io.h"
#include "system/scope_exit.h"

namespace kavrin {

namespace {

// Reads one little-endian word; false when fewer than two bytes remain.
bool ReadWord(std::istream& in, uint16_t& word) {
    uint8_t bytes[GameWordBytes];
    in.read(reinterpret_cast<char*>(bytes), GameWordBytes);
    if (in.gcount() != GameWordBytes) return false;
    word = GetLe<uint16_t>(bytes);
    return true;
}

// Content key of a record: header word and moves.
uint64_t RecordKey(const GameRecord& game) {
    uint64_t key = 0xCBF29CE484222325ULL;
    const int n = game.PlyCount();
    for (int i = 0; i <= n; ++i) {
        key ^= game.moves[i];
        key *= 0x100000001B3ULL;
        key ^= key >> 29;
    }
    return key;
}

bool SameRecord(const GameRecord& a, const GameRecord& b) {
    if (a.moves[0] != b.moves[0]) return false;
    const int n = a.PlyCount();
    for (int i = 1; i <= n; ++i) {
        if (a.moves[i] != b.moves[i]) return false;
    }
    return true;
}

}  // namespace

bool ReadGameRecord(GameRecord& game, std::istream& in) {
    uint16_t header = 0;
    if (!ReadWord(in, header)) return false;
    const char code = ResultCodeOfHeader(header);
    if (code == '?') throw GameFileError("WRONG RESULT");
    SetResultFromCode(game.result, code);
    const int n = header & HeaderPlyMask;
    if (n > MaxGamePlies) return false;

    uint8_t bytes[GameWordBytes * MaxGamePlies];
    const std::streamsize want = static_cast<std::streamsize>(GameWordBytes) * n;
    in.read(reinterpret_cast<char*>(bytes), want);
    if (in.gcount() != want) return false;
    game.moves[0] = header;
    GetLeWords(bytes, game.moves + 1, static_cast<size_t>(n));
    return true;
}

void WriteGameRecord(const GameRecord& game, std::ostream& out) {
    uint8_t bytes[GameRecordBytes(MaxGamePlies)];
    const int n = game.PlyCount();
    PutLeWords(bytes, game.moves, static_cast<size_t>(n) + 1);
    out.write(reinterpret_cast<const char*>(bytes), GameRecordBytes(n));
}

int CountGameRecords(std::istream& in) {
    int count = 0;
    for (;;) {
        uint16_t header = 0;
        if (!ReadWord(in, header)) {
            if (in.bad()) return -1;
            return count;  // end of file, or a single trailing byte
        }
        const int n = header & HeaderPlyMask;
        if ((header & HeaderResultMask) == 0 || n > MaxGamePlies) return -(count + 1);
        const std::streamsize want = static_cast<std::streamsize>(GameWordBytes) * n;
        in.ignore(want);
        if (in.gcount() != want) return in.bad() ? -1 : -(count + 1);
        ++count;
    }
}

bool GameAlreadyStored(const GameRecord& game, std::iostream& file) {
    file.clear();
    const std::streampos remembered = file.tellg();
    // The read position and state come back however the scan ends.
    const ScopeExit restore([&] {
        file.clear();
        file.seekg(remembered);
    });
    file.seekg(0);
    bool found = false;
    GameRecord storedGame;
    while (!found && ReadGameRecord(storedGame, file)) found = SameRecord(storedGame, game);
    return found;
}

void BuildGameIndex(GameIndex& index, std::iostream& file) {
    index = GameIndex{};
    file.clear();
    file.seekg(0);
    uint64_t offset = 0;
    GameRecord storedGame;
    try {
        while (ReadGameRecord(storedGame, file)) {
            index.offsets.emplace(RecordKey(storedGame), offset);
            offset += static_cast<uint64_t>(GameRecordBytes(storedGame.PlyCount()));
        }
    } catch (const GameFileError&) {
        // The plain scan would stop here with an error whenever it finds no
        // match among the records before this one.
        index.wrongResult = true;
    }
    file.clear();
    file.seekg(0, std::ios::end);
    const std::streamoff size = file.tellg();
    index.endOffset = size > 0 ? static_cast<uint64_t>(size) : 0;
    file.clear();
    file.seekg(0);
}

bool IndexedGameStored(GameIndex& index, const GameRecord& game, std::iostream& file) {
    const auto [first, last] = index.offsets.equal_range(RecordKey(game));
    bool found = false;
    GameRecord storedGame;
    for (auto it = first; it != last && !found; ++it) {
        file.clear();
        file.seekg(static_cast<std::streamoff>(it->second));
        found = ReadGameRecord(storedGame, file) && SameRecord(storedGame, game);
    }
    file.clear();
    if (!found && index.wrongResult) throw GameFileError("WRONG RESULT");
    return found;
}

void AddToGameIndex(GameIndex& index, const GameRecord& game) {
    index.offsets.emplace(RecordKey(game), index.endOffset);
    index.endOffset += static_cast<uint64_t>(GameRecordBytes(game.PlyCount()));
}

}  // namespace kavrin
