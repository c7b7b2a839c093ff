// The game as a test follows it beside the engine: the position computed in
// the test process with the engine's own Board, and the engine's log read
// line by line.
#pragma once

#include <string>
#include <vector>

#include "support/engine_process.h"

namespace kavrin::test {

// Reads fen and plays the moves (coordinate text) on the Board of this
// process; false when the text is refused or a move is not legal.
bool PlayInProcess(const char* fen, const std::vector<std::string>& moves);
// The game-move line the engine logs for the Board's key.
std::string HashLine();
// The four-field FEN of the Board, as the search logs it after "-FEN:\t".
std::string FenOfBoard();
// The legal move that leads from the Board to the position of fen; empty if
// none does.
std::string ReplyLeadingTo(const std::string& fen);

// Index of the first line at or after `from` that begins with prefix;
// lines.size() when none does.
size_t FindLine(const std::vector<std::string>& lines, const std::string& prefix, size_t from = 0);
// Waits until the engine's log holds a line beginning with prefix after the
// line beginning with after; returns that line's text after the prefix,
// empty on timeout.
std::string WaitForLogLine(EngineProcess& engine, int timeoutMs, const std::string& after, const std::string& prefix);

// Waits until the engine's log holds a line beginning with prefix at index
// `from` or later; returns that line's index (the line count on timeout).
size_t WaitForLogLineFrom(EngineProcess& engine, int timeoutMs, size_t from, const std::string& prefix);

}  // namespace kavrin::test
