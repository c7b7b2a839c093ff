#include "book/book_builder.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "book/book.h"
#include "book/book_merge.h"
#include "book/position_runs.h"
#include "book/run_folder.h"

namespace kavrin {

std::atomic<bool> bookBuildInterrupted{false};

namespace {

constexpr const char* InterruptedMessage = "interrupted";
constexpr const char* RunSuffix = ".run";
// Memory a reading thread holds besides the samples: its pieces of text in
// the queue and its batch of samples.
constexpr uint64_t ReadingBytesPerThread = uint64_t{5} << 20;
// Read buffer of each run merged, at least (see book_merge.cpp).
constexpr uint64_t SmallestRunBuffer = 16 << 10;

bool Interrupted() { return bookBuildInterrupted.load(std::memory_order_relaxed); }

// The samples gathered up to a number, then sorted and written as a run.
class SampleGatherer {
  public:
    SampleGatherer(uint64_t capacity, int threads, RunFolder& folder, const RunSelection& selection,
                   BuildProgress& progress)
        : capacity_(std::max<uint64_t>(capacity, 1)),
          threads_(threads),
          folder_(folder),
          selection_(selection),
          progress_(progress) {
        samples_.reserve(static_cast<size_t>(capacity_));
    }

    bool Add(std::vector<PositionSample>& batch) {
        if (Interrupted()) return Fail(InterruptedMessage);
        // The batch in as many parts as it takes to fill the samples up to
        // their number, each time written as a run.
        for (size_t at = 0; at < batch.size();) {
            if (samples_.size() == capacity_ && !Spill()) return false;
            const size_t take = std::min<size_t>(batch.size() - at, capacity_ - samples_.size());
            samples_.insert(samples_.end(), batch.begin() + static_cast<std::ptrdiff_t>(at),
                            batch.begin() + static_cast<std::ptrdiff_t>(at + take));
            at += take;
        }
        return true;
    }

    bool Spill() {
        SortSamples(samples_, threads_);
        SampleSource source(samples_);
        PositionRunWriter writer;
        const std::string name = folder_.NewFile("positions");
        if (!writer.Open(name, selection_)) return Fail(writer.Message());
        RunPosition p;
        while (source.Next(p)) writer.Write(p);
        if (source.Failed()) {
            collision_ = source.KeyCollision();
            return Fail(source.Message());
        }
        if (!writer.Finish()) return Fail(writer.Message());
        samples_.clear();
        runs_.push_back(name);
        progress_.RunWritten();
        return true;
    }

    std::vector<PositionSample>& Samples() { return samples_; }
    const std::vector<std::string>& Runs() const { return runs_; }
    const std::string& Message() const { return message_; }
    bool KeyCollision() const { return collision_; }

  private:
    bool Fail(const std::string& message) {
        if (message_.empty()) message_ = message;
        return false;
    }

    uint64_t capacity_;
    int threads_;
    RunFolder& folder_;
    RunSelection selection_;
    BuildProgress& progress_;
    std::vector<PositionSample> samples_;
    std::vector<std::string> runs_;
    std::string message_;
    bool collision_ = false;
};

BuildResult Failure(BuildResult& r, const std::string& message, bool collision = false) {
    r.outcome = collision ? BuildOutcome::KeyCollision : BuildOutcome::Failed;
    if (r.message.empty()) r.message = message;
    return r;
}

bool MakeFolder(const std::string& folder, std::string& message) {
    if (mkdir(folder.c_str(), 0777) == 0 || errno == EEXIST) {
        struct stat facts;
        if (stat(folder.c_str(), &facts) == 0 && S_ISDIR(facts.st_mode)) return true;
        message = "'" + folder + "' is not a folder";
        return false;
    }
    message = "cannot make the folder '" + folder + "': " + std::strerror(errno);
    return false;
}

// The files of folder whose names end in suffix, sorted by name.
std::vector<std::string> FilesEndingIn(const std::string& folder, const std::string& suffix, bool& readable) {
    std::vector<std::string> names;
    DIR* dir = opendir(folder.c_str());
    readable = dir != nullptr;
    if (dir == nullptr) return names;
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.size() > suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
            names.push_back(folder + "/" + name);
    }
    closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

std::string BaseName(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Moves the named files of the staging folder into folder.
bool Publish(const std::string& stage, const std::vector<std::string>& names, const std::string& folder,
             std::string& message) {
    for (const std::string& name : names) {
        const std::string from = stage + "/" + name;
        const std::string to = folder + "/" + name;
        if (std::rename(from.c_str(), to.c_str()) != 0) {
            message = "cannot move " + name + " into '" + folder + "': " + std::strerror(errno);
            return false;
        }
    }
    return true;
}

std::vector<std::string> BookFileNames() {
    std::vector<std::string> names;
    for (const char* base : BookBaseNames) {
        names.push_back(std::string(base) + ".mbx");
        names.push_back(std::string(base) + ".mbk");
    }
    names.push_back(PolyglotBookName);
    return names;
}

RunSelection SelectionOf(const BookBuildSettings& s) {
    return {static_cast<uint32_t>(s.reading.maxPly), s.reading.minElo};
}

uint64_t SampleCapacity(const BookBuildSettings& s) {
    const uint64_t reading = ReadingBytesPerThread * static_cast<uint64_t>(std::max(s.reading.threads, 1) + 1);
    const uint64_t forSamples = std::max(s.memoryBytes > reading ? s.memoryBytes - reading : 0, s.memoryBytes / 4);
    return forSamples / sizeof(PositionSample);
}

// Reads the collection into the gatherer (or, with inMemory, into samples).
bool Gather(const std::string& games, const BookBuildSettings& settings, BuildProgress& progress,
            const SampleSink& sink, BuildResult& r) {
    GameInput input;
    if (!input.Open(games)) return Failure(r, input.Message()), false;
    std::string message;
    const bool read = ReadCollection(
        input, games == "-" ? "standard input" : games, settings.reading, sink,
        [&](const GameReadCounts& counts, uint64_t bytes, uint64_t size) { progress.Reading(counts, bytes, size); },
        r.counts, message);
    progress.Done();
    if (!read) {
        if (!message.empty()) Failure(r, message);
        return false;
    }
    if (r.counts.positions == 0) return Failure(r, "the games gave no positions"), false;
    return true;
}

// The sorted positions of the sources into the books in stage.
bool Assemble(const std::vector<PositionSource*>& sources, const std::string& stage, const BookBuildSettings& settings,
              RunFolder& runFolder, BuildProgress& progress, const std::function<void()>& merged, BuildResult& r) {
    BookAssembler books(stage, settings.memoryBytes, settings.minGames, runFolder);
    if (!books.Open()) return Failure(r, books.report.message), false;
    std::string message;
    bool collision = false;
    uint64_t count = 0;
    const bool done = MergePositionSources(
        sources,
        [&](const RunPosition& p) {
            if ((++count & 0xFFFF) == 0) {
                if (Interrupted()) return (message = InterruptedMessage), false;
                merged();
            }
            return books.Add(p);
        },
        message, collision);
    if (!done) return Failure(r, message.empty() ? books.report.message : message, collision), false;
    if (!books.Finish([&](uint64_t d, uint64_t t) { progress.Merging(d, t); }))
        return Failure(r, books.report.message), false;
    r.report = books.report;
    return true;
}

// The runs into the books in stage, merged a few at a time first when there
// are more than the memory has room to read at once.
bool AssembleRuns(std::vector<std::string> runs, std::vector<bool> owned, const std::string& stage,
                  const BookBuildSettings& settings, RunFolder& runFolder, const RunSelection& selection,
                  BuildProgress& progress, BuildResult& r) {
    const size_t fanIn = static_cast<size_t>(std::max<uint64_t>(settings.memoryBytes / 2 / SmallestRunBuffer, 2));
    const size_t buffer = static_cast<size_t>(
        std::clamp<uint64_t>(settings.memoryBytes / 4 / std::max<size_t>(std::min(runs.size(), fanIn), 1),
                             SmallestRunBuffer, uint64_t{1} << 20));
    std::string message;
    bool collision = false;
    if (!ReduceRuns(runs, owned, fanIn, buffer, runFolder, selection, message, collision))
        return Failure(r, message, collision), false;
    std::vector<std::unique_ptr<PositionRunReader>> readers;
    std::vector<PositionSource*> sources;
    uint64_t total = 0;
    for (const std::string& run : runs) {
        readers.push_back(std::make_unique<PositionRunReader>());
        if (!readers.back()->Open(run, buffer)) return Failure(r, readers.back()->Message()), false;
        sources.push_back(readers.back().get());
        total += readers.back()->Size();
    }
    return Assemble(
        sources, stage, settings, runFolder, progress,
        [&] {
            uint64_t done = 0;
            for (const auto& reader : readers) done += reader->BytesRead();
            progress.Merging(done, total);
        },
        r);
}

BuildResult Finished(BuildResult& r, BuildProgress& progress) {
    progress.Done();
    r.outcome = BuildOutcome::Done;
    r.runs = progress.Runs();
    return r;
}

}  // namespace

BuildResult BuildBooks(const std::string& games, const std::string& outFolder, const BookBuildSettings& settings,
                       BuildProgress& progress) {
    BuildResult r;
    std::string message;
    // 1. The output folder, the books' staging folder in it, and the folder
    // of the runs.
    RunFolder stage, runFolder;
    if (!MakeFolder(outFolder, message) || !stage.Make(outFolder, ".kavrin-book-", message)) return Failure(r, message);
    if (!settings.inMemory &&
        !runFolder.Make(settings.tempParent.empty() ? outFolder : settings.tempParent, "kavrin-book-runs-", message))
        return Failure(r, message);

    if (settings.inMemory) {
        // 2. Today's road: every sample in memory.
        auto samples = std::make_unique<PositionSamples>();
        const SampleSink sink = [&](std::vector<PositionSample>& batch) {
            if (Interrupted()) return false;
            samples->Add(batch);
            return true;
        };
        if (!Gather(games, settings, progress, sink, r)) return Failure(r, InterruptedMessage);
        if (!WriteBooksFromSamples(*samples, stage.Path(), r.report, settings.minGames))
            return Failure(r, r.report.message, r.report.keyCollision);
    } else {
        // 2. The samples in bounded memory, spilled as runs when they outgrow it.
        const RunSelection selection = SelectionOf(settings);
        SampleGatherer gatherer(SampleCapacity(settings), settings.reading.threads, runFolder, selection, progress);
        const SampleSink sink = [&](std::vector<PositionSample>& batch) { return gatherer.Add(batch); };
        if (!Gather(games, settings, progress, sink, r)) return Failure(r, gatherer.Message(), gatherer.KeyCollision());
        if (gatherer.Runs().empty()) {
            // 3. Everything fitted: the books straight from memory, kavrin.bin's
            // moves in what the samples leave of the memory.
            SortSamples(gatherer.Samples(), settings.reading.threads);
            SampleSource source(gatherer.Samples());
            BookBuildSettings rest = settings;
            const uint64_t held = gatherer.Samples().size() * sizeof(PositionSample);
            rest.memoryBytes =
                std::max(settings.memoryBytes > held ? settings.memoryBytes - held : 0, settings.memoryBytes / 8);
            if (!Assemble(
                    {&source}, stage.Path(), rest, runFolder, progress, [] {}, r))
                return r;
        } else {
            // 3. The last run, then all of them merged.
            if (!gatherer.Samples().empty() && !gatherer.Spill())
                return Failure(r, gatherer.Message(), gatherer.KeyCollision());
            std::vector<PositionSample>().swap(gatherer.Samples());
            if (!AssembleRuns(gatherer.Runs(), std::vector<bool>(gatherer.Runs().size(), true), stage.Path(), settings,
                              runFolder, selection, progress, r))
                return r;
        }
    }
    // 4. The books into the output folder.
    if (!Publish(stage.Path(), BookFileNames(), outFolder, message)) return Failure(r, message);
    return Finished(r, progress);
}

BuildResult WriteRuns(const std::string& games, const std::string& outFolder, const BookBuildSettings& settings,
                      BuildProgress& progress) {
    BuildResult r;
    std::string message;
    bool readable = false;
    if (!MakeFolder(outFolder, message)) return Failure(r, message);
    if (!FilesEndingIn(outFolder, RunSuffix, readable).empty())
        return Failure(r, "'" + outFolder + "' already holds runs: give each shard a folder of its own");
    if (!readable) return Failure(r, "cannot read the folder '" + outFolder + "'");
    // The runs are made in a folder of their own inside the output folder
    // and moved out when they are all complete.
    RunFolder stage;
    if (!stage.Make(outFolder, ".kavrin-runs-", message)) return Failure(r, message);
    SampleGatherer gatherer(SampleCapacity(settings), settings.reading.threads, stage, SelectionOf(settings), progress);
    const SampleSink sink = [&](std::vector<PositionSample>& batch) { return gatherer.Add(batch); };
    if (!Gather(games, settings, progress, sink, r)) return Failure(r, gatherer.Message(), gatherer.KeyCollision());
    if (!gatherer.Samples().empty() && !gatherer.Spill())
        return Failure(r, gatherer.Message(), gatherer.KeyCollision());
    std::vector<std::string> names;
    for (const std::string& run : gatherer.Runs()) names.push_back(BaseName(run));
    if (!Publish(stage.Path(), names, outFolder, message)) return Failure(r, message);
    return Finished(r, progress);
}

BuildResult MergeRuns(const std::vector<std::string>& runFolders, const std::string& outFolder,
                      const BookBuildSettings& settings, BuildProgress& progress) {
    BuildResult r;
    std::string message;
    // 1. The runs of every folder, all made with the same selection.
    std::vector<std::string> runs;
    RunSelection selection{};
    for (const std::string& folder : runFolders) {
        bool readable = false;
        const std::vector<std::string> found = FilesEndingIn(folder, RunSuffix, readable);
        if (!readable) return Failure(r, "cannot read the folder of runs '" + folder + "'");
        if (found.empty()) return Failure(r, "'" + folder + "' holds no runs");
        for (const std::string& run : found) {
            PositionRunReader reader;
            if (!reader.Open(run, SmallestRunBuffer)) return Failure(r, reader.Message());
            const RunSelection s = reader.Selection();
            if (runs.empty()) selection = s;
            if (s.maxPly != selection.maxPly || s.minElo != selection.minElo)
                return Failure(
                    r, "'" + run + "' was made with other --max-ply or --min-elo settings than '" + runs.front() + "'");
            runs.push_back(run);
        }
    }
    // 2. The books, staged in the output folder.
    RunFolder stage, runFolder;
    if (!MakeFolder(outFolder, message) || !stage.Make(outFolder, ".kavrin-book-", message) ||
        !runFolder.Make(settings.tempParent.empty() ? outFolder : settings.tempParent, "kavrin-book-runs-", message))
        return Failure(r, message);
    for (size_t i = 0; i < runs.size(); i++) progress.RunWritten();
    if (!AssembleRuns(runs, std::vector<bool>(runs.size(), false), stage.Path(), settings, runFolder, selection,
                      progress, r))
        return r;
    if (!Publish(stage.Path(), BookFileNames(), outFolder, message)) return Failure(r, message);
    return Finished(r, progress);
}

}  // namespace kavrin
