// The whole road from a PGN collection to the books, in memory: the same
// positions that pgn2pos writes, the same records that dbcreate makes of them
// once sorted, the same selection that bookcreate applies, without the POS
// files, the external sort and the database files; and on the way the book
// in the Polyglot format (kavrin.bin): the moves of the games that lead into
// Kavrin's book, weighted from the same statistics. Like any Polyglot book
// it leaves out a move that scored nothing from its position (the mover lost
// every game that played it there), even when the position it leads to is in
// Kavrin's book through other games.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "board/board.h"
#include "book/polyglot.h"
#include "notation/pgn.h"

namespace kavrin {

constexpr const char* PolyglotBookName = "kavrin.bin";

// One position of a game, as the collection is gathered.
struct PositionSample {
    uint64_t key;          // the Board's hashKey
    uint64_t parentKey;    // Polyglot key of the position the game came from
    uint32_t fingerprint;  // a second hash of pieces, castling and en passant
    uint16_t parentMove;   // Polyglot word of the move that led here
    uint8_t ply;           // number of the move about to be played, from 1
    uint8_t flags;         // SampleFlag bits
};
static_assert(sizeof(PositionSample) == 24, "a position sample is 24 bytes");

// flags: bit 0 White to move; bits 1-2 the game's result; bit 3 the sample
// carries the move from its parent; bit 4 the position counts for the
// statistics (it is one that pgn2pos writes; the others, the positions after
// the last move looked at, only tell whether that move leads into the book).
constexpr uint8_t SampleWhiteToMove = 1;
constexpr int SampleResultShift = 1;
constexpr uint8_t SampleResultMask = 3 << SampleResultShift;
constexpr uint8_t SampleWhiteWon = 1 << SampleResultShift;
constexpr uint8_t SampleBlackWon = 2 << SampleResultShift;
constexpr uint8_t SampleDraw = 3 << SampleResultShift;
constexpr uint8_t SampleHasParent = 1 << 3;
constexpr uint8_t SampleCounted = 1 << 4;

// The samples, in 256 runs by the top byte of their key, so that each run is
// sorted on its own.
class PositionSamples {
  public:
    static constexpr int RunCount = 256;
    void Add(const PositionSample& sample) { runs_[sample.key >> 56].push_back(sample); }
    void Add(const std::vector<PositionSample>& samples);
    std::vector<PositionSample>& Run(int i) { return runs_[i]; }
    uint64_t Size() const;

  private:
    std::vector<PositionSample> runs_[RunCount];
};

// The samples of one game read by the PGN reader: the positions before moves
// 1 .. min(n, plyLimit), replayed on pos from the initial position, which is
// where pos is left.
constexpr int SamplePlyLimit = 255;  // the largest plyLimit: a sample's ply is a byte
void CollectGamePositions(Position& pos, const GameRecord& game, int plyLimit, std::vector<PositionSample>& samples);
// The same with the workbench's 64 plies, into the runs by key.
void CollectGamePositions(Position& pos, const GameRecord& game, PositionSamples& samples);

// What the selection made of the samples.
struct BookBuildReport {
    bool keyCollision = false;       // two different positions of one side share a key
    uint64_t positions[2] = {0, 0};  // database records, [black to move], [white to move]
    uint64_t bookRecords[2] = {0, 0};
    uint64_t polyglotEntries = 0;
    double sums[2][3] = {{0, 0, 0}, {0, 0, 0}};  // White wins, Black wins, draws per database
    std::string message;                         // the reason of a failure
};

// Writes bookbtm/bookwtm (.mbx/.mbk) and kavrin.bin into folder from the
// samples, which it consumes. False on a failure to write, or when two
// positions share a key (report.keyCollision): the selection then depends on
// the text of the positions, which only the workbench commands keep.
// minGames: the fewest games a position is seen in for it to enter a book.
bool WriteBooksFromSamples(PositionSamples& samples, const std::string& folder, BookBuildReport& report,
                           uint32_t minGames = 1);

// Whether a position of side to move side with these statistics enters its
// book, seen in at least minGames games.
bool KeepPosition(int side, uint32_t whiteWins, uint32_t blackWins, uint32_t draws, int ply, uint32_t minGames);

// Whether the side that moved into a sample's position scored in its game.
bool MoverScored(int mover, uint8_t flags);

// Polyglot weight of a move into a position with these statistics, for the
// side that made it: its half points, 2 * wins + draws.
uint32_t MoverHalfPoints(int mover, uint32_t whiteWins, uint32_t blackWins, uint32_t draws);

// Scales weights so that the largest is at most 65535, keeping every weight
// at least 1; returns the 16-bit weight of w when the largest is largest.
uint16_t ScaledWeight(uint32_t w, uint32_t largest);

}  // namespace kavrin
