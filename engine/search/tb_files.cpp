#include "search/tb_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <utility>

#include "system/scope_exit.h"

namespace kavrin {

namespace {

// The piece letters of a table name, strongest first: index 4 is the queen,
// 0 the pawn (TbMaterial's kinds).
constexpr char NameLetters[] = "PNBRQ";
constexpr int KindsNamed = 5;

constexpr uint32_t WdlMagic = 0x5d23e871;
constexpr uint32_t DtzMagic = 0xa50c66d7;
// The generator appends a 16-byte checksum to the data padded to 64 bytes.
constexpr uint64_t ChecksumBytes = 16;
constexpr uint64_t DataAlignment = 64;
// The probing library's symbol table holds at most this many symbols.
constexpr uint32_t MaxSymbols = 4096;
constexpr uint32_t NoSymbol = 0xfff;
// Pair-data flags of a table header.
constexpr uint8_t PairsConstant = 0x80;
constexpr uint8_t DtzMapped = 2;
constexpr uint8_t DtzWideMap = 16;
// Placements of the two or three leading pieces of a pawnless table: the
// kings alone (no other piece is unique), or the kings and one more piece.
constexpr uint64_t KingPairPlacements = 462;
constexpr uint64_t KingTriplePlacements = 31332;
// Piece codes of the header's piece bytes: white pawn 1 .. king 6, black 9 .. 14.
constexpr int HeaderBlack = 8;
constexpr int HeaderKing = 6;

constexpr uint64_t AlignData(uint64_t offset) { return (offset + DataAlignment - 1) / DataAlignment * DataAlignment; }

// The number of ways to choose k of n.
uint64_t Choose(int n, int k) {
    if (k < 0 || n < k) return 0;
    uint64_t product = 1;
    uint64_t factorial = 1;
    for (int i = 0; i < k; ++i) {
        product *= static_cast<uint64_t>(n - i);
        factorial *= static_cast<uint64_t>(i + 1);
    }
    return product / factorial;
}

// Placements of `leading` like pawns with the leading one on `file` (a-d) of a
// pawn table: the generator orders the 48 pawn squares so that the leading
// pawn on the file's square of rank 2 + r leaves 47 - 12 * file - 2 * r
// squares for the others.
uint64_t LeadingPawnPlacements(int leading, int file) {
    uint64_t sum = 0;
    for (int r = 0; r < 6; ++r) sum += Choose(47 - 12 * file - 2 * r, leading - 1);
    return sum;
}

// The file, read on demand: a header is read as far as it goes and no further.
class FileBytes {
  public:
    FileBytes(int fd, uint64_t size) : fd_(fd), size_(size) {}
    uint64_t Size() const { return size_; }
    // Makes bytes [0, end) readable; false past the end of the file or on a
    // read error.
    bool Have(uint64_t end) {
        if (end > size_) return false;
        if (end <= bytes_.size()) return true;
        const uint64_t want = std::min<uint64_t>(size_, std::max<uint64_t>(end, 2 * bytes_.size() + 4096));
        const size_t had = bytes_.size();
        bytes_.resize(want);
        size_t done = had;
        while (done < want) {
            const ssize_t n = pread(fd_, bytes_.data() + done, want - done, static_cast<off_t>(done));
            if (n <= 0) {
                if (n < 0 && errno == EINTR) continue;
                bytes_.resize(done);
                return false;
            }
            done += static_cast<size_t>(n);
        }
        return true;
    }
    uint8_t U8(uint64_t at) const { return bytes_[at]; }
    uint16_t U16(uint64_t at) const { return static_cast<uint16_t>(bytes_[at] | bytes_[at + 1] << 8); }
    uint32_t U32(uint64_t at) const { return static_cast<uint32_t>(U16(at)) | static_cast<uint32_t>(U16(at + 2)) << 16; }

  private:
    int fd_;
    uint64_t size_;
    std::vector<uint8_t> bytes_;
};

// What the header says of a table: its pieces and the encoding the library
// derives from them.
struct TableShape {
    int pieces = 0;
    bool hasPawns = false;
    bool kingPairLeads = false;      // pawnless: only the kings are unique
    int pawns[2] = {0, 0};           // leading colour's pawns, the other's
    int headerCodes[16] = {};        // how many of each header piece code
};

TableShape ShapeOf(const TbMaterial& m) {
    TableShape shape;
    shape.pieces = m.pieces;
    const int whitePawns = m.count[0][0];
    const int blackPawns = m.count[1][0];
    shape.hasPawns = whitePawns + blackPawns > 0;
    // Header codes: kind + 1 for the pieces (pawn 1 .. queen 5), 6 the king.
    for (int side = 0; side < 2; ++side) {
        for (int kind = 0; kind < KindsNamed; ++kind) shape.headerCodes[side * HeaderBlack + kind + 1] += m.count[side][kind];
        shape.headerCodes[side * HeaderBlack + HeaderKing] += 1;
    }
    if (!shape.hasPawns) {
        int unique = 0;
        for (int code = 0; code < 16; ++code)
            if (shape.headerCodes[code] == 1) ++unique;
        shape.kingPairLeads = unique == 2;
    } else {
        // The colour with fewer pawns leads, white when both have as many.
        shape.pawns[0] = whitePawns;
        shape.pawns[1] = blackPawns;
        if (blackPawns > 0 && (whitePawns == 0 || whitePawns > blackPawns)) std::swap(shape.pawns[0], shape.pawns[1]);
    }
    return shape;
}

// The number of positions one sub-table encodes, from its header bytes at
// `at` (nibble `shift`): the library's index range. 0 when the bytes do not
// describe the table's pieces.
uint64_t EncodedPositions(const FileBytes& file, uint64_t at, int shift, int subTable, const TableShape& shape) {
    const bool morePawns = shape.hasPawns && shape.pawns[1] > 0;
    int piece[TbMaxPieces];
    int codes[16] = {};
    for (int i = 0; i < shape.pieces; ++i) {
        piece[i] = (file.U8(at + 1 + (morePawns ? 1 : 0) + i) >> shift) & 0x0f;
        ++codes[piece[i]];
    }
    if (!std::equal(codes, codes + 16, shape.headerCodes)) return 0;
    const int order = (file.U8(at) >> shift) & 0x0f;
    const int order2 = morePawns ? (file.U8(at + 1) >> shift) & 0x0f : 0x0f;

    int group[TbMaxPieces] = {};
    int k = group[0] = shape.hasPawns ? shape.pawns[0] : shape.kingPairLeads ? 2 : 3;
    if (morePawns) {
        group[k] = shape.pawns[1];
        k += group[k];
    }
    for (int i = k; i < shape.pieces; i += group[i])
        for (int j = i; j < shape.pieces && piece[j] == piece[i]; ++j) ++group[i];

    int free = 64 - k;
    uint64_t positions = 1;
    bool leadingPlaced = false;
    bool secondPlaced = !morePawns;
    for (int i = 0; k < shape.pieces || i == order || i == order2; ++i) {
        if (i == order) {
            positions *= shape.hasPawns ? LeadingPawnPlacements(group[0], subTable)
                         : shape.kingPairLeads ? KingPairPlacements
                                               : KingTriplePlacements;
            leadingPlaced = true;
        } else if (i == order2) {
            positions *= Choose(48 - group[0], group[group[0]]);
            secondPlaced = true;
        } else {
            positions *= Choose(free, group[k]);
            free -= group[k];
            k += group[k];
        }
    }
    return leadingPlaced && secondPlaced ? positions : 0;
}

// One sub-table's compressed data: the sizes of its index table, block-size
// table and blocks.
struct PairSizes {
    uint64_t index = 0;
    uint64_t blockSizes = 0;
    uint64_t blocks = 0;
};

// Reads the pair-data header at `at` for a sub-table of `positions`
// positions; advances `at` past it. Empty when it is sound, else why not.
std::string ReadPairs(FileBytes& file, uint64_t& at, uint64_t positions, TbFileKind kind, PairSizes& sizes,
                      uint8_t& flags) {
    if (!file.Have(at + 2)) return "truncated (the header runs past the end)";
    flags = file.U8(at);
    if (flags & PairsConstant) {
        if (kind == TbFileKind::Wdl && file.U8(at + 1) > 4) return "bad constant value";
        at += 2;
        return "";
    }
    if (!file.Have(at + 12)) return "truncated (the header runs past the end)";
    const int blockBits = file.U8(at + 1);
    const int indexBits = file.U8(at + 2);
    const uint64_t realBlocks = file.U32(at + 4);
    const uint64_t blocks = realBlocks + file.U8(at + 3);
    const int maxLength = file.U8(at + 8);
    const int minLength = file.U8(at + 9);
    if (blockBits > 32 || indexBits < 1 || indexBits > 32 || minLength < 1 || maxLength < minLength || maxLength > 64)
        return "bad compression parameters";
    const int lengths = maxLength - minLength + 1;
    const uint64_t symbolsAt = at + 10 + 2 * static_cast<uint64_t>(lengths);
    if (!file.Have(symbolsAt + 2)) return "truncated (the header runs past the end)";
    const uint32_t symbols = file.U16(symbolsAt);
    if (symbols >= MaxSymbols) return "too many symbols";
    const uint64_t patterns = symbolsAt + 2;
    if (!file.Have(patterns + 3 * static_cast<uint64_t>(symbols))) return "truncated (the header runs past the end)";
    // A symbol is a value or a pair of symbols: the library expands pairs
    // recursively, so the pairs must name symbols of the table and never lead
    // back to themselves.
    std::vector<uint8_t> state(symbols, 0);  // 0 not seen, 1 being expanded, 2 sound
    const auto sound = [&](const auto& self, uint32_t s) -> bool {
        if (s >= symbols || state[s] == 1) return false;
        if (state[s] == 2) return true;
        state[s] = 1;
        const uint64_t w = patterns + 3 * static_cast<uint64_t>(s);
        const uint32_t right = static_cast<uint32_t>(file.U8(w + 2)) << 4 | file.U8(w + 1) >> 4;
        const uint32_t left = (static_cast<uint32_t>(file.U8(w + 1)) & 0x0f) << 8 | file.U8(w);
        const bool ok = right == NoSymbol ? kind != TbFileKind::Wdl || left <= 4 : self(self, left) && self(self, right);
        state[s] = 2;
        return ok;
    };
    for (uint32_t s = 0; s < symbols; ++s)
        if (!sound(sound, s)) return "bad symbol table";
    at = patterns + 3 * static_cast<uint64_t>(symbols) + (symbols & 1);
    if (realBlocks > (file.Size() >> blockBits)) return "more blocks than the file holds";
    sizes.index = 6 * ((positions + (uint64_t{1} << indexBits) - 1) >> indexBits);
    sizes.blockSizes = 2 * blocks;
    sizes.blocks = realBlocks << blockBits;
    return "";
}

// Walks the header of the open table file and compares the layout it
// describes with the file. Empty when they agree.
std::string CheckLayout(FileBytes& file, const TbMaterial& material, TbFileKind kind) {
    if (!file.Have(5)) return "too short";
    if (file.U32(0) != (kind == TbFileKind::Wdl ? WdlMagic : DtzMagic))
        return kind == TbFileKind::Wdl ? "not a WDL table (wrong magic number)" : "not a DTZ table (wrong magic number)";
    const TableShape shape = ShapeOf(material);
    const bool split = kind == TbFileKind::Wdl && (file.U8(4) & 1);
    const int subTables = shape.hasPawns ? 4 : 1;
    const int sides = split ? 2 : 1;
    const uint64_t pieceBytes = static_cast<uint64_t>(shape.pieces) + 1 + (shape.hasPawns && shape.pawns[1] ? 1 : 0);

    uint64_t at = 5;
    uint64_t positions[4][2] = {};
    if (!file.Have(at + pieceBytes * static_cast<uint64_t>(subTables))) return "truncated (the header runs past the end)";
    for (int t = 0; t < subTables; ++t) {
        for (int side = 0; side < sides; ++side) {
            positions[t][side] = EncodedPositions(file, at, 4 * side, t, shape);
            if (positions[t][side] == 0) return "header does not describe the table's pieces";
        }
        at += pieceBytes;
    }
    at += at & 1;

    PairSizes sizes[4][2];
    uint8_t flags[4] = {};
    for (int t = 0; t < subTables; ++t) {
        for (int side = 0; side < sides; ++side) {
            uint8_t f = 0;
            const std::string problem = ReadPairs(file, at, positions[t][side], kind, sizes[t][side], f);
            if (!problem.empty()) return problem;
            if (side == 0) flags[t] = f;
        }
    }
    if (kind == TbFileKind::Dtz) {
        for (int t = 0; t < subTables; ++t) {
            if (!(flags[t] & DtzMapped)) continue;
            const bool wide = flags[t] & DtzWideMap;
            if (wide) at += at & 1;
            for (int i = 0; i < 4; ++i) {
                if (!file.Have(at + (wide ? 2 : 1))) return "truncated (the header runs past the end)";
                at += wide ? 2 + 2 * static_cast<uint64_t>(file.U16(at)) : 1 + static_cast<uint64_t>(file.U8(at));
            }
        }
        at += at & 1;
    }

    // The index tables, the block-size tables, then the blocks of each
    // sub-table, each starting on a 64-byte boundary.
    const uint64_t end = file.Size() - ChecksumBytes;
    for (int t = 0; t < subTables; ++t)
        for (int side = 0; side < sides; ++side) at += sizes[t][side].index;
    for (int t = 0; t < subTables; ++t)
        for (int side = 0; side < sides; ++side) at += sizes[t][side].blockSizes;
    if (at > end) return "truncated (the tables run past the end)";
    for (int t = 0; t < subTables; ++t) {
        for (int side = 0; side < sides; ++side) {
            at = AlignData(at);
            if (sizes[t][side].blocks > end - std::min(at, end)) return "truncated (the data runs past the end)";
            at += sizes[t][side].blocks;
        }
    }
    // The data is padded to a 64-byte boundary before the checksum.
    if (AlignData(at) != end) return "size does not match its header";
    return "";
}

const char* KindWord(TbFileKind kind) { return kind == TbFileKind::Wdl ? "WDL" : "DTZ"; }

}  // namespace

const std::vector<std::string>& TbTableNames() {
    static const std::vector<std::string> names = [] {
        // Every multiset of up to five pieces, as its letters strongest first.
        std::vector<std::string> sets{""};
        for (size_t i = 0; i < sets.size(); ++i) {
            if (sets[i].size() == TbMaxPieces - 2) continue;
            const char last = sets[i].empty() ? 'Q' : sets[i].back();
            for (int kind = KindsNamed - 1; kind >= 0; --kind)
                if (std::strchr(NameLetters, NameLetters[kind]) <= std::strchr(NameLetters, last))
                    sets.push_back(sets[i] + NameLetters[kind]);
        }
        // Strength order of two sets of as many pieces: letter by letter.
        const auto rank = [](char c) { return KindsNamed - 1 - static_cast<int>(std::strchr(NameLetters, c) - NameLetters); };
        const auto strongerOrEqual = [&rank](const std::string& a, const std::string& b) {
            for (size_t i = 0; i < a.size(); ++i)
                if (a[i] != b[i]) return rank(a[i]) < rank(b[i]);
            return true;
        };
        std::vector<std::string> out;
        for (const std::string& a : sets) {
            for (const std::string& b : sets) {
                if (a.empty() || a.size() + b.size() > TbMaxPieces - 2 || a.size() < b.size()) continue;
                if (a.size() == b.size() && !strongerOrEqual(a, b)) continue;
                out.push_back("K" + a + "vK" + b);
            }
        }
        return out;
    }();
    return names;
}

bool ParseTableName(const std::string& name, TbMaterial& material) {
    material = TbMaterial{};
    int side = -1;
    for (size_t i = 0; i < name.size(); ++i) {
        const char c = name[i];
        if (c == 'K') {
            if (side == 1 || (side == 0 && name[i - 1] != 'v') || (side == -1 && i != 0)) return false;
            ++side;
            ++material.pieces;
        } else if (c == 'v') {
            if (side != 0 || i + 1 >= name.size() || name[i + 1] != 'K') return false;
        } else {
            const char* letter = c ? std::strchr(NameLetters, c) : nullptr;
            if (!letter || side < 0) return false;
            ++material.count[side][letter - NameLetters];
            ++material.pieces;
        }
    }
    return side == 1 && material.pieces <= TbMaxPieces;
}

std::string CheckTableFile(const std::string& path, const std::string& name, TbFileKind kind) {
    TbMaterial material;
    if (!ParseTableName(name, material)) return "not a table name";
    // A folder, a pipe or a device is never mapped: opening a pipe could wait for ever.
    struct stat info;
    if (stat(path.c_str(), &info) != 0) return std::string("cannot be read (") + std::strerror(errno) + ")";
    if (!S_ISREG(info.st_mode)) return "not a regular file";
    const uint64_t size = static_cast<uint64_t>(info.st_size);
    if (size % DataAlignment != ChecksumBytes)
        return "truncated or padded (" + std::to_string(size) + " bytes, not 16 past a multiple of 64)";
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return std::string("cannot be opened (") + std::strerror(errno) + ")";
    const ScopeExit closeFile([fd] { close(fd); });
    FileBytes file(fd, size);
    std::string problem = CheckLayout(file, material, kind);
    return problem;
}

TbFileSearch FindTableFiles(const std::string& paths) {
    TbFileSearch search;
    // (name, kind) -> index in search.files: the first good file wins.
    std::map<std::pair<std::string, TbFileKind>, size_t> taken;
    size_t start = 0;
    while (start <= paths.size()) {
        size_t stop = paths.find(':', start);
        if (stop == std::string::npos) stop = paths.size();
        const std::string folder = paths.substr(start, stop - start);
        start = stop + 1;
        if (folder.empty()) continue;
        struct stat info;
        if (stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
            search.problems.push_back("no folder " + folder);
            continue;
        }
        int tables = 0;
        for (const std::string& name : TbTableNames()) {
            TbMaterial material;
            ParseTableName(name, material);
            for (TbFileKind kind : {TbFileKind::Wdl, TbFileKind::Dtz}) {
                const std::string path = folder + "/" + name + TbSuffix(kind);
                if (access(path.c_str(), F_OK) != 0) continue;
                ++tables;
                const std::string problem = CheckTableFile(path, name, kind);
                if (!problem.empty()) {
                    search.problems.push_back(path + ": " + problem + "; " + KindWord(kind) + " table " + name +
                                              " left out");
                    continue;
                }
                if (taken.count({name, kind})) continue;
                taken[{name, kind}] = search.files.size();
                search.files.push_back({name, kind, path, material.pieces});
            }
        }
        if (tables == 0) search.problems.push_back("no table files in " + folder);
    }
    return search;
}

}  // namespace kavrin
