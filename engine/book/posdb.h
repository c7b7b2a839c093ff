// Position-statistics databases: per side to move, one record per position
// seen in a game collection with its White wins, Black wins and draws and the
// earliest ply it was seen at. Built from a key-sorted POS file.
#pragma once

#include <cstdint>
#include <cstdio>

#include "system/binary_io.h"

namespace kavrin {

// PositionRecord on disk, 54 bytes, little-endian, no padding:
//   bytes  0-3   key, lower 32 bits
//   bytes  4-7   key, upper 32 bits
//   bytes  8-39  placement: 64 four-bit codes, slot 0 in the upper half of byte 8
//   byte  40     bit 7 white to move, bit 6 K, bit 5 Q, bit 4 k, bit 3 q,
//                bits 0-2 file of the en-passant square
//   byte  41     bit 7 en-passant square given, bits 0-6 earliest ply (at most 127)
//   bytes 42-45  White wins; 46-49 Black wins; 50-53 draws
constexpr int RecordKeyOffset = 0;
constexpr int RecordPlacementOffset = 8;
constexpr int PlacementBytes = 32;
constexpr int PlacementSlots = 2 * PlacementBytes;
constexpr int RecordFlagsOffset = RecordPlacementOffset + PlacementBytes;
constexpr int RecordPlyOffset = RecordFlagsOffset + 1;
constexpr int RecordWhiteWinsOffset = RecordPlyOffset + 1;
constexpr int RecordBlackWinsOffset = RecordWhiteWinsOffset + 4;
constexpr int RecordDrawsOffset = RecordBlackWinsOffset + 4;
constexpr int PositionRecordSize = RecordDrawsOffset + 4;
static_assert(RecordPlacementOffset == 8 && RecordFlagsOffset == 40 && RecordPlyOffset == 41,
              "position record header layout");
static_assert(RecordWhiteWinsOffset == 42 && RecordDrawsOffset == 50, "position record counters");
static_assert(PositionRecordSize == 54, "a position record is 54 bytes");

constexpr uint8_t FlagWhiteToMove = 0x80;
constexpr uint8_t FlagWhiteKingSide = 0x40;
constexpr uint8_t FlagWhiteQueenSide = 0x20;
constexpr uint8_t FlagBlackKingSide = 0x10;
constexpr uint8_t FlagBlackQueenSide = 0x08;
constexpr uint8_t FlagEpFileMask = 0x07;
constexpr uint8_t PlyEpGiven = 0x80;
constexpr uint8_t PlyMask = 0x7F;
// Code of an unused placement slot (also black rook; slots beyond the
// placement are never read as squares).
constexpr uint8_t UnusedSlotCode = 15;

// Longest POS line the builder reads, without its line end.
constexpr int PosLineLimit = 254;

// One record as the engine handles it; on disk it is always the 54-byte
// layout above, written and read through EncodeRecord / DecodeRecord.
struct PositionRecord {
    uint64_t key;
    uint8_t placement[PlacementBytes];
    uint8_t flags;
    uint8_t ply;  // bit 7: en-passant square given; bits 0-6: earliest ply
    uint32_t whiteWins;
    uint32_t blackWins;
    uint32_t draws;
};

void EncodeRecord(const PositionRecord& record, uint8_t out[PositionRecordSize]);
PositionRecord DecodeRecord(const uint8_t in[PositionRecordSize]);

// Outcome of parsing one POS line.
enum class PosParse { Ok, TooShort, Malformed };

// Parses one POS line (without its line end) of length len into record: key,
// packed placement, flags, ply and one game counted by its result. Never
// reads past len nor writes beyond the record.
PosParse ParsePosLine(const char* line, int len, PositionRecord& record);

// One open database file.
struct DatabaseFile {
    std::FILE* file = nullptr;
    PositionRecord buffer{};  // last record read
    bool bufferValid = false;
    uint64_t firstKey = 0;
    uint64_t lastKey = 0;
    // Record number the next sequential read returns; UnknownRecordPosition
    // after a failed seek or read.
    uint64_t position = 0;
    uint64_t recordCount = 0;
};

// Sequential reading from the first record, in file order.
bool RewindDatabase(DatabaseFile& db);
// Reads the next record; false at the end of the records or on a failed read.
bool ReadNextRecord(DatabaseFile& db, PositionRecord& record);

// Holder of the two databases a command uses: index 0 black to move, index 1
// white to move, and the reason of the last failure.
class PositionDatabase {
  public:
    PositionDatabase();
    ~PositionDatabase();
    PositionDatabase(const PositionDatabase&) = delete;
    PositionDatabase& operator=(const PositionDatabase&) = delete;

    // Opens index 0 on blackName, then index 1 on whiteName; a missing file
    // is created empty. Stops at the first failure.
    bool Open(const char* whiteName, const char* blackName);
    void Close();

    // Binary search for key in the file of side; nullptr when not found.
    const PositionRecord* FindRecord(int side, uint64_t key);
    // Sequential search from the start, printing every place where the keys
    // do not ascend; nullptr when not found.
    const PositionRecord* FindRecordLinear(int side, uint64_t key);

    char message[FileMessageSize];
    DatabaseFile file[2];

  private:
    bool OpenOne(DatabaseFile& db, const char* name);
};

// Builds database file dbName from the key-sorted POS file posName, keeping
// the lines whose side to move is side ('W' or 'B'). Prints its progress; on
// failure the reason is in message (FileMessageSize bytes).
bool CreateDatabase(const char* posName, const char* dbName, char side, char* message);

// White's score (w + d/2) / (w + b + d); not a number when there are no games.
double WhiteScore(double w, double b, double d);

}  // namespace kavrin
