// The positions of a game collection as sorted runs: every sample of one key
// and side to move merged into one record with its games counted and the
// distinct moves that led to it, in the order of key, then side (black to
// move first). Runs merge into runs of the same form in any grouping and any
// order with the same result, which is what lets the book builder spill its
// samples to files and shards be made on different machines.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "book/bookmaker.h"
#include "book/run_file.h"

namespace kavrin {

// A move into a position: the Polyglot key of the position it was played in,
// its Polyglot word, and whether the side that played it scored in at least
// one of its games.
struct RunEdge {
    uint64_t parentKey;
    uint16_t move;
    bool scored;
};

struct RunPosition {
    uint64_t key = 0;
    int side = 0;          // 1 white to move
    bool counted = false;  // a database record (seen before a move looked at)
    uint32_t fingerprint = 0;
    uint32_t whiteWins = 0, blackWins = 0, draws = 0;
    int ply = 0;                 // the earliest, when counted
    std::vector<RunEdge> edges;  // by parent key, then move; no pair twice
};

inline bool PositionBefore(const RunPosition& a, const RunPosition& b) {
    return a.key != b.key ? a.key < b.key : a.side < b.side;
}

// Merges b (the same key and side) into a; false when the two are different
// positions sharing the key.
bool MergePositions(RunPosition& a, const RunPosition& b);

// Sorts samples into the order the runs are read in, on threads threads.
void SortSamples(std::vector<PositionSample>& samples, int threads);

// Where sorted positions come from: the sorted samples in memory, or a run.
class PositionSource {
  public:
    virtual ~PositionSource() = default;
    // The next position; false at the end or on a failure (Message() set).
    virtual bool Next(RunPosition& position) = 0;
    const std::string& Message() const { return message_; }
    bool Failed() const { return !message_.empty(); }
    // The failure was two different positions sharing a key.
    bool KeyCollision() const { return collision_; }

  protected:
    std::string message_;
    bool collision_ = false;
};

// The positions of sorted samples (SortSamples).
class SampleSource : public PositionSource {
  public:
    explicit SampleSource(const std::vector<PositionSample>& samples) : samples_(samples) {}
    bool Next(RunPosition& position) override;

  private:
    const std::vector<PositionSample>& samples_;
    size_t at_ = 0;
};

// What a run's header records of the samples in it: the plies looked at and
// the players' least rating; runs merge only with runs made the same way.
struct RunSelection {
    uint32_t maxPly = 0;
    uint32_t minElo = 0;
};

class PositionRunWriter {
  public:
    bool Open(const std::string& name, const RunSelection& selection);
    void Write(const RunPosition& position);
    bool Finish() { return file_.Finish(); }
    void Discard() { file_.Discard(); }
    const std::string& Message() const { return file_.Message(); }

  private:
    RunFileWriter file_;
    uint64_t lastKey_ = 0;
};

class PositionRunReader : public PositionSource {
  public:
    bool Open(const std::string& name, size_t bufferBytes);
    bool Next(RunPosition& position) override;
    RunSelection Selection() const;
    uint64_t BytesRead() const { return file_.BytesRead(); }
    uint64_t Size() const { return file_.Size(); }

  private:
    bool Fail();
    RunFileReader file_;
    bool started_ = false;
    uint64_t lastKey_ = 0;
    int lastSide_ = 0;
    bool ended_ = false;
};

}  // namespace kavrin
