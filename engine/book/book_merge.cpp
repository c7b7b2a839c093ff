#include "book/book_merge.h"

#include <algorithm>
#include <cstdio>

#include "book/polyglot.h"
#include "book/polyglot_writer.h"

namespace kavrin {

struct BookAssembler::Entry {
    uint64_t key;  // Polyglot key of the position the move is played in
    uint32_t weight;
    uint16_t move;
    bool scored;
};

namespace {

constexpr char EntryRunMagic[8] = {'K', 'V', 'R', 'U', 'N', 'E', 'N', '1'};
constexpr uint8_t EntryScored = 1;
// Fewest kavrin.bin entries held in memory before they go to a run.
constexpr size_t LeastEntryCapacity = 4096;
// Read buffer of each run merged, within these bounds.
constexpr size_t SmallestReadBuffer = 16 << 10;
constexpr size_t LargestReadBuffer = 1 << 20;

using Entry = BookAssembler::Entry;

bool EntryBefore(const Entry& a, const Entry& b) { return a.key != b.key ? a.key < b.key : a.move < b.move; }
bool SameEntry(const Entry& a, const Entry& b) { return a.key == b.key && a.move == b.move; }

class EntryRunWriter {
  public:
    bool Open(const std::string& name) { return file_.Open(name, EntryRunMagic, {}); }
    void Write(const Entry& e) {
        file_.Byte(e.scored ? EntryScored : 0);
        file_.Number(e.key - lastKey_);
        lastKey_ = e.key;
        file_.Le(e.move);
        file_.Number(e.weight);
        file_.RecordDone();
    }
    bool Finish() { return file_.Finish(); }
    const std::string& Message() const { return file_.Message(); }

  private:
    RunFileWriter file_;
    uint64_t lastKey_ = 0;
};

class EntryRunReader {
  public:
    bool Open(const std::string& name, size_t bufferBytes) { return file_.Open(name, EntryRunMagic, 0, bufferBytes); }
    bool Next(Entry& e) {
        uint8_t tag;
        if (ended_ || !file_.Byte(tag)) return false;
        if (tag == RunEndMark) {
            ended_ = true;
            file_.CheckEnd();
            return false;
        }
        const Entry previous = e;
        uint64_t delta, weight;
        if (tag > EntryScored) return file_.Damaged("an entry has unknown flags");
        if (!file_.Number(delta) || !file_.Le(e.move) || !file_.Number(weight)) return false;
        if (weight > UINT32_MAX) return file_.Damaged("a weight is too large");
        e.key = lastKey_ + delta;
        e.weight = static_cast<uint32_t>(weight);
        e.scored = tag == EntryScored;
        if (started_ && !EntryBefore(previous, e)) return file_.Damaged("its entries are out of order");
        started_ = true;
        lastKey_ = e.key;
        file_.RecordDone();
        return true;
    }
    bool Failed() const { return file_.Failed(); }
    const std::string& Message() const { return file_.Message(); }
    uint64_t BytesRead() const { return file_.BytesRead(); }
    uint64_t Size() const { return file_.Size(); }

  private:
    RunFileReader file_;
    uint64_t lastKey_ = 0;
    bool started_ = false;
    bool ended_ = false;
};

// The k-way merge of sorted streams: pops the least record of all, merges
// every equal one into it, and hands it on. Source: Next(Record&), Failed().
template <typename Record, typename Source, typename Before, typename Same, typename Combine, typename Out>
bool MergeSorted(const std::vector<Source*>& sources, Before before, Same same, Combine combine, Out out) {
    std::vector<Record> current(sources.size());
    std::vector<size_t> heap;
    auto later = [&](size_t a, size_t b) { return before(current[b], current[a]); };
    for (size_t i = 0; i < sources.size(); i++) {
        if (sources[i]->Next(current[i])) heap.push_back(i);
        if (sources[i]->Failed()) return false;
    }
    std::make_heap(heap.begin(), heap.end(), later);
    Record merged;
    while (!heap.empty()) {
        std::pop_heap(heap.begin(), heap.end(), later);
        size_t i = heap.back();
        heap.pop_back();
        merged = std::move(current[i]);
        while (true) {
            if (sources[i]->Next(current[i])) {
                heap.push_back(i);
                std::push_heap(heap.begin(), heap.end(), later);
            } else if (sources[i]->Failed()) {
                return false;
            }
            if (heap.empty() || !same(current[heap.front()], merged)) break;
            std::pop_heap(heap.begin(), heap.end(), later);
            i = heap.back();
            heap.pop_back();
            if (!combine(merged, current[i])) return false;
        }
        if (!out(merged)) return false;
    }
    return true;
}

bool SamePosition(const RunPosition& a, const RunPosition& b) { return a.key == b.key && a.side == b.side; }

size_t ReadBufferFor(uint64_t memoryBytes, size_t runs) {
    return std::clamp<size_t>(memoryBytes / 4 / std::max<size_t>(runs, 1), SmallestReadBuffer, LargestReadBuffer);
}

// Sorted by position and move, one entry a pair: scored when any of its
// games scored. Every entry of a pair has the same weight: the pair decides
// the position it leads to.
void SortAndMergeEntries(std::vector<Entry>& entries) {
    std::sort(entries.begin(), entries.end(), EntryBefore);
    size_t kept = 0;
    for (size_t i = 0; i < entries.size();) {
        Entry pair = entries[i];
        for (i++; i < entries.size() && SameEntry(entries[i], pair); i++)
            pair.scored = pair.scored || entries[i].scored;
        entries[kept++] = pair;
    }
    entries.resize(kept);
}

}  // namespace

bool MergePositionSources(const std::vector<PositionSource*>& sources,
                          const std::function<bool(const RunPosition&)>& out, std::string& message, bool& collision) {
    bool sameKeyApart = false;
    const bool merged = MergeSorted<RunPosition>(
        sources, PositionBefore, SamePosition,
        [&](RunPosition& a, const RunPosition& b) { return (sameKeyApart = !MergePositions(a, b)) == false; }, out);
    if (merged) return true;
    for (PositionSource* s : sources) {
        if (s->Failed()) {
            message = s->Message();
            collision = s->KeyCollision();
            return false;
        }
    }
    if (sameKeyApart) {
        message = "two different positions share a key";
        collision = true;
    }
    return false;
}

bool ReduceRuns(std::vector<std::string>& runs, std::vector<bool>& owned, size_t fanIn, size_t bufferBytes,
                RunFolder& folder, const RunSelection& selection, std::string& message, bool& collision) {
    fanIn = std::max<size_t>(fanIn, 2);
    while (runs.size() > fanIn) {
        std::vector<std::unique_ptr<PositionRunReader>> readers;
        std::vector<PositionSource*> sources;
        for (size_t i = 0; i < fanIn; i++) {
            readers.push_back(std::make_unique<PositionRunReader>());
            if (!readers.back()->Open(runs[i], bufferBytes)) {
                message = readers.back()->Message();
                return false;
            }
            sources.push_back(readers.back().get());
        }
        PositionRunWriter writer;
        const std::string name = folder.NewFile("positions");
        if (!writer.Open(name, selection)) {
            message = writer.Message();
            return false;
        }
        if (!MergePositionSources(
                sources,
                [&](const RunPosition& p) {
                    writer.Write(p);
                    return true;
                },
                message, collision))
            return false;
        if (!writer.Finish()) {
            message = writer.Message();
            return false;
        }
        readers.clear();
        for (size_t i = 0; i < fanIn; i++) {
            if (owned[i]) folder.Drop(runs[i]);
        }
        runs.erase(runs.begin(), runs.begin() + static_cast<std::ptrdiff_t>(fanIn));
        owned.erase(owned.begin(), owned.begin() + static_cast<std::ptrdiff_t>(fanIn));
        runs.push_back(name);
        owned.push_back(true);
    }
    return true;
}

BookAssembler::BookAssembler(const std::string& folder, uint64_t memoryBytes, uint32_t minGames, RunFolder& runFolder)
    : prefix_(folder.empty() || folder.back() == '/' ? folder : folder + "/"),
      memoryBytes_(memoryBytes),
      minGames_(minGames),
      runFolder_(runFolder),
      entryCapacity_(std::max<size_t>(memoryBytes / 2 / sizeof(Entry), LeastEntryCapacity)) {}

BookAssembler::~BookAssembler() = default;

bool BookAssembler::Open() {
    books_ = std::make_unique<BookSet>();
    for (int side = 0; side < 2; side++) {
        writers_[side] = std::make_unique<BookFileWriter>(books_->book[side], messages_[side]);
        if (!writers_[side]->Open((prefix_ + BookBaseNames[side]).c_str(), BookFileWriter::RecordFileMode::Empty)) {
            report.message = messages_[side];
            return false;
        }
    }
    return true;
}

bool BookAssembler::Add(const RunPosition& p) {
    // A position seen only after the last move looked at is no record; its
    // moves count only through the records of other games.
    if (!p.counted) return true;
    const int side = p.side;
    report.positions[side]++;
    report.sums[side][0] += p.whiteWins;
    report.sums[side][1] += p.blackWins;
    report.sums[side][2] += p.draws;
    if (!KeepPosition(side, p.whiteWins, p.blackWins, p.draws, p.ply, minGames_)) return true;
    if (!writers_[side]->Add(p.key)) {
        writers_[side]->Finish();  // says why
        report.message = messages_[side];
        return false;
    }
    report.bookRecords[side]++;
    const uint32_t weight = MoverHalfPoints(1 - side, p.whiteWins, p.blackWins, p.draws);
    for (const RunEdge& e : p.edges) {
        entries_.push_back({e.parentKey, weight, e.move, e.scored});
        if (e.scored) largest_ = std::max(largest_, weight);
        if (entries_.size() >= entryCapacity_ && !SpillEntries()) return false;
    }
    return true;
}

bool BookAssembler::SpillEntries() {
    SortAndMergeEntries(entries_);
    EntryRunWriter writer;
    const std::string name = runFolder_.NewFile("entries");
    if (!writer.Open(name)) {
        report.message = writer.Message();
        return false;
    }
    for (const Entry& e : entries_) writer.Write(e);
    entries_.clear();
    if (!writer.Finish()) {
        report.message = writer.Message();
        return false;
    }
    entryRuns_.push_back(name);
    return true;
}

bool BookAssembler::Finish(const MergeProgress& progress) {
    for (int side = 0; side < 2; side++) {
        if (!writers_[side]->Finish()) {
            report.message = messages_[side];
            return false;
        }
    }
    return WriteKavrinBin(progress);
}

bool BookAssembler::WriteKavrinBin(const MergeProgress& progress) {
    const std::string name = prefix_ + PolyglotBookName;
    PolyglotWriter writer;
    if (!writer.Create(name)) {
        report.message = writer.Message();
        return false;
    }
    auto put = [&](const Entry& e) {
        if (!e.scored) return true;
        report.polyglotEntries++;
        return writer.Add(PolyglotEntry{e.key, e.move, ScaledWeight(e.weight, largest_), 0});
    };
    bool done = true;
    if (entryRuns_.empty()) {
        // 1. Every entry in memory.
        SortAndMergeEntries(entries_);
        for (const Entry& e : entries_) put(e);
    } else if (!entries_.empty() && !SpillEntries()) {
        done = false;
    } else {
        // 2. The entry runs merged, a run at a time for each reader.
        std::vector<std::unique_ptr<EntryRunReader>> readers;
        std::vector<EntryRunReader*> sources;
        uint64_t total = 0;
        const size_t buffer = ReadBufferFor(memoryBytes_ * 2, entryRuns_.size());
        for (const std::string& run : entryRuns_) {
            readers.push_back(std::make_unique<EntryRunReader>());
            if (!readers.back()->Open(run, buffer)) {
                report.message = readers.back()->Message();
                done = false;
                break;
            }
            sources.push_back(readers.back().get());
            total += readers.back()->Size();
        }
        uint64_t merged = 0;
        done = done && MergeSorted<Entry>(
                           sources, EntryBefore, SameEntry,
                           [](Entry& a, const Entry& b) {
                               a.scored = a.scored || b.scored;
                               return true;
                           },
                           [&](const Entry& e) {
                               if (progress && (++merged & 0xFFFFF) == 0) {
                                   uint64_t read = 0;
                                   for (EntryRunReader* r : sources) read += r->BytesRead();
                                   progress(read, total);
                               }
                               return put(e);
                           });
        for (EntryRunReader* r : sources) {
            if (r->Failed() && report.message.empty()) report.message = r->Message();
        }
        if (!done && report.message.empty()) report.message = "cannot write " + name;
    }
    std::vector<Entry>().swap(entries_);
    if (!writer.Finish()) {
        if (done) report.message = writer.Message();
        return false;
    }
    return done;
}

}  // namespace kavrin
