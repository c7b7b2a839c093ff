// kavrin-datagen: positions for tuning kavrin-uci's evaluation (kavrin-tune),
// from games kavrin-uci's profile plays against itself in this process, at a
// fixed number of nodes a move. Each game starts with random legal plies from
// the start position (a reproducible stream of them from --seed), keeps an
// opening only when a search finds it roughly balanced, and is adjudicated:
// mate, stalemate and the draws of the rules end it; a score that stays huge
// for several moves gives the win, one that stays near zero for long a draw.
//
// One line per kept position, "<fen> [r]" with r the game's result for White
// (1.0, 0.5, 0.0), and a blank line after each game's positions (kavrin-tune
// holds out whole games). Kept are the quiet positions of the searched part: not in
// check, the search's move neither a capture nor a promotion, and the
// position as it stands after the winning captures a quiescence search of
// kavrin-uci's tapered evaluation finds (the leaf of its line). The last
// plies before a game's end are left out.
//
// --threads N plays N games at a time, each thread with an engine of its own;
// the same seed gives the same file with one thread (with more, the games are
// the same, their order in the file may differ).
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "board/fen.h"
#include "board/legal.h"
#include "board/makemove.h"
#include "board/movegen.h"
#include "board/movetext.h"
#include "board/tables.h"
#include "search/engine.h"
#include "search/game.h"
#include "search/tapered_eval.h"
#include "system/splitmix.h"

namespace {

using namespace kavrin;

constexpr int ExitUsage = 2;

struct Options {
    uint64_t games = 0;      // 0: until positions
    uint64_t positions = 0;  // 0: until games
    uint64_t nodes = 5000;   // a move
    uint64_t seed = 1;
    int threads = 1;
    int randomPlies = 8;          // of each opening
    int openingScoreLimit = 300;  // an opening more unbalanced than this is drawn again
    const char* out = nullptr;
};

// Adjudication: a side keeps a score of WinScore or more for WinPlies plies
// in a row; the score stays within DrawScore of zero for DrawPlies plies in a
// row once DrawFromPly plies are played; a game reaching MaxGamePlies.
constexpr int WinScore = 1000;
constexpr int WinPlies = 8;
constexpr int DrawScore = 10;
constexpr int DrawPlies = 12;
constexpr int DrawFromPly = 80;
constexpr int MaxGamePlies = 400;
// Positions of the last plies before the end are left out.
constexpr int LastPliesLeftOut = 6;
// Between two looks at the node count.
constexpr uint64_t NodePollInterval = 256;
constexpr size_t TableMegabytes = 16;
// Deepest capture line of the quiescence search.
constexpr int QuiescePlies = 16;

bool ParseNumber(const char* text, uint64_t& value) {
    if (text == nullptr || *text < '0' || *text > '9') return false;
    char* end = nullptr;
    value = std::strtoull(text, &end, 10);
    return *end == '\0';
}

bool InCheck(const Position& pos) {
    CheckInfo check;
    ComputeCheckers(pos, check);
    return check.checkers != 0;
}

// The quiescence search of the tapered evaluation over the captures that do
// not lose material; line receives its moves from ply on.
int Quiesce(Position& pos, TaperedPawnCache& pawns, int alpha, int beta, int ply, Move* line, int& lineLength) {
    lineLength = ply;
    const int stand = EvaluateTapered(pos, pawns);
    if (stand >= beta || ply == QuiescePlies) return stand;
    if (stand > alpha) alpha = stand;
    int best = stand;
    MoveEntry moves[MaxGeneratedMoves];
    MoveEntry* const end = GenerateCaptures(pos, moves);
    for (MoveEntry* m = moves; m < end; ++m) {
        // Best ordering score first.
        for (MoveEntry* n = m + 1; n < end; ++n)
            if (n->score > m->score) std::swap(*m, *n);
        const int to = MoveTo(m->move);
        if (to == pos.board.kingSquare[Black] || to == pos.board.kingSquare[White]) continue;
        UndoRecord undo;
        SaveForMake(pos, undo);
        const int side = pos.sideToMove;
        MakeMove(pos, m->move, undo);
        if (IsKingAttacked(pos, m->move, side)) {
            UnmakeMove(pos, m->move, undo);
            continue;
        }
        int childLength = ply + 1;
        Move childLine[QuiescePlies + 1];
        const int score = -Quiesce(pos, pawns, -beta, -alpha, ply + 1, childLine, childLength);
        UnmakeMove(pos, m->move, undo);
        if (score > best) {
            best = score;
            line[ply] = m->move;
            for (int i = ply + 1; i < childLength; ++i) line[i] = childLine[i];
            lineLength = childLength;
            if (score > alpha) alpha = score;
            if (score >= beta) break;
        }
    }
    return best;
}

// The FEN of the quiet position the quiescence search resolves pos to, or
// an empty string when its leaf is in check.
std::string QuietFen(const Position& game, Position& scratch, TaperedPawnCache& pawns) {
    CopyPositionFrom(scratch, game);
    Move line[QuiescePlies + 1];
    int length = 0;
    Quiesce(scratch, pawns, -ScoreMax, ScoreMax, 0, line, length);
    for (int i = 0; i < length; ++i) {
        if (!GameHasRoom(scratch, 1)) return std::string();
        PlayMoveOnGame(scratch, line[i]);
    }
    if (InCheck(scratch)) return std::string();
    char fen[FenTextSize];
    WriteFen(scratch, fen);
    return fen;
}

struct GameResult {
    std::vector<std::string> fens;  // the kept positions
    const char* result;             // for White
};

// One game's player: an engine of its own, its scratch position and cache.
class Player {
  public:
    explicit Player(const Options& options) : opts(options), engine(TableMegabytes) {
        engine.Options().profile = SearchProfile::Modern;
    }

    // Plays game number index (its seed from the run's seed and the index).
    GameResult Play(uint64_t index) {
        SplitMix64 random{opts.seed * 0x100000001B3ULL + index};
        for (;;) {
            GameResult game;
            if (PlayFrom(random, game)) return game;
        }
    }

  private:
    // Searches the game position; its move, and its score for the side to move.
    Move Search(int& score) {
        SearchLimits limits;
        limits.untimed = true;
        limits.maxDepth = MaxDepth;
        limits.nodes = opts.nodes;
        limits.pollInterval = NodePollInterval;
        const Move m = engine.Search(limits, nullptr);
        score = engine.Threads().Main().Result().bestScore;
        return m;
    }

    // Random plies from the start position; false when they end the game.
    bool RandomOpening(SplitMix64& random) {
        Position& pos = engine.Game();
        if (!ReadFen(pos, InitialFen)) return false;
        engine.ResetSearchState();
        for (int i = 0; i < opts.randomPlies; ++i) {
            MoveEntry moves[MaxGeneratedMoves];
            const int count = static_cast<int>(GenerateLegalMoves(pos, moves) - moves);
            if (count == 0) return false;
            engine.PlayGameMove(moves[random.Below(count)].move);
        }
        return true;
    }

    // A game from a fresh opening; false when the opening is refused.
    bool PlayFrom(SplitMix64& random, GameResult& out) {
        if (!RandomOpening(random)) return false;
        Position& pos = engine.Game();
        int score = 0;
        Search(score);
        if (score > opts.openingScoreLimit || score < -opts.openingScoreLimit) return false;

        struct Kept {
            std::string fen;
            int ply;
        };
        std::vector<Kept> kept;
        int winPlies[2] = {0, 0};
        int drawPlies = 0;
        int ply = 0;
        const char* result = "0.5";
        for (;; ++ply) {
            // 1. The end of the game by the rules.
            MoveEntry moves[MaxGeneratedMoves];
            const bool inCheck = InCheck(pos);
            if (GenerateLegalMoves(pos, moves) == moves) {
                if (inCheck) result = pos.sideToMove == White ? "0.0" : "1.0";
                break;
            }
            if (LawfulDrawCheck(pos) != 0 || ply >= MaxGamePlies || !GameHasRoom(pos, 1)) break;

            // 2. The search's move and score.
            const Move m = Search(score);
            if (m == 0 || !IsLegalMove(pos, m)) {
                std::fprintf(stderr, "kavrin-datagen: the search gave no legal move; game dropped\n");
                return false;
            }
            const int white = pos.sideToMove == White ? score : -score;

            // 3. Adjudication.
            winPlies[White] = white >= WinScore ? winPlies[White] + 1 : 0;
            winPlies[Black] = white <= -WinScore ? winPlies[Black] + 1 : 0;
            drawPlies = (white <= DrawScore && white >= -DrawScore) ? drawPlies + 1 : 0;
            if (winPlies[White] >= WinPlies) {
                result = "1.0";
                break;
            }
            if (winPlies[Black] >= WinPlies) {
                result = "0.0";
                break;
            }
            if (ply >= DrawFromPly && drawPlies >= DrawPlies) break;

            // 4. The position, when it is quiet.
            if (!inCheck && !IsCaptureKind(MoveKindOf(m)) && !IsPromotion(m)) {
                std::string fen = QuietFen(pos, scratch, quiesceCache);
                if (!fen.empty()) kept.push_back({std::move(fen), ply});
            }
            engine.PlayGameMove(m);
        }
        for (Kept& k : kept)
            if (k.ply < ply - LastPliesLeftOut) out.fens.push_back(std::move(k.fen));
        out.result = result;
        return true;
    }

    const Options& opts;
    Engine engine;
    Position scratch;
    TaperedPawnCache quiesceCache;
};

// What the threads share: the next game to play, the output and the counts.
struct Run {
    Run(const Options& options, FILE* file) : opts(options), out(file) {}
    const Options& opts;
    FILE* out;
    std::atomic<uint64_t> nextGame{0};
    std::atomic<bool> failed{false};
    std::mutex mutex;
    uint64_t gamesDone = 0;
    uint64_t positionsDone = 0;
    uint64_t wins = 0, draws = 0, losses = 0;
    std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();

    bool MoreWanted() {
        std::lock_guard<std::mutex> lock(mutex);
        return !failed && (opts.positions == 0 || positionsDone < opts.positions);
    }

    void Progress() {
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        std::fprintf(stderr,
                     "games %" PRIu64 " (+%" PRIu64 " =%" PRIu64 " -%" PRIu64 "), positions %" PRIu64
                     ", %.0f s, %.1f positions/s\n",
                     gamesDone, wins, draws, losses, positionsDone, seconds,
                     seconds > 0 ? static_cast<double>(positionsDone) / seconds : 0.0);
    }

    void Record(const GameResult& game) {
        std::lock_guard<std::mutex> lock(mutex);
        for (const std::string& fen : game.fens)
            if (std::fprintf(out, "%s [%s]\n", fen.c_str(), game.result) < 0) failed = true;
        if (!game.fens.empty() && std::fputc('\n', out) == EOF) failed = true;
        positionsDone += game.fens.size();
        ++gamesDone;
        if (std::strcmp(game.result, "1.0") == 0)
            ++wins;
        else if (std::strcmp(game.result, "0.0") == 0)
            ++losses;
        else
            ++draws;
        if (gamesDone % 10 == 0) Progress();
    }

    void Worker() {
        const auto player = std::make_unique<Player>(opts);
        while (MoreWanted()) {
            const uint64_t index = nextGame.fetch_add(1);
            if (opts.games != 0 && index >= opts.games) break;
            Record(player->Play(index));
        }
    }
};

void Usage() {
    std::fprintf(stderr,
                 "usage: kavrin-datagen (--games N | --positions N) [--nodes N] [--seed N] [--threads N]\n"
                 "                      [--random-plies N] [--out FILE]\n"
                 "Writes \"<fen> [result]\" lines (result for White) to FILE or standard output.\n");
}

}  // namespace

int main(int argc, char** argv) {
    Options opts;
    // Every option takes a value: they come in pairs.
    for (int i = 1; i < argc; i += 2) {
        const std::string arg = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        uint64_t number = 0;
        const bool numeric = ParseNumber(value, number);
        if (arg == "--out" && value != nullptr) {
            opts.out = value;
        } else if (!numeric) {
            Usage();
            return ExitUsage;
        } else if (arg == "--games") {
            opts.games = number;
        } else if (arg == "--positions") {
            opts.positions = number;
        } else if (arg == "--nodes" && number > 0) {
            opts.nodes = number;
        } else if (arg == "--seed") {
            opts.seed = number;
        } else if (arg == "--threads" && number >= 1 && number <= 256) {
            opts.threads = static_cast<int>(number);
        } else if (arg == "--random-plies" && number <= 40) {
            opts.randomPlies = static_cast<int>(number);
        } else {
            Usage();
            return ExitUsage;
        }
    }
    if (opts.games == 0 && opts.positions == 0) {
        Usage();
        return ExitUsage;
    }
    FILE* out = stdout;
    if (opts.out != nullptr) {
        out = std::fopen(opts.out, "w");
        if (out == nullptr) {
            std::fprintf(stderr, "kavrin-datagen: cannot write %s: %s\n", opts.out, std::strerror(errno));
            return 1;
        }
    }
    BuildTables();
    Run run{opts, out};
    std::vector<std::thread> threads;
    for (int t = 1; t < opts.threads; ++t) threads.emplace_back([&run] { run.Worker(); });
    run.Worker();
    for (std::thread& t : threads) t.join();
    run.Progress();
    const bool closed = out == stdout ? std::fflush(out) == 0 : std::fclose(out) == 0;
    if (run.failed || !closed) {
        std::fprintf(stderr, "kavrin-datagen: writing the positions failed\n");
        return 1;
    }
    return 0;
}
