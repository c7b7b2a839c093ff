// Syzygy table files on disk: their names, the check of one file before the
// probing library may map it, and the search of a path list for the files
// that pass. The library maps a file and trusts every offset in it, so a file
// it is given must at least be whole and laid out as its header says.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kavrin {

// The largest tables the probing library reads: 7 pieces, kings included.
constexpr int TbMaxPieces = 7;

enum class TbFileKind : uint8_t { Wdl, Dtz };

constexpr const char* TbSuffix(TbFileKind kind) { return kind == TbFileKind::Wdl ? ".rtbw" : ".rtbz"; }

// Every table name the probing library looks for, as it spells them
// ("KQvKR": the stronger side first, pieces in the order Q R B N P), up to
// TbMaxPieces pieces.
const std::vector<std::string>& TbTableNames();

// The pieces of a table name: counts by side (0 the side named first) and
// kind (0 pawns .. 4 queens, kings not counted). False for a malformed name.
struct TbMaterial {
    int count[2][5];
    int pieces;  // kings included
};
bool ParseTableName(const std::string& name, TbMaterial& material);

// Checks the file at path as the table `name` of the given kind: a regular
// file, whole (its size is 16 bytes past a multiple of 64: the data, padded,
// then the generator's checksum), the kind's magic number first, and every
// section its header describes within the file and ending where the checksum
// begins. Empty when it passes, else why not, in a few words. The compressed
// blocks themselves are not read: their checksum covers the whole file, which
// for the larger tables would take minutes to read.
std::string CheckTableFile(const std::string& path, const std::string& name, TbFileKind kind);

// What a search of the path list found: per table name and kind, the first
// file in path order that passed the check, and one note per problem.
struct TbFileFound {
    std::string name;  // e.g. "KQvKR"
    TbFileKind kind;
    std::string path;  // the file
    int pieces;
};
struct TbFileSearch {
    std::vector<TbFileFound> files;
    std::vector<std::string> problems;  // missing folders, empty folders, bad files
};
// Splits paths at ':' (empty parts are skipped) and checks every table file
// of every folder.
TbFileSearch FindTableFiles(const std::string& paths);

}  // namespace kavrin
