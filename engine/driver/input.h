// Standard input for the command loop: the non-blocking test for unread
// input polled by the search, and the word, number and line readers.
#pragma once

#include <cstddef>
#include <cstdio>

namespace kavrin {

// Capacity of a command word or a "setboard" line buffer, the NUL included.
constexpr int CommandBufferSize = 256;
// Longest word kept; the rest of a longer word is read and dropped.
constexpr int MaxWordLength = CommandBufferSize - 1;
// Line read limit of "setboard": at most 254 characters, the line end included.
constexpr int SetboardReadLimit = CommandBufferSize - 1;

// A character stream read one byte at a time (standard input is unbuffered),
// with room to put back the one character that ends a word or a number.
struct WordSource {
    std::FILE* file;
    int pushedBack = EOF;  // EOF: nothing put back
};

// The command input of a session: its words, and one command word read ahead
// of the loop (by "time", looking for "otim", and by the search, looking at
// what the interface sent), which the loop takes before it reads on.
struct CommandInput {
    WordSource source;
    char keptWord[CommandBufferSize] = {};
    bool wordKept = false;
};

// Number of unread bytes waiting on standard input (nonzero: input pending),
// a command word read ahead included. Never blocks; a failed query and the
// end of input count as pending input.
unsigned InputPending(const CommandInput& input);

void KeepCommandWord(CommandInput& input, const char word[CommandBufferSize]);
inline bool CommandWordKept(const CommandInput& input) { return input.wordKept; }
// The kept word, or else the next word of the input; false at the end of
// input.
bool NextCommandWord(CommandInput& input, char out[CommandBufferSize]);

// What waits on the command input, looked at without blocking.
enum class WaitingInput { Nothing, Word, End };
// Consumes the white space that waits on source and tells what follows it:
// nothing yet, the first character of a word (put back), or the end of
// input. Standard input's count of unread bytes says whether a read would
// block.
WaitingInput SkipWaitingWhiteSpace(WordSource& source);

// Skips white space and reads one word into out (at most MaxWordLength
// characters, then NUL); the white space after the word stays unread. The
// characters of a longer word beyond the limit are consumed and dropped, so
// they never come back as a word of their own. False at the end of input.
bool ReadWord(WordSource& source, char out[CommandBufferSize]);

// Reads a decimal number as "%d" does: white space, an optional sign, digits.
// False when no digit follows (the first character that is no digit stays
// unread). Values beyond the int range saturate.
bool ReadNumber(WordSource& source, int& value);

// Reads the rest of the line as fgets with limit SetboardReadLimit does: up to
// and including the line end, at most SetboardReadLimit - 1 characters. When
// the line is longer, its remainder (through the line end) is consumed and
// dropped. Returns the number of characters stored; 0 only at end of input.
int ReadLineRest(WordSource& source, char out[CommandBufferSize]);

}  // namespace kavrin
