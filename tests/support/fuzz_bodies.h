// Entry functions of the fuzz targets. Each takes arbitrary bytes, runs one
// reader of outside input over them and aborts with a message when an
// invariant the reader promises does not hold. The libFuzzer executables in
// fuzz/ and the replay test of the saved inputs call the same functions.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kavrin::fuzz {

using FuzzBody = int (*)(const uint8_t* data, size_t size);

struct FuzzTarget {
    const char* name;  // folder name under fuzz/corpus and fuzz/regressions
    FuzzBody body;
};

// Position text with its "am"/"bm" operation; the Board passes the position
// check after every accepted read.
int FuzzFen(const uint8_t* data, size_t size);
// First line a position text, the rest coordinate move text decoded against
// the game snapshot and the live Board; neither changes, and a decoded Move
// names the squares of the text.
int FuzzMoveText(const uint8_t* data, size_t size);
// First line a position text, the rest SAN; the Board is left as it was.
int FuzzSan(const uint8_t* data, size_t size);
// A PGN input read game after game as the converters read it: the Board is
// back at the start after each game, and every stored move replays legally.
int FuzzPgn(const uint8_t* data, size_t size);
// A GAME file read record by record and counted; reader and counter agree.
int FuzzGameFile(const uint8_t* data, size_t size);
// POS lines parsed one by one, then the input as a POS file through the
// database builder, whose output must hold ascending keys.
int FuzzPosLine(const uint8_t* data, size_t size);
// A book index and record file loaded and probed: a lookup never claims a
// position its bucket lacks, and a book move is legal.
int FuzzBook(const uint8_t* data, size_t size);
// A Polyglot book opened, searched and played from.
int FuzzPolyglotBook(const uint8_t* data, size_t size);
// Two database files opened and searched both ways.
int FuzzPosDb(const uint8_t* data, size_t size);
// The command loop reading the input after an interface's handshake, with
// every search stopped at its first look at the input.
int FuzzCommandLoop(const uint8_t* data, size_t size);
// Lines of kavrin-uci's "position" (or its words alone) and "go": the game
// position stays playable and sound, and only legal moves are chosen for
// the root.
int FuzzUciPosition(const uint8_t* data, size_t size);

// Every fuzz target, in a fixed order.
extern const FuzzTarget FuzzTargets[];
extern const int FuzzTargetCount;

// The target of that name, or nullptr.
const FuzzTarget* FindFuzzTarget(const char* name);

}  // namespace kavrin::fuzz
