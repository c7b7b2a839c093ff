#include "search/tablebase.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>

#include "board/fen.h"
#include "board/legal.h"
#include "board/makemove.h"
#include "board/movegen.h"
#include "search/tb_files.h"
#include "search/tb_position.h"

#ifdef KAVRIN_SYZYGY
#include <fcntl.h>
#include <limits.h>
#include <unistd.h>

#include <tbprobe.h>
#endif

namespace kavrin {

int TbScore(TbWdl wdl, int ply, bool fiftyMoveRule) {
    switch (wdl) {
        case TbWdl::Win: return TbWinScore(ply);
        case TbWdl::Loss: return TbLossScore(ply);
        case TbWdl::CursedWin: return fiftyMoveRule ? 1 : TbWinScore(ply);
        case TbWdl::BlessedLoss: return fiftyMoveRule ? -1 : TbLossScore(ply);
        default: return 0;
    }
}

Bound TbBound(TbWdl wdl, bool fiftyMoveRule) {
    const int drawBand = fiftyMoveRule ? 1 : 0;
    const int value = static_cast<int>(wdl);
    return value > drawBand ? Bound::Lower : value < -drawBand ? Bound::Upper : Bound::Exact;
}

int KeepBestRanked(TbRootRanking& ranking) {
    std::stable_sort(ranking.moves, ranking.moves + ranking.count,
                     [](const TbRootMove& a, const TbRootMove& b) { return a.rank > b.rank; });
    int kept = 0;
    while (kept < ranking.count && ranking.moves[kept].rank == ranking.moves[0].rank) ++kept;
    return kept;
}

#ifdef KAVRIN_SYZYGY

namespace {

static_assert(TbCastleWhiteKing == TB_CASTLING_K && TbCastleWhiteQueen == TB_CASTLING_Q &&
                  TbCastleBlackKing == TB_CASTLING_k && TbCastleBlackQueen == TB_CASTLING_q,
              "the library's castling flags");
static_assert(TB_MAX_MOVES <= TbMaxRootMoves, "a ranking holds every move the library ranks");

// Debian's Fathom is built without its locks (TB_NO_THREADS): a probe that
// meets a table for the first time maps it and builds its decoding tables,
// unguarded. This mutex guards every call that may do so. Load opens every
// WDL table at once (OpenWdlTables); from then on a WDL probe only reads, and
// the search threads probe without the lock. The DTZ tables open lazily, in
// root probes, which take the lock.
std::mutex libraryMutex;
std::atomic<int> largestLoaded{0};
std::atomic<bool> wdlTablesOpen{false};
// The library's root ranking, large (about 100 KB): one, under the lock.
TbRootMoves libraryRootMoves;

// The library is given one folder: links to the files that passed their
// check, named as it looks for them. A bad file is never linked, so the
// library cannot meet it, whatever folder holds it.
class LinkFolder {
  public:
    ~LinkFolder() { Remove(); }
    // A new, empty folder; empty on failure.
    const std::string& Make() {
        Remove();
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/kavrin-syzygy.XXXXXX";
        if (mkdtemp(pattern.data())) {
            path_ = pattern;
        }
        return path_;
    }
    const std::string& Path() const { return path_; }
    bool Link(const std::string& target, const std::string& name) {
        char resolved[PATH_MAX];
        if (!realpath(target.c_str(), resolved)) return false;
        const std::string link = path_ + "/" + name;
        if (symlink(resolved, link.c_str()) != 0) return false;
        links_.push_back(link);
        return true;
    }
    void Remove() {
        for (const std::string& link : links_) unlink(link.c_str());
        links_.clear();
        if (!path_.empty()) rmdir(path_.c_str());
        path_.clear();
    }

  private:
    std::string path_;
    std::vector<std::string> links_;
};
LinkFolder linkFolder;

// A position with the table's material whose side to move has no capture:
// the library's WDL probe then goes straight to the table, opening it. False
// when the tries found none.
bool OpeningPosition(const std::string& name, Position& pos) {
    TbMaterial material;
    if (!ParseTableName(name, material)) return false;
    uint64_t seed = 0x9E3779B97F4A7C15ull;
    const auto next = [&seed](int n) {
        seed ^= seed << 13;
        seed ^= seed >> 7;
        seed ^= seed << 17;
        return static_cast<int>(seed % static_cast<uint64_t>(n));
    };
    constexpr int Tries = 2000;
    constexpr char Letters[] = "pnbrq";
    for (int attempt = 0; attempt < Tries; ++attempt) {
        char board[64];
        std::fill(board, board + 64, '1');
        const auto place = [&](char piece, bool pawn) {
            for (;;) {
                // Pawns stand on ranks 2 to 7: rows 1 to 6 from rank 8.
                const int s = pawn ? 8 + next(48) : next(64);
                if (board[s] != '1') continue;
                board[s] = piece;
                return;
            }
        };
        place('K', false);
        place('k', false);
        for (int side = 0; side < 2; ++side)
            for (int kind = 0; kind < 5; ++kind)
                for (int i = 0; i < material.count[side][kind]; ++i)
                    place(side == 0 ? static_cast<char>(Letters[kind] - 'a' + 'A') : Letters[kind], kind == 0);
        std::string fen;
        for (int row = 0; row < 8; ++row) {
            fen.append(board + 8 * row, 8);
            if (row < 7) fen += '/';
        }
        fen += attempt % 2 ? " b - -" : " w - -";
        if (!ReadFen(pos, fen.c_str()) || !PositionPlayable(pos)) continue;
        MoveEntry moves[MaxGeneratedMoves];
        const MoveEntry* end = GenerateLegalMoves(pos, moves);
        if (end == moves) continue;  // mate or stalemate
        if (std::none_of(static_cast<const MoveEntry*>(moves), end, [](const MoveEntry& m) { return IsCaptureKind(MoveKindOf(m.move)); }))
            return true;
    }
    return false;
}

// Unmaps every table. The library reports each successful unmap as an error
// on the standard error ("munmap: ..."): that stream is muted meanwhile.
void UnloadLibrary() {
    std::fflush(stderr);
    const int saved = dup(STDERR_FILENO);
    const int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (saved >= 0 && null >= 0) dup2(null, STDERR_FILENO);
    tb_init("");
    std::fflush(stderr);
    if (saved >= 0 && null >= 0) dup2(saved, STDERR_FILENO);
    if (null >= 0) close(null);
    if (saved >= 0) close(saved);
    linkFolder.Remove();
}

unsigned LibraryProbeWdl(const TbPosition& tb) {
    return tb_probe_wdl(tb.white, tb.black, tb.kings, tb.queens, tb.rooks, tb.bishops, tb.knights, tb.pawns, 0, 0,
                        tb.ep, tb.whiteToMove);
}

// Opens every loaded WDL table by probing a position of it; true when each
// one was reached. Runs under the lock, before any search.
bool OpenWdlTables(const std::vector<TbFileFound>& files) {
    auto pos = std::make_unique<Position>();
    bool all = true;
    for (const TbFileFound& file : files) {
        if (file.kind != TbFileKind::Wdl) continue;
        if (!OpeningPosition(file.name, *pos) || LibraryProbeWdl(ToTbPosition(*pos)) == TB_RESULT_FAILED) all = false;
    }
    return all;
}

// Whether a position since the last capture or pawn move occurred before (in
// its own fifty-move window): the root's wins are then no longer safe from
// the fifty-move rule without hurrying.
bool RepeatedSinceZeroing(const Position& pos) {
    const int top = pos.HistoryIndex();
    const int window = pos.history[top].fiftyCounter;
    for (int back = 0; back + 4 <= window && top - back >= 4; ++back) {
        const int index = top - back;
        if (CountEarlierKeys(pos, index - 4, pos.history[index].hashKey, 1) > 0) return true;
    }
    return false;
}

int LibraryPromotion(Move m) {
    switch (MoveKindOf(m)) {
        case PromoteQueen:
        case CapturePromoteQueen: return TB_PROMOTES_QUEEN;
        case PromoteRook:
        case CapturePromoteRook: return TB_PROMOTES_ROOK;
        case PromoteBishop:
        case CapturePromoteBishop: return TB_PROMOTES_BISHOP;
        case PromoteKnight:
        case CapturePromoteKnight: return TB_PROMOTES_KNIGHT;
        default: return TB_PROMOTES_NONE;
    }
}

// The score shown for a root move of this rank: a win the rule cannot take
// away (rank at least bound) scores as a win one ply on; a win or loss the
// counter may still turn scores a little above or below a draw, the closer
// to the real result the more room the counter leaves.
int16_t RootScore(int rank, bool fiftyMoveRule) {
    const int bound = fiftyMoveRule ? 900 : 1;
    constexpr int PawnScore = 100;
    if (rank >= bound) return static_cast<int16_t>(TbWinScore(1));
    if (rank > 0) return static_cast<int16_t>(std::max(3, rank - 800) * PawnScore / 200);
    if (rank == 0) return 0;
    if (rank > -bound) return static_cast<int16_t>(std::min(-3, rank + 800) * PawnScore / 200);
    return static_cast<int16_t>(TbLossScore(1));
}

}  // namespace

bool TablebaseSupport() { return true; }

int TablebasePieces() { return largestLoaded.load(std::memory_order_acquire); }

TbLoadResult LoadTablebases(const std::string& paths) {
    std::lock_guard<std::mutex> lock(libraryMutex);
    largestLoaded.store(0, std::memory_order_release);
    wdlTablesOpen.store(false, std::memory_order_release);
    UnloadLibrary();

    TbLoadResult result;
    if (paths.empty() || paths == "<empty>") {
        result.message = "Syzygy tablebases unloaded";
        return result;
    }
    TbFileSearch search = FindTableFiles(paths);
    result.problems = search.problems;
    std::vector<TbFileFound> linked;
    if (!search.files.empty() && linkFolder.Make().empty()) {
        result.problems.push_back("no temporary folder for the tables; none loaded");
    } else {
        for (const TbFileFound& file : search.files) {
            if (linkFolder.Link(file.path, file.name + TbSuffix(file.kind)))
                linked.push_back(file);
            else
                result.problems.push_back(file.path + ": cannot be linked; left out");
        }
    }
    for (const TbFileFound& file : linked) {
        if (file.kind == TbFileKind::Wdl) {
            ++result.wdlFiles;
            result.largest = std::max(result.largest, file.pieces);
        } else {
            ++result.dtzFiles;
        }
    }
    if (result.wdlFiles > 0 && tb_init(linkFolder.Path().c_str())) {
        wdlTablesOpen.store(OpenWdlTables(linked), std::memory_order_release);
        largestLoaded.store(std::min<int>(result.largest, static_cast<int>(TB_LARGEST)), std::memory_order_release);
    } else {
        result.largest = result.wdlFiles = result.dtzFiles = 0;
        UnloadLibrary();
    }

    char summary[160];
    if (result.wdlFiles > 0)
        std::snprintf(summary, sizeof summary, "Syzygy tablebases: %d WDL and %d DTZ files, up to %d pieces",
                      result.wdlFiles, result.dtzFiles, result.largest);
    else
        std::snprintf(summary, sizeof summary, "Syzygy tablebases: none loaded");
    result.message = summary;
    for (const std::string& problem : result.problems) result.message += "; " + problem;
    return result;
}

bool ProbeWdl(const Position& pos, TbWdl& wdl) {
    const int largest = largestLoaded.load(std::memory_order_acquire);
    const Board& board = pos.board;
    if (largest == 0 || board.castling != 0 || pos.historyTop->fiftyCounter != 0 || PieceCount(board) > largest)
        return false;
    const TbPosition tb = ToTbPosition(pos);
    unsigned result;
    if (wdlTablesOpen.load(std::memory_order_acquire)) {
        result = LibraryProbeWdl(tb);
    } else {
        std::lock_guard<std::mutex> lock(libraryMutex);
        result = LibraryProbeWdl(tb);
    }
    if (result == TB_RESULT_FAILED) return false;
    wdl = static_cast<TbWdl>(static_cast<int>(result) - 2);
    return true;
}

bool RankRootMoves(Position& pos, bool fiftyMoveRule, TbRootRanking& ranking) {
    ranking.count = 0;
    ranking.byDtz = false;
    const int largest = largestLoaded.load(std::memory_order_acquire);
    if (largest == 0 || pos.board.castling != 0 || PieceCount(pos.board) > largest) return false;
    const TbPosition tb = ToTbPosition(pos);
    const bool repeated = RepeatedSinceZeroing(pos);

    MoveEntry legal[MaxGeneratedMoves];
    const int legalCount = static_cast<int>(GenerateLegalMoves(pos, legal) - legal);
    if (legalCount == 0 || legalCount > TbMaxRootMoves) return false;

    std::lock_guard<std::mutex> lock(libraryMutex);
    TbRootMoves& library = libraryRootMoves;
    bool byDtz = tb_probe_root_dtz(tb.white, tb.black, tb.kings, tb.queens, tb.rooks, tb.bishops, tb.knights,
                                   tb.pawns, tb.rule50, 0, tb.ep, tb.whiteToMove, repeated, fiftyMoveRule,
                                   &library) != 0;
    if (!byDtz && tb_probe_root_wdl(tb.white, tb.black, tb.kings, tb.queens, tb.rooks, tb.bishops, tb.knights,
                                    tb.pawns, tb.rule50, 0, tb.ep, tb.whiteToMove, fiftyMoveRule, &library) == 0)
        return false;
    // The library generates the moves itself: each must be one of the
    // position's legal moves, and each legal move must be ranked.
    if (static_cast<int>(library.size) != legalCount) return false;
    for (int i = 0; i < legalCount; ++i) {
        const Move m = legal[i].move;
        const TbRootMove* found = nullptr;
        for (unsigned j = 0; j < library.size && !found; ++j) {
            const TbMove lm = library.moves[j].move;
            if (SquareOfTb(TB_MOVE_FROM(lm)) == MoveFrom(m) && SquareOfTb(TB_MOVE_TO(lm)) == MoveTo(m) &&
                static_cast<int>(TB_MOVE_PROMOTES(lm)) == LibraryPromotion(m)) {
                const int rank = library.moves[j].tbRank;
                ranking.moves[i] = {m, static_cast<int16_t>(rank), RootScore(rank, fiftyMoveRule)};
                found = &ranking.moves[i];
            }
        }
        if (!found) return false;
    }
    ranking.count = legalCount;
    ranking.byDtz = byDtz;
    return true;
}

#else  // no Fathom in this build

bool TablebaseSupport() { return false; }

int TablebasePieces() { return 0; }

TbLoadResult LoadTablebases(const std::string& paths) {
    TbLoadResult result;
    result.message = paths.empty() || paths == "<empty>" ? "Syzygy tablebases unloaded"
                                                         : "no tablebase support in this build";
    if (!(paths.empty() || paths == "<empty>")) result.problems.push_back(result.message);
    return result;
}

bool ProbeWdl(const Position&, TbWdl&) { return false; }

bool RankRootMoves(Position&, bool, TbRootRanking& ranking) {
    ranking.count = 0;
    return false;
}

#endif

}  // namespace kavrin
