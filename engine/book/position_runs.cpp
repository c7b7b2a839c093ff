#include "book/position_runs.h"

#include <algorithm>
#include <atomic>
#include <thread>

namespace kavrin {

namespace {

constexpr char PositionRunMagic[8] = {'K', 'V', 'R', 'U', 'N', 'P', 'O', '1'};
constexpr size_t PositionRunHeaderWords = 2;
// Flags byte of a record: bit 0 white to move, bit 1 counted.
constexpr uint8_t RecordWhiteToMove = 1;
constexpr uint8_t RecordCounted = 2;
// A run's edge word: the Polyglot move in bits 0-14, bit 15 scored.
constexpr uint16_t EdgeScored = 0x8000;
constexpr uint16_t EdgeMoveMask = 0x7FFF;
// More moves into one position than a run may claim (there are fewer than
// this many positions a move away from any position times games' plies).
constexpr uint64_t MostEdges = uint64_t{1} << 24;

int SampleSide(const PositionSample& s) { return s.flags & SampleWhiteToMove; }
bool HasParent(const PositionSample& s) { return (s.flags & SampleHasParent) != 0; }

bool SampleOrder(const PositionSample& a, const PositionSample& b) {
    if (a.key != b.key) return a.key < b.key;
    if (SampleSide(a) != SampleSide(b)) return SampleSide(a) < SampleSide(b);
    if (HasParent(a) != HasParent(b)) return HasParent(b);
    if (a.parentKey != b.parentKey) return a.parentKey < b.parentKey;
    return a.parentMove < b.parentMove;
}

bool EdgeBefore(const RunEdge& a, const RunEdge& b) {
    return a.parentKey != b.parentKey ? a.parentKey < b.parentKey : a.move < b.move;
}

void CountResult(RunPosition& p, uint8_t flags) {
    switch (flags & SampleResultMask) {
        case SampleWhiteWon:
            p.whiteWins++;
            break;
        case SampleBlackWon:
            p.blackWins++;
            break;
        default:
            p.draws++;
            break;
    }
}

// Counts that cannot overflow the records' 32 bits.
bool AddCount(uint32_t& into, uint32_t more) {
    if (more > UINT32_MAX - into) return false;
    into += more;
    return true;
}

}  // namespace

bool MergePositions(RunPosition& a, const RunPosition& b) {
    if (b.counted) {
        if (!a.counted) {
            a.counted = true;
            a.fingerprint = b.fingerprint;
            a.ply = b.ply;
        } else if (a.fingerprint != b.fingerprint) {
            return false;
        }
        a.ply = std::min(a.ply, b.ply);
        // A count past 32 bits saturates: no collection of games comes near.
        if (!AddCount(a.whiteWins, b.whiteWins)) a.whiteWins = UINT32_MAX;
        if (!AddCount(a.blackWins, b.blackWins)) a.blackWins = UINT32_MAX;
        if (!AddCount(a.draws, b.draws)) a.draws = UINT32_MAX;
    }
    if (b.edges.empty()) return true;
    std::vector<RunEdge> merged;
    merged.reserve(a.edges.size() + b.edges.size());
    size_t i = 0, j = 0;
    while (i < a.edges.size() || j < b.edges.size()) {
        if (j == b.edges.size() || (i < a.edges.size() && EdgeBefore(a.edges[i], b.edges[j]))) {
            merged.push_back(a.edges[i++]);
        } else if (i == a.edges.size() || EdgeBefore(b.edges[j], a.edges[i])) {
            merged.push_back(b.edges[j++]);
        } else {
            merged.push_back(a.edges[i++]);
            if (b.edges[j++].scored) merged.back().scored = true;
        }
    }
    a.edges.swap(merged);
    return true;
}

void SortSamples(std::vector<PositionSample>& samples, int threads) {
    // 1. In place by the key's top byte (American flag sort): 256 buckets
    // that sort on their own, without a second array.
    constexpr int Buckets = 256;
    size_t begin[Buckets + 1] = {};
    for (const PositionSample& s : samples) begin[(s.key >> 56) + 1]++;
    for (int b = 0; b < Buckets; b++) begin[b + 1] += begin[b];
    size_t next[Buckets];
    std::copy(begin, begin + Buckets, next);
    for (int b = 0; b < Buckets; b++) {
        while (next[b] < begin[b + 1]) {
            PositionSample& s = samples[next[b]];
            const int home = static_cast<int>(s.key >> 56);
            if (home == b) {
                next[b]++;
            } else {
                std::swap(s, samples[next[home]++]);
            }
        }
    }
    // 2. Each bucket sorted, the buckets shared out among the threads.
    std::atomic<int> nextBucket{0};
    auto sortBuckets = [&] {
        for (int b; (b = nextBucket.fetch_add(1)) < Buckets;)
            std::sort(samples.begin() + static_cast<std::ptrdiff_t>(begin[b]),
                      samples.begin() + static_cast<std::ptrdiff_t>(begin[b + 1]), SampleOrder);
    };
    std::vector<std::thread> helpers;
    for (int t = 1; t < threads; t++) helpers.emplace_back(sortBuckets);
    sortBuckets();
    for (std::thread& t : helpers) t.join();
}

bool SampleSource::Next(RunPosition& p) {
    if (at_ >= samples_.size() || Failed()) return false;
    const PositionSample& first = samples_[at_];
    p.key = first.key;
    p.side = SampleSide(first);
    p.counted = false;
    p.fingerprint = 0;
    p.whiteWins = p.blackWins = p.draws = 0;
    p.ply = 0;
    p.edges.clear();
    const int mover = 1 - p.side;
    for (; at_ < samples_.size() && samples_[at_].key == p.key && SampleSide(samples_[at_]) == p.side; at_++) {
        const PositionSample& s = samples_[at_];
        if (s.flags & SampleCounted) {
            if (!p.counted) {
                p.counted = true;
                p.fingerprint = s.fingerprint;
                p.ply = s.ply;
            } else if (s.fingerprint != p.fingerprint) {
                message_ = "two different positions share a key";
                collision_ = true;
                return false;
            }
            p.ply = std::min<int>(p.ply, s.ply);
            CountResult(p, s.flags);
        }
        if (!HasParent(s)) continue;
        const bool scored = MoverScored(mover, s.flags);
        if (!p.edges.empty() && p.edges.back().parentKey == s.parentKey && p.edges.back().move == s.parentMove)
            p.edges.back().scored = p.edges.back().scored || scored;
        else
            p.edges.push_back({s.parentKey, s.parentMove, scored});
    }
    return true;
}

bool PositionRunWriter::Open(const std::string& name, const RunSelection& selection) {
    return file_.Open(name, PositionRunMagic, {selection.maxPly, selection.minElo});
}

void PositionRunWriter::Write(const RunPosition& p) {
    file_.Byte(static_cast<uint8_t>((p.side == White ? RecordWhiteToMove : 0) | (p.counted ? RecordCounted : 0)));
    file_.Number(p.key - lastKey_);
    lastKey_ = p.key;
    if (p.counted) {
        file_.Number(p.whiteWins);
        file_.Number(p.blackWins);
        file_.Number(p.draws);
        file_.Byte(static_cast<uint8_t>(p.ply));
        file_.Le(p.fingerprint);
    }
    file_.Number(p.edges.size());
    for (const RunEdge& e : p.edges) {
        file_.Le(e.parentKey);
        file_.Le(static_cast<uint16_t>((e.move & EdgeMoveMask) | (e.scored ? EdgeScored : 0)));
    }
    file_.RecordDone();
}

bool PositionRunReader::Open(const std::string& name, size_t bufferBytes) {
    if (!file_.Open(name, PositionRunMagic, PositionRunHeaderWords, bufferBytes)) return Fail();
    return true;
}

RunSelection PositionRunReader::Selection() const {
    const std::vector<uint32_t>& h = file_.Header();
    return h.size() == PositionRunHeaderWords ? RunSelection{h[0], h[1]} : RunSelection{};
}

bool PositionRunReader::Fail() {
    message_ = file_.Message();
    return false;
}

bool PositionRunReader::Next(RunPosition& p) {
    if (ended_ || Failed()) return false;
    uint8_t flags;
    if (!file_.Byte(flags)) return Fail();
    if (flags == RunEndMark) {
        ended_ = true;
        if (!file_.CheckEnd()) return Fail();
        return false;
    }
    if (flags > (RecordWhiteToMove | RecordCounted)) return file_.Damaged("a record has unknown flags"), Fail();
    uint64_t delta;
    if (!file_.Number(delta)) return Fail();
    p.key = lastKey_ + delta;
    p.side = (flags & RecordWhiteToMove) ? White : Black;
    if (started_ && (p.key < lastKey_ || (p.key == lastKey_ && p.side <= lastSide_)))
        return file_.Damaged("its positions are out of order"), Fail();
    started_ = true;
    lastKey_ = p.key;
    lastSide_ = p.side;
    p.counted = (flags & RecordCounted) != 0;
    p.whiteWins = p.blackWins = p.draws = 0;
    p.fingerprint = 0;
    p.ply = 0;
    if (p.counted) {
        uint64_t counts[3];
        uint8_t ply;
        for (uint64_t& c : counts) {
            if (!file_.Number(c)) return Fail();
            if (c > UINT32_MAX) return file_.Damaged("a count is too large"), Fail();
        }
        if (!file_.Byte(ply) || !file_.Le(p.fingerprint)) return Fail();
        if (ply == 0) return file_.Damaged("a position has no ply"), Fail();
        p.whiteWins = static_cast<uint32_t>(counts[0]);
        p.blackWins = static_cast<uint32_t>(counts[1]);
        p.draws = static_cast<uint32_t>(counts[2]);
        p.ply = ply;
    }
    uint64_t edges;
    if (!file_.Number(edges)) return Fail();
    if (edges > MostEdges) return file_.Damaged("a position claims too many moves"), Fail();
    p.edges.clear();
    for (uint64_t i = 0; i < edges; i++) {
        RunEdge e;
        uint16_t word;
        if (!file_.Le(e.parentKey) || !file_.Le(word)) return Fail();
        e.move = word & EdgeMoveMask;
        e.scored = (word & EdgeScored) != 0;
        if (!p.edges.empty() && !EdgeBefore(p.edges.back(), e))
            return file_.Damaged("its moves are out of order"), Fail();
        p.edges.push_back(e);
    }
    file_.RecordDone();
    return true;
}

}  // namespace kavrin
