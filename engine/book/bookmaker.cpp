#include "book/bookmaker.h"

#include <algorithm>
#include <cstdio>
#include <memory>

#include "board/board.h"
#include "board/makemove.h"
#include "book/book.h"
#include "book/bookcreate.h"
#include "book/polyglot_writer.h"
#include "notation/posfile.h"
#include "system/binary_io.h"

namespace kavrin {

namespace {

constexpr uint32_t LargestWeight = 0xFFFF;
// Polyglot entries written at a time.

// An entry of kavrin.bin before its weight is scaled.
struct PendingEntry {
    uint64_t key;
    uint32_t weight;
    uint16_t move;
    bool scored;  // the mover scored in the game this entry comes from
};

uint64_t Mix(uint64_t h) {
    h = (h ^ (h >> 30)) * 0xBF58476D1CE4E5B9ULL;
    h = (h ^ (h >> 27)) * 0x94D049BB133111EBULL;
    return h ^ (h >> 31);
}

// What tells two positions of one side to move apart besides the key: the
// pieces, the castling rights and the en-passant square, hashed another way.
uint32_t Fingerprint(const Board& b) {
    uint64_t h =
        Mix(b.castling | static_cast<uint64_t>(b.epSquare) << 8 | static_cast<uint64_t>(b.kingSquare[Black]) << 16 |
            static_cast<uint64_t>(b.kingSquare[White]) << 24);
    for (int code = WhitePawn; code <= BlackQueen; code++) h = Mix(h ^ b.pieceBitboard[code]) + code;
    return static_cast<uint32_t>(h >> 32);
}

uint8_t ResultFlag(char code) { return code == 'W' ? SampleWhiteWon : code == 'B' ? SampleBlackWon : SampleDraw; }

int SideOf(const PositionSample& s) { return s.flags & SampleWhiteToMove; }

bool SampleBefore(const PositionSample& a, const PositionSample& b) {
    return a.key != b.key ? a.key < b.key : SideOf(a) < SideOf(b);
}

// One database record: the counted samples of a key and side merged.
struct MergedPosition {
    bool counted = false;
    bool collision = false;
    uint32_t fingerprint = 0;
    uint32_t whiteWins = 0, blackWins = 0, draws = 0;
    int ply = 0;
};

MergedPosition Merge(const PositionSample* first, const PositionSample* end) {
    MergedPosition m;
    for (const PositionSample* s = first; s != end; ++s) {
        if (!(s->flags & SampleCounted)) continue;
        if (!m.counted) {
            m.counted = true;
            m.fingerprint = s->fingerprint;
            m.ply = s->ply;
        } else if (s->fingerprint != m.fingerprint) {
            m.collision = true;
        }
        m.ply = std::min<int>(m.ply, s->ply);
        switch (s->flags & SampleResultMask) {
            case SampleWhiteWon:
                m.whiteWins++;
                break;
            case SampleBlackWon:
                m.blackWins++;
                break;
            default:
                m.draws++;
                break;
        }
    }
    return m;
}

// Sorts the run by key and move and keeps one entry per pair, and only the
// pairs whose move scored in at least one of its games; returns the largest
// weight.
uint32_t SortAndMerge(std::vector<PendingEntry>& run) {
    std::sort(run.begin(), run.end(), [](const PendingEntry& a, const PendingEntry& b) {
        return a.key != b.key ? a.key < b.key : a.move < b.move;
    });
    size_t kept = 0;
    for (size_t i = 0; i < run.size();) {
        PendingEntry pair = run[i];
        for (i++; i < run.size() && run[i].key == pair.key && run[i].move == pair.move; i++)
            pair.scored = pair.scored || run[i].scored;
        if (pair.scored) run[kept++] = pair;
    }
    run.resize(kept);
    uint32_t largest = 0;
    for (const PendingEntry& e : run) largest = std::max(largest, e.weight);
    return largest;
}

bool WritePolyglotFile(const std::string& name, std::vector<PendingEntry> (&runs)[PositionSamples::RunCount],
                       uint32_t largest, BookBuildReport& report) {
    PolyglotWriter writer;
    if (!writer.Create(name)) {
        report.message = writer.Message();
        return false;
    }
    for (std::vector<PendingEntry>& run : runs) {
        for (const PendingEntry& e : run) {
            writer.Add(PolyglotEntry{e.key, e.move, ScaledWeight(e.weight, largest), 0});
            report.polyglotEntries++;
        }
        std::vector<PendingEntry>().swap(run);
    }
    if (!writer.Finish()) {
        report.message = writer.Message();
        return false;
    }
    return true;
}

}  // namespace

bool MoverScored(int mover, uint8_t flags) {
    const uint8_t result = flags & SampleResultMask;
    return result == SampleDraw || result == (mover == White ? SampleWhiteWon : SampleBlackWon);
}

bool KeepPosition(int side, uint32_t whiteWins, uint32_t blackWins, uint32_t draws, int ply, uint32_t minGames) {
    return uint64_t{whiteWins} + blackWins + draws >= minGames && KeepInBook(side, whiteWins, blackWins, draws, ply);
}

void PositionSamples::Add(const std::vector<PositionSample>& samples) {
    for (const PositionSample& s : samples) Add(s);
}

uint64_t PositionSamples::Size() const {
    uint64_t n = 0;
    for (const std::vector<PositionSample>& run : runs_) n += run.size();
    return n;
}

void CollectGamePositions(Position& pos, const GameRecord& game, PositionSamples& samples) {
    std::vector<PositionSample> collected;
    CollectGamePositions(pos, game, PosPlyLimit, collected);
    samples.Add(collected);
}

void CollectGamePositions(Position& pos, const GameRecord& game, int plyLimit, std::vector<PositionSample>& samples) {
    const int last = std::min({game.PlyCount(), plyLimit, SamplePlyLimit});
    const uint8_t result = ResultFlag(game.result.code);
    const Board& board = pos.board;
    UndoRecord undo[SamplePlyLimit + 1];
    PositionSample sample{};
    // 1. The position before each move looked at, and the move's Polyglot
    // form for the sample after it.
    for (int ply = 1; ply <= last; ++ply) {
        sample.key = board.hashKey;
        sample.fingerprint = Fingerprint(board);
        sample.ply = static_cast<uint8_t>(ply);
        sample.flags = static_cast<uint8_t>((pos.sideToMove == White ? SampleWhiteToMove : 0) | result | SampleCounted |
                                            (sample.flags & SampleHasParent));
        samples.push_back(sample);
        const Move m = game.moves[ply];
        sample.parentKey = PolyglotKey(board, pos.sideToMove);
        sample.parentMove = PolyglotMove(m);
        sample.flags = SampleHasParent;
        SaveForMake(pos, undo[ply]);
        MakeMove(pos, m, undo[ply]);
    }
    // 2. The position after the last move looked at: only whether that move
    // leads into the book.
    if (last > 0) {
        sample.key = board.hashKey;
        sample.fingerprint = 0;
        sample.ply = 0;
        sample.flags =
            static_cast<uint8_t>((pos.sideToMove == White ? SampleWhiteToMove : 0) | result | SampleHasParent);
        samples.push_back(sample);
    }
    // 3. Back to the initial position.
    for (int ply = last; ply >= 1; --ply) UnmakeMove(pos, game.moves[ply], undo[ply]);
}

uint32_t MoverHalfPoints(int mover, uint32_t whiteWins, uint32_t blackWins, uint32_t draws) {
    return 2 * (mover == White ? whiteWins : blackWins) + draws;
}

uint16_t ScaledWeight(uint32_t w, uint32_t largest) {
    if (largest <= LargestWeight) return static_cast<uint16_t>(w);
    const uint64_t scaled = static_cast<uint64_t>(w) * LargestWeight / largest;
    return static_cast<uint16_t>(std::max<uint64_t>(scaled, 1));
}

bool WriteBooksFromSamples(PositionSamples& samples, const std::string& folder, BookBuildReport& report,
                           uint32_t minGames) {
    const std::string prefix = folder.empty() || folder.back() == '/' ? folder : folder + "/";

    // 1. Both books open for writing; the indexes are built in a book set of
    // their own (1 MB, so not on the stack).
    auto books = std::make_unique<BookSet>();
    char messages[2][FileMessageSize];
    std::unique_ptr<BookFileWriter> writers[2];
    for (int side = 0; side < 2; side++) {
        writers[side] = std::make_unique<BookFileWriter>(books->book[side], messages[side]);
        if (!writers[side]->Open((prefix + BookBaseNames[side]).c_str(), BookFileWriter::RecordFileMode::Empty)) {
            report.message = messages[side];
            return false;
        }
    }

    // 2. Run by run in key order: the samples of one key and side make one
    // database record; a kept record goes into its book, and the moves that
    // led to it into kavrin.bin.
    std::vector<PendingEntry> entries[PositionSamples::RunCount];
    for (int r = 0; r < PositionSamples::RunCount; r++) {
        std::vector<PositionSample>& run = samples.Run(r);
        std::sort(run.begin(), run.end(), SampleBefore);
        for (size_t i = 0; i < run.size();) {
            size_t j = i + 1;
            while (j < run.size() && run[j].key == run[i].key && SideOf(run[j]) == SideOf(run[i])) j++;
            const int side = SideOf(run[i]);
            const MergedPosition m = Merge(run.data() + i, run.data() + j);
            if (m.collision) {
                report.keyCollision = true;
                report.message = "two different positions share a key";
                return false;
            }
            if (m.counted) {
                report.positions[side]++;
                report.sums[side][0] += m.whiteWins;
                report.sums[side][1] += m.blackWins;
                report.sums[side][2] += m.draws;
                if (KeepPosition(side, m.whiteWins, m.blackWins, m.draws, m.ply, minGames)) {
                    if (!writers[side]->Add(run[i].key)) {
                        writers[side]->Finish();  // says why
                        report.message = messages[side];
                        return false;
                    }
                    report.bookRecords[side]++;
                    const int mover = 1 - side;
                    const uint32_t weight = MoverHalfPoints(mover, m.whiteWins, m.blackWins, m.draws);
                    for (size_t k = i; k < j; k++) {
                        if (!(run[k].flags & SampleHasParent)) continue;
                        entries[run[k].parentKey >> 56].push_back(
                            {run[k].parentKey, weight, run[k].parentMove, MoverScored(mover, run[k].flags)});
                    }
                }
            }
            i = j;
        }
        std::vector<PositionSample>().swap(run);
    }

    // 3. The books' indexes.
    for (int side = 0; side < 2; side++) {
        if (!writers[side]->Finish()) {
            report.message = messages[side];
            return false;
        }
    }

    // 4. kavrin.bin: one entry per position and move, weights scaled together.
    uint32_t largest = 0;
    for (std::vector<PendingEntry>& run : entries) largest = std::max(largest, SortAndMerge(run));
    return WritePolyglotFile(prefix + PolyglotBookName, entries, largest, report);
}

}  // namespace kavrin
