// Standard input of the UCI front end, read with read(2) into one fixed
// buffer and cut into lines (LF or CR LF). Between searches the loop blocks
// for the next line; while a search runs on its own threads, the loop waits
// for input or for the search to end, and the lines that must be answered at
// once are picked out while the others wait their turn.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

namespace kavrin {

// Bytes of input held at once: complete lines waiting to run and the start
// of the next one. A longer line is dropped whole.
constexpr size_t UciInputCapacity = size_t{1} << 20;
// Room for the first word of a line, as the search looks at it: longer than
// any command that must be answered during a search.
constexpr int UciWordSize = 16;

// Standard input as read so far: complete lines waiting to run and the start
// of the next one.
struct UciInput {
    char bytes[UciInputCapacity];
    size_t used = 0;
    // Bytes at the start already offered to a handler: whole lines only.
    size_t offered = 0;
    bool ended = false;
    // A line too long for the buffer is being dropped up to its line end.
    bool dropping = false;
};

// Reads the bytes waiting on standard input without blocking, as many as fit.
void ReadWaitingInput(UciInput& input);
// Blocks until more input arrives; false once the input has ended.
bool ReadMoreInput(UciInput& input);
// Blocks until input waits on standard input or wakeFd (the read end of a
// pipe) has bytes; drains wakeFd and reads what waits on the input.
void WaitForInputOrWake(UciInput& input, int wakeFd);
// True once the end of the input has been read.
bool InputEnded(const UciInput& input);

// The next line, without its line end, blocking until one is complete; at
// the end of the input an unterminated rest counts as a line. False when
// the input has ended and nothing is left.
bool NextLine(UciInput& input, std::string& line);

// What becomes of a line offered while a search runs.
enum class LineVerdict {
    Taken,     // handled: removed from the input
    Kept,      // waits for the loop, after the search
    StopHere,  // kept, and the lines after it are not offered now
};

// Offers the first word of every complete line not offered before (empty
// for a blank line) to handle, in order, until it answers StopHere.
void OfferNewLines(UciInput& input, const std::function<LineVerdict(const char* word)>& handle);

}  // namespace kavrin
