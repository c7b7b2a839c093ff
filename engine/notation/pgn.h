// PGN games read move by move against the Board of a position, and games written back
// as PGN in coordinate notation.
#pragma once

#include <cstdint>
#include <istream>
#include <ostream>

#include "board/board.h"
#include "board/types.h"

namespace kavrin {

// An error that ends a whole conversion; text is the short message that the
// converters print and log.
struct GameFileError {
    static constexpr int TextSize = 64;
    char text[TextSize];
    explicit GameFileError(const char* message);
};

constexpr int PgnTokenSize = 11;     // ten characters and the NUL
constexpr int PgnTagLineSize = 511;  // 510 characters and the NUL
constexpr int ResultTextSize = 8;

// Game header word: bits 14-15 result, bits 0-13 the number of plies.
using GameHeader = uint16_t;
constexpr GameHeader HeaderWhiteWon = 0x8000;
constexpr GameHeader HeaderBlackWon = 0x4000;
constexpr GameHeader HeaderDraw = 0xC000;
constexpr GameHeader HeaderResultMask = 0xC000;
constexpr GameHeader HeaderPlyMask = 0x3FFF;

struct GameResult {
    char text[ResultTextSize];  // "1-0", "0-1", "1/2-1/2", "*" or empty
    char code;                  // 'W', 'B', 'D', '*', or '?' when unknown
};

// Sets code and text from a code; anything but 'W', 'B', 'D' gives '?' and "".
void SetResultFromCode(GameResult& result, char code);
// 'W', 'B' or 'D' for the result bits of a header word; '?' for bits 00.
char ResultCodeOfHeader(GameHeader header);

struct GameRecord {
    char token[PgnTokenSize];
    GameResult result;
    // moves[0] is the header word, moves[1..n] the game's moves.
    Move moves[MaxGamePlies + 1];

    GameHeader Header() const { return moves[0]; }
    int PlyCount() const { return moves[0] & HeaderPlyMask; }
};

// Reads the tag section, keeping only the Result tag; true when the input is
// still readable after it. Raises "Result Error 1" and "Result Error 2".
bool ReadPgnTags(GameResult& result, std::istream& in);
// The Move that ParseSan makes of the next token (at most ten characters up
// to whitespace or '{'), 0 if none.
Move ReadSanToken(Position& pos, GameRecord& game, std::istream& in);
// Reads one game from the standard initial position in pos, which it leaves
// so. Returns the result bits of a decided game with moves, else 0.
GameHeader ReadPgnGame(Position& pos, GameRecord& game, std::istream& in);
// Writes the Result tag line and one movetext line.
void WritePgnGame(const GameRecord& game, std::ostream& out);

}  // namespace kavrin
