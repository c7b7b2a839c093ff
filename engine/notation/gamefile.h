// GAME files: a plain sequence of game records, each a little-endian header
// word (bits 14-15 result, bits 0-13 plies n) and n little-endian Move words,
// replayed from the standard initial position. No file header, no count.
#pragma once

#include <cstdint>
#include <iostream>
#include <unordered_map>

#include "notation/pgn.h"

namespace kavrin {

constexpr int GameWordBytes = 2;
// Bytes of a record of n plies.
constexpr int GameRecordBytes(int plies) { return GameWordBytes * (1 + plies); }

static_assert(sizeof(GameHeader) == GameWordBytes, "the GAME header is one 16-bit word");
static_assert(sizeof(Move) == GameWordBytes, "a stored move is one 16-bit word");
static_assert((HeaderResultMask & HeaderPlyMask) == 0 && (HeaderResultMask | HeaderPlyMask) == 0xFFFF,
              "result bits 14-15 and ply bits 0-13 fill the header word");
static_assert(HeaderWhiteWon == 0x8000 && HeaderBlackWon == 0x4000 && HeaderDraw == 0xC000,
              "result bits: 10 white won, 01 black won, 11 draw");
static_assert(MaxGamePlies <= HeaderPlyMask, "the ply count fits its bits");
static_assert(sizeof(GameRecord::moves) == GameRecordBytes(MaxGamePlies), "header and moves are one word array");

// Reads one record into game (result code and text set from the header);
// false at the end of the file, inside a record, or when the header holds
// more plies than a game may store. Raises "WRONG RESULT" for result bits 00.
bool ReadGameRecord(GameRecord& game, std::istream& in);
// Writes the header word and moves 1..n in one block.
void WriteGameRecord(const GameRecord& game, std::ostream& out);
// Number of complete records from the current position to the end, or -m
// for the 1-based number m of the first bad record (result bits 00, more than
// 1023 plies, cut inside its moves); -1 for a read failure that is not the end
// of the file. A header cut short by the end of the file ends the count.
int CountGameRecords(std::istream& in);
// Whether file holds a record identical to game (same header word and moves),
// scanning it from the start; the read position and state are restored.
bool GameAlreadyStored(const GameRecord& game, std::iostream& file);

// The records of an open GAME file by content, so the duplicate test reads the
// file once instead of once per offered game. Holds the offset of every
// record the scan from the start reaches; candidates with equal content keys
// are compared word by word against the file.
struct GameIndex {
    std::unordered_multimap<uint64_t, uint64_t> offsets;  // content key -> record offset
    uint64_t endOffset = 0;                               // where the next appended record lands
    bool wrongResult = false;                             // the scan met a record with result bits 00
};

// Indexes the whole file from its first record; the stream is left cleared.
void BuildGameIndex(GameIndex& index, std::iostream& file);
// GameAlreadyStored through the index: the same answer, and "WRONG RESULT"
// when the scan would have met a record with result bits 00 before a match.
bool IndexedGameStored(GameIndex& index, const GameRecord& game, std::iostream& file);
// Records that game was appended at the end of the file.
void AddToGameIndex(GameIndex& index, const GameRecord& game);

}  // namespace kavrin
