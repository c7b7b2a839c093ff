// A game collection cut into pieces of whole games, so that each piece can be
// read on its own, on any thread, with the same result as one reading of the
// whole text. A game begins at a tag line ('[' first) that follows a blank
// line, itself after a line that is not a tag line: where a well-formed
// collection puts the next game, and never inside a tag section.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "book/game_input.h"

namespace kavrin {

// Where the next game after from begins in text[0, size), or size when none
// does. The text must begin at a game or at the start of the collection.
size_t NextGameStart(const char* text, size_t from, size_t size);

// Where the last game of text[0, size) begins (0 when the text holds one
// game or none); a game beginning at size is not seen.
size_t LastGameStart(const char* text, size_t size);

// The text of a collection in pieces of whole games, about ChunkBytes each.
class GameChunkReader {
  public:
    static constexpr size_t ChunkBytes = 1 << 20;
    // A piece that finds no game start within this much text stops the
    // reading: a collection without blank lines between its games.
    static constexpr size_t LongestPiece = size_t{64} << 20;

    explicit GameChunkReader(GameInput& input) : input_(input) {}
    // The next piece into chunk (its earlier contents replaced); false at the
    // end of the text, or on a failure (Message() not empty).
    bool Next(std::string& chunk);
    const std::string& Message() const { return message_; }

  private:
    GameInput& input_;
    std::string carry_;  // the beginning of the next piece
    bool ended_ = false;
    std::string message_;
};

}  // namespace kavrin
