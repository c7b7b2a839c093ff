// Helpers shared by the fuzz bodies: one-time engine set-up, the invariant
// check that aborts, and scratch files for readers that open files by name.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

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

// A private scratch folder of this process, created on first use.
const std::string& ScratchDirectory();

// Writes the bytes to a file of that name in the scratch folder and returns
// its path.
std::string WriteScratchFile(const std::string& name, const uint8_t* data, size_t size);

// Removes every file in the scratch folder.
void ClearScratchDirectory();

}  // namespace kavrin::fuzz
