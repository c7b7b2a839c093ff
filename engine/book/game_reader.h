// Every game of a collection read with the engine's PGN reader and turned
// into position samples, on one thread or several: the text is cut into
// pieces of whole games (book/game_chunks.h) that threads read at the same
// time, each game on its own. The reader's report (the warnings of skipped
// games, the summary) comes out in the order of the games whatever the
// number of threads, and so do the samples as a whole (not their order).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "book/bookmaker.h"
#include "book/game_input.h"

namespace kavrin {

struct GameReadSettings {
    int threads = 1;
    uint32_t minElo = 0;  // both players' ratings at least this; 0: every game
    int maxPly = 64;      // the positions before moves 1 .. maxPly
};

struct GameReadCounts {
    uint64_t converted = 0;  // games read and sampled
    uint64_t skipped = 0;    // games the reader could not read
    uint64_t leftOut = 0;    // games below the least rating
    uint64_t positions = 0;  // samples made
};

// Takes a batch of samples (it may keep them by swapping); called on the
// reading threads, one at a time. False stops the reading.
using SampleSink = std::function<bool(std::vector<PositionSample>& samples)>;
// Called on the first thread now and then: what was read, and how far into
// the file (bytes read and its size, 0 when unknown).
using ReadProgress = std::function<void(const GameReadCounts& counts, uint64_t fileBytes, uint64_t fileSize)>;

// Reads the collection. Standard output carries the reader's report as the
// workbench converters print it; false on a failure, with message: the
// input (damaged, cut short), a game file error (the report says which), or
// a sink that said stop (its own message is kept, message left empty).
bool ReadCollection(GameInput& input, const std::string& name, const GameReadSettings& settings, const SampleSink& sink,
                    const ReadProgress& progress, GameReadCounts& counts, std::string& message);

// Whether the tag section at the start of text names both players' ratings
// (WhiteElo and BlackElo), each at least minElo.
bool RatedAtLeast(const char* text, size_t size, uint32_t minElo);

}  // namespace kavrin
