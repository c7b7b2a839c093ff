#include "book/game_reader.h"

#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <istream>
#include <map>
#include <memory>
#include <mutex>
#include <streambuf>
#include <thread>

#include "board/fen.h"
#include "book/game_chunks.h"
#include "notation/pgn.h"

namespace kavrin {

namespace {

// Samples a reading thread hands on at a time.
constexpr size_t SampleBatch = 1 << 16;

// The text of one game as a stream, without a copy.
class TextBuffer : public std::streambuf {
  public:
    void Set(const char* text, size_t size) {
        char* begin = const_cast<char*>(text);
        setg(begin, begin, begin + size);
    }
};

// What a piece of the text gave.
struct ChunkResult {
    uint64_t readerCalls = 0;  // games as the reader counts them: read or skipped
    uint64_t converted = 0, skipped = 0, leftOut = 0, positions = 0;
    std::vector<uint64_t> skippedAt;  // reader calls (from 1) that skipped
    bool failed = false;              // a game file error, after readerCalls
    std::string error;
    bool stopped = false;  // the sink said stop
};

// A reading thread's own position, game record and samples.
class ChunkParser {
  public:
    ChunkParser(const GameReadSettings& settings, const SampleSink& sink) : settings_(settings), sink_(sink) {
        position_ = std::make_unique<Position>();
        game_ = std::make_unique<GameRecord>();
        ReadFen(*position_, InitialFen);
        samples_.reserve(SampleBatch + SamplePlyLimit + 1);
    }

    ChunkResult Parse(const std::string& chunk) {
        ChunkResult r;
        std::istream in(&text_);
        for (size_t start = 0; start < chunk.size() && !r.failed && !r.stopped;) {
            const size_t end = NextGameStart(chunk.data(), start, chunk.size());
            const char* game = chunk.data() + start;
            const size_t size = end - start;
            start = end;
            if (settings_.minElo > 0 && !RatedAtLeast(game, size, settings_.minElo)) {
                r.leftOut++;
                continue;
            }
            text_.Set(game, size);
            in.clear();
            ParseGame(in, r);
        }
        if (!r.stopped && !Hand(r)) r.stopped = true;
        return r;
    }

  private:
    // The workbench converters' loop over one game's text: usually one game,
    // more when the text holds what the reader takes for several.
    void ParseGame(std::istream& in, ChunkResult& r) {
        try {
            while (in.good() && in.peek() != std::char_traits<char>::eof()) {
                r.readerCalls++;
                if (ReadPgnGame(*position_, *game_, in) != 0) {
                    const size_t before = samples_.size();
                    CollectGamePositions(*position_, *game_, settings_.maxPly, samples_);
                    r.positions += samples_.size() - before;
                    r.converted++;
                    if (samples_.size() >= SampleBatch && !Hand(r)) {
                        r.stopped = true;
                        return;
                    }
                } else {
                    r.skipped++;
                    r.skippedAt.push_back(r.readerCalls);
                }
                in >> std::ws;
            }
        } catch (const GameFileError& error) {
            r.failed = true;
            r.error = error.text;
            // The reader's board is back at the start whatever it threw from.
        }
    }

    bool Hand(ChunkResult&) {
        if (samples_.empty()) return true;
        const bool go = sink_(samples_);
        samples_.clear();
        return go;
    }

    const GameReadSettings& settings_;
    const SampleSink& sink_;
    TextBuffer text_;
    std::unique_ptr<Position> position_;
    std::unique_ptr<GameRecord> game_;
    std::vector<PositionSample> samples_;
};

// The results of the pieces, reported in their order: the warnings of the
// skipped games, numbered as one reading of the whole text numbers them.
class Report {
  public:
    Report(const std::string& name, GameReadCounts& counts) : name_(name), counts_(counts) {}
    // False once a piece failed or stopped (the later ones are dropped).
    bool Take(uint64_t seq, ChunkResult&& r) {
        waiting_.emplace(seq, std::move(r));
        while (!over_ && !waiting_.empty() && waiting_.begin()->first == next_) {
            const ChunkResult& c = waiting_.begin()->second;
            for (uint64_t at : c.skippedAt)
                std::printf("Warning: game %llu (skipped) file: %s\n",
                            static_cast<unsigned long long>(readerCalls_ + at), name_.c_str());
            readerCalls_ += c.readerCalls;
            counts_.converted += c.converted;
            counts_.skipped += c.skipped;
            counts_.leftOut += c.leftOut;
            counts_.positions += c.positions;
            if (c.failed) {
                failed_ = true;
                error_ = c.error;
            }
            stopped_ = stopped_ || c.stopped;
            over_ = failed_ || stopped_;
            waiting_.erase(waiting_.begin());
            next_++;
        }
        return !over_;
    }
    bool Failed() const { return failed_; }
    bool Stopped() const { return stopped_; }
    const std::string& Error() const { return error_; }

  private:
    const std::string& name_;
    GameReadCounts& counts_;
    std::map<uint64_t, ChunkResult> waiting_;
    uint64_t next_ = 0;
    uint64_t readerCalls_ = 0;
    bool failed_ = false, stopped_ = false, over_ = false;
    std::string error_;
};

// The pieces waiting for a reading thread.
class ChunkQueue {
  public:
    explicit ChunkQueue(size_t capacity) : capacity_(capacity) {}
    // False when the reading is called off.
    bool Push(uint64_t seq, std::string&& chunk) {
        std::unique_lock<std::mutex> lock(mutex_);
        space_.wait(lock, [&] { return queue_.size() < capacity_ || cancelled_; });
        if (cancelled_) return false;
        queue_.emplace_back(seq, std::move(chunk));
        ready_.notify_one();
        return true;
    }
    bool Pop(uint64_t& seq, std::string& chunk) {
        std::unique_lock<std::mutex> lock(mutex_);
        ready_.wait(lock, [&] { return !queue_.empty() || closed_ || cancelled_; });
        if (cancelled_ || queue_.empty()) return false;
        seq = queue_.front().first;
        chunk = std::move(queue_.front().second);
        queue_.pop_front();
        space_.notify_one();
        return true;
    }
    void Close() {
        std::lock_guard<std::mutex> lock(mutex_);
        closed_ = true;
        ready_.notify_all();
    }
    void Cancel() {
        std::lock_guard<std::mutex> lock(mutex_);
        cancelled_ = true;
        ready_.notify_all();
        space_.notify_all();
    }

  private:
    std::mutex mutex_;
    std::condition_variable ready_, space_;
    std::deque<std::pair<uint64_t, std::string>> queue_;
    size_t capacity_;
    bool closed_ = false, cancelled_ = false;
};

bool ReadTagNumber(const char* line, const char* end, uint32_t& value) {
    const char* p = line;
    while (p < end && *p == ' ') p++;
    if (p == end || *p != '"') return false;
    p++;
    uint64_t v = 0;
    const char* digits = p;
    while (p < end && *p >= '0' && *p <= '9' && v < 100000) v = v * 10 + static_cast<uint64_t>(*p++ - '0');
    if (p == digits || p == end || *p != '"') return false;
    value = static_cast<uint32_t>(v);
    return true;
}

}  // namespace

bool RatedAtLeast(const char* text, size_t size, uint32_t minElo) {
    bool white = false, black = false;
    const char* end = text + size;
    const char* p = text;
    while (p < end) {
        while (p < end && (*p == ' ' || *p == '\t' || *p == '\r' || *p == '\n')) p++;
        if (p == end || *p != '[') break;  // the tag section ends
        const char* lineEnd = static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(end - p)));
        if (lineEnd == nullptr) lineEnd = end;
        uint32_t elo = 0;
        for (int side = 0; side < 2; side++) {
            const char* tag = side == 0 ? "[WhiteElo" : "[BlackElo";
            const size_t length = std::strlen(tag);
            if (static_cast<size_t>(lineEnd - p) > length && std::memcmp(p, tag, length) == 0 &&
                ReadTagNumber(p + length, lineEnd, elo)) {
                (side == 0 ? white : black) = elo >= minElo;
            }
        }
        p = lineEnd;
    }
    return white && black;
}

bool ReadCollection(GameInput& input, const std::string& name, const GameReadSettings& settings, const SampleSink& sink,
                    const ReadProgress& progress, GameReadCounts& counts, std::string& message) {
    GameChunkReader chunks(input);
    Report report(name, counts);
    std::string chunk;
    uint64_t seq = 0;
    bool inputFailed = false;

    if (settings.threads <= 1) {
        // 1. One thread: each piece read as it comes.
        ChunkParser parser(settings, sink);
        while (chunks.Next(chunk)) {
            if (!report.Take(seq++, parser.Parse(chunk))) break;
            if (progress) progress(counts, input.FileBytesRead(), input.FileSize());
        }
        inputFailed = !chunks.Message().empty();
    } else {
        // 2. Several: this thread cuts the text, the others read the pieces;
        // the results are reported here in the order of the pieces.
        ChunkQueue queue(static_cast<size_t>(settings.threads) * 2);
        std::mutex resultsMutex;
        std::vector<std::pair<uint64_t, ChunkResult>> results;
        std::mutex sinkMutex;
        const SampleSink lockedSink = [&](std::vector<PositionSample>& samples) {
            std::lock_guard<std::mutex> lock(sinkMutex);
            return sink(samples);
        };
        std::vector<std::thread> readers;
        for (int t = 0; t < settings.threads; t++) {
            readers.emplace_back([&] {
                ChunkParser parser(settings, lockedSink);
                uint64_t mine;
                std::string text;
                while (queue.Pop(mine, text)) {
                    ChunkResult r = parser.Parse(text);
                    // The pieces already queued are still read, so that every
                    // piece before a failed one is reported.
                    std::lock_guard<std::mutex> lock(resultsMutex);
                    results.emplace_back(mine, std::move(r));
                }
            });
        }
        auto drain = [&] {
            std::vector<std::pair<uint64_t, ChunkResult>> done;
            {
                std::lock_guard<std::mutex> lock(resultsMutex);
                done.swap(results);
            }
            bool go = true;
            for (auto& [at, r] : done) go = report.Take(at, std::move(r)) && go;
            return go;
        };
        while (chunks.Next(chunk)) {
            if (!queue.Push(seq++, std::move(chunk)) || !drain()) break;
            if (progress) progress(counts, input.FileBytesRead(), input.FileSize());
        }
        inputFailed = !chunks.Message().empty();
        if (inputFailed) queue.Cancel();
        queue.Close();
        for (std::thread& t : readers) t.join();
        drain();
    }

    // 3. The report's last lines, as the workbench converters print them.
    const int converted = static_cast<int>(counts.converted);
    const int skipped = static_cast<int>(counts.skipped);
    if (report.Failed()) {
        std::printf("converted: %d games. (skipped: %d)\n", converted, skipped);
        std::printf("ERROR: %s file: %s\n", report.Error().c_str(), name.c_str());
        message = "the games cannot be read: " + report.Error();
        return false;
    }
    if (report.Stopped()) return false;
    if (inputFailed) {
        message = chunks.Message();
        return false;
    }
    std::printf("converted: %d games. (skipped: %d)\n", converted, skipped);
    std::printf("file: %s \t\tfinished\n", name.c_str());
    return true;
}

}  // namespace kavrin
