// Helpers shared by the fuzz bodies: one-time engine set-up, the invariant
// check that aborts, and scratch files for readers that open files by name.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "board/board.h"

// Marks a helper of a fuzz body that only prepares an input: its loops
// over whole book indexes would cost the fuzzer more than the code under
// test and tell it nothing.
#if defined(__clang__)
#define KAVRIN_NOT_FUZZED __attribute__((no_sanitize("coverage")))
#else
#define KAVRIN_NOT_FUZZED
#endif

namespace kavrin::fuzz {

// Builds the attack tables and sends the log to nowhere, once per process.
void PrepareEngine();

// Prints what broke and aborts, so that libFuzzer and the replay test both
// see a crash with the message next to it.
[[noreturn]] void InvariantFailed(const char* what, const char* detail);

// Aborts through InvariantFailed when condition is false.
inline void Require(bool condition, const char* what, const char* detail = "") {
    if (!condition) InvariantFailed(what, detail);
}

// The input as a NUL-terminated string (it ends at the first NUL byte, as the
// readers see it).
std::string AsText(const uint8_t* data, size_t size);

// Everything a position read sets; a failed read must leave it as it was.
struct PositionState {
    Board board;
    GameSnapshot snapshot;
    int side;
    uint16_t ply;
    // The move field of the entry on top is written by every trial make and
    // means nothing until a move is played, so it is not compared.
    HistoryEntry firstEntry;
    int historyIndex;
    bool playable;
    uint8_t readEp;  // the en-passant square of the text last read

    static PositionState Capture();
    bool operator==(const PositionState& other) const;
};

// Sets up the position of the text as ReadFen does (the start position when
// the text is refused or not playable). Reading resets the search tables,
// which costs more than most parses under test, so a text seen before is
// set up again from its copy.
void SetUpPosition(const std::string& fen);

// Aborts when the Board fails the position check.
void RequirePositionSound(const Position& pos, const char* after);

// A private scratch folder of this process, created on first use.
const std::string& ScratchDirectory();

// Writes the bytes to a file of that name in the scratch folder and returns
// its path.
std::string WriteScratchFile(const std::string& name, const uint8_t* data, size_t size);

// Removes every file in the scratch folder.
void ClearScratchDirectory();

// Points a standard descriptor at another file for the length of one run
// (the replacement descriptor is taken over and closed).
class Redirect {
  public:
    Redirect(int descriptor, int replacement);
    ~Redirect();
    Redirect(const Redirect&) = delete;
    Redirect& operator=(const Redirect&) = delete;

  private:
    int descriptor_;
    int saved_;
};

}  // namespace kavrin::fuzz
