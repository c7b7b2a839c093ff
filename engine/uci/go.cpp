#include "uci/go.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cinttypes>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <sstream>

#include "board/board.h"
#include "board/legal.h"
#include "board/makemove.h"
#include "board/movegen.h"
#include "board/movetext.h"
#include "book/book.h"
#include "search/control.h"
#include "search/game.h"
#include "search/root.h"
#include "search/threads.h"
#include "search/tt.h"
#include "system/clock.h"
#include "uci/input.h"
#include "uci/options.h"
#include "uci/position.h"
#include "uci/reply.h"
#include "uci/strength.h"

namespace kavrin {

namespace {

// Longest "info" line: its fixed words and figures, then the variation.
constexpr int InfoLineSize = 256 + LineMovesShown * MoveTextSize;

// The "go" in force and what has happened to it so far. The command loop
// owns it; the search thread reads the request and the start, keeps the
// clock and the progress lines, and meets the loop in the atomic fields.
struct GoState {
    GoRequest request;
    int startMs = 0;             // when "go" arrived
    int side = White;            // to move at the root
    bool active = false;         // the "bestmove" is still owed
    bool searching = false;      // a search was started for it
    Move decided = 0;            // a book move, or the answer of a "go" that needs no search
    bool holdsBestMove = false;  // infinite or pondering: "bestmove" waits for stop or ponderhit
    bool released = false;       // "stop" or "ponderhit" (or "quit") came
    bool stopReceived = false;   // "stop": the lines after it belong to the next commands
    bool quit = false;
    // The moves the search may make: "go nodes", or the strength limit's.
    uint64_t nodeLimit = 0;
    // Lines to choose the move from at random, and how far (the strength limit).
    int choiceSpreadCp = 0;
    // Written by the search thread, read by the loop once the search ended.
    bool reported = false;  // an "info" line went out
    int clockStartMs = 0;   // when the clock of the move started (the hit of a ponder search)
    IterationClock clock;
    int lastProgressMs = 0;  // the last line of search progress
    // "ponderhit" while the search ponders: the search thread switches to the
    // clock at its next poll, counting from hitMs.
    std::atomic<bool> ponderHit{false};
    std::atomic<int> hitMs{0};
};

// Iterations of the search that scores a book move.
constexpr int BookScoreDepth = 6;
// Search progress is shown from this long into a search, at most this often.
constexpr int ProgressAfterMs = 1000;

GoState state;

// The search thread rings it when a search has ended; the loop waits on it.
int wakeRead = -1;
int wakeWrite = -1;

void OpenWakePipe() {
    if (wakeRead >= 0) return;
    int fds[2];
    if (pipe2(fds, O_NONBLOCK | O_CLOEXEC) != 0) {
        std::perror("kavrin-uci: pipe");
        std::exit(1);
    }
    wakeRead = fds[0];
    wakeWrite = fds[1];
}

void SearchEnded() {
    const char byte = 1;
    // A full pipe already wakes the loop.
    [[maybe_unused]] const ssize_t n = write(wakeWrite, &byte, 1);
}

// Mate scores as moves: positive when the side to move mates, negative when
// it is mated.
void WriteScore(char* out, size_t size, int score) {
    if (score > MateScoreThreshold) {
        std::snprintf(out, size, "mate %d", (MateValue - score + 1) / 2);
    } else if (score < -MateScoreThreshold) {
        std::snprintf(out, size, "mate %d", -(MateValue + score) / 2);
    } else {
        std::snprintf(out, size, "cp %d", score);
    }
}

bool IsMateWithin(int score, int moves) { return score > MateScoreThreshold && (MateValue - score + 1) / 2 <= moves; }

bool Lists(const GoRequest& r, Move m) {
    return std::find(r.searchMoves, r.searchMoves + r.searchMoveCount, m) != r.searchMoves + r.searchMoveCount;
}

// Whether the search may play m: every move, or one of "searchmoves".
bool IsChosen(Move m) { return state.request.searchMoveCount == 0 || Lists(state.request, m); }

// The clock of the side to move takes over from startMs: the search stops
// at the limit, and each finished iteration asks the clock whether another
// may start. A fail low buys no time of its own.
void StartClock(SearchLimits& limits, int startMs) {
    const TimeBudget budget = PlanTime(state.request, state.side, uciOptions.moveOverheadMs);
    limits.searchStart = startMs;
    limits.untimed = !budget.timed;
    limits.timeAllotment = budget.limitMs;
    limits.timeCeiling = budget.timed ? budget.limitMs : INT_MAX;
    limits.movesToGo = 0;
    state.clockStartMs = startMs;
    state.clock = IterationClock(budget);
}

// The commands a running "go" answers at once; the others wait.
LineVerdict HandleDuringGo(const char* word) {
    if (word[0] == '\0') return LineVerdict::Taken;
    // After "stop", and from the next "go" on, the commands belong to what
    // comes next.
    if (state.stopReceived || std::strcmp(word, "go") == 0) return LineVerdict::StopHere;
    const bool isready = std::strcmp(word, "isready") == 0;
    const bool stop = std::strcmp(word, "stop") == 0;
    const bool ponderhit = std::strcmp(word, "ponderhit") == 0;
    const bool quit = std::strcmp(word, "quit") == 0;
    if (!isready && !stop && !ponderhit && !quit) return LineVerdict::Kept;
    LogLine(std::string("::cmd:: ") + word);
    if (isready) {
        Reply("readyok");
    } else if (ponderhit) {
        if (state.request.ponder && !state.released && state.searching) {
            state.hitMs.store(ClockMs(), std::memory_order_relaxed);
            state.ponderHit.store(true, std::memory_order_release);
        }
        state.released = true;
    } else {
        state.stopReceived = stop;
        state.quit = quit;
        state.released = true;
        if (state.searching) searchThreads.Stop();
    }
    return LineVerdict::Taken;
}

// A line of search progress: the moves made, their rate, the table's fill
// and the time.
void PrintProgress(int now) {
    state.lastProgressMs = now;
    const uint64_t nodes = searchThreads.TotalNodes();
    const int elapsed = std::max(now - state.startMs, 1);
    Reply("info nodes %" PRIu64 " nps %" PRIu64 " hashfull %d time %d", nodes,
          nodes * 1000 / static_cast<uint64_t>(elapsed), TTPermillFull(), elapsed);
}

// Asked by the search's main thread at its polls: a ponder hit switches the
// search to the clock; a node limit reached ends it; from a second into the
// search its progress is shown once a second.
bool SearchMustEnd() {
    if (state.ponderHit.exchange(false, std::memory_order_acquire)) {
        SearchLimits& limits = searchThreads.Main().Limits();
        limits.pondering = false;
        StartClock(limits, state.hitMs.load(std::memory_order_relaxed));
    }
    const int now = ClockMs();
    if (now - state.startMs >= ProgressAfterMs && now - state.lastProgressMs >= ProgressAfterMs) PrintProgress(now);
    return state.nodeLimit != 0 && searchThreads.TotalNodes() >= state.nodeLimit;
}

// Each root move of the search, once it has run a second.
void PrintRootMove(int depth, Move move, int number) {
    if (ClockMs() - state.startMs < ProgressAfterMs) return;
    char text[MoveTextSize];
    MoveToText(text, move);
    Reply("info depth %d currmove %s currmovenumber %d", depth, text, number);
}

// One line of an iteration: "info depth ... multipv K score ... pv ...".
void PrintLine(int depth, int selDepth, int number, int score, const Move* pv, int pvLength) {
    const uint64_t nodes = searchThreads.TotalNodes();
    const int elapsed = std::max(ClockMs() - state.startMs, 0);
    const uint64_t nps = nodes * 1000 / static_cast<uint64_t>(std::max(elapsed, 1));
    char scoreText[32];
    WriteScore(scoreText, sizeof scoreText, score);
    char line[InfoLineSize];
    int n = std::snprintf(line, sizeof line,
                          "info depth %d seldepth %d multipv %d score %s nodes %" PRIu64 " nps %" PRIu64
                          " hashfull %d time %d pv",
                          depth, std::max(selDepth, depth), number, scoreText, nodes, nps, TTPermillFull(), elapsed);
    for (int i = 0; i < pvLength && n + MoveTextSize + 1 < InfoLineSize; ++i) {
        line[n++] = ' ';
        n = static_cast<int>(MoveToText(line + n, pv[i]) - line);
    }
    Reply("%s", line);
}

void PrintIteration(const IterationReport& report) {
    PrintLine(report.depth, report.selDepth, report.line, report.score, report.pv, report.pvLength);
    state.reported = true;
    if (report.line != report.lineCount) return;
    // After the iteration's last line: "go mate" and the node limits are
    // satisfied once an iteration shows it; the clock may want no more.
    const GoRequest& r = state.request;
    const SearchResult& result = searchThreads.Main().Result();
    const uint64_t nodes = searchThreads.TotalNodes();
    const int now = ClockMs();
    const bool mateFound = r.mate > 0 && IsMateWithin(result.bestScore, r.mate);
    const bool nodesSpent = state.nodeLimit != 0 && nodes >= state.nodeLimit;
    const bool timeSpent = !searchThreads.Main().Limits().pondering &&
                           !state.clock.StartsAnother(now - state.clockStartMs, result.bestMove, result.bestScore);
    if (mateFound || nodesSpent || timeSpent) searchThreads.Stop();
}

void WriteLogLine(const char* line) { LogLine(line); }

const SearchHooks UciSearchHooks{PrintIteration, WriteLogLine, SearchMustEnd, PrintRootMove};

void SendBestMove(Move best, Move ponder) {
    char text[MoveTextSize];
    MoveToText(text, best);
    if (ponder != 0) {
        char ponderText[MoveTextSize];
        MoveToText(ponderText, ponder);
        Reply("bestmove %s ponder %s", text, ponderText);
        LogLine(std::string("bestmove ") + text + " ponder " + ponderText);
    } else {
        Reply("bestmove %s", text);
        LogLine(std::string("bestmove ") + text);
    }
}

// The table's reply to best, when the game has room for both moves.
Move PonderMoveAfter(Move best) {
    if (!GameHasRoom(gamePosition, 2)) return 0;
    UndoRecord undo{};
    SaveForMake(gamePosition, undo);
    MakeMove(gamePosition, best, undo);
    const Move reply = TablePonderMove(gamePosition);
    UnmakeMove(gamePosition, best, undo);
    return reply;
}

// Only a game clock asks the book: analysis, fixed depths, node counts,
// mate searches and chosen root moves search.
bool AsksBook(const GoRequest& r) {
    const bool clock = r.remainingMs[gamePosition.sideToMove] >= 0 || r.moveTimeMs >= 0;
    return clock && !r.infinite && r.depth == 0 && r.nodes == 0 && r.mate == 0 && r.searchMoveCount == 0 &&
           gamePosition.gamePly < BookPlyLimit && BookInUse();
}

// Whether the search plays the game's move, under the strength limit when
// it is on: a clock or a fixed time, no analysis, no chosen root moves.
bool PlaysAtTheLimit(const GoRequest& r) {
    const bool clock = r.remainingMs[gamePosition.sideToMove] >= 0 || r.moveTimeMs >= 0;
    return uciOptions.limitStrength && clock && !r.infinite && r.depth == 0 && r.nodes == 0 && r.mate == 0 &&
           r.searchMoveCount == 0;
}

void StartSearch(const Move* rootMoves, int rootMoveCount, int maxDepth) {
    const GoRequest& r = state.request;
    SearchLimits limits;
    limits.maxDepth = maxDepth;
    limits.rootMoves = rootMoves;
    limits.rootMoveCount = rootMoveCount;
    limits.lines = uciOptions.lines;
    limits.resumeWithinMaxDepth = true;
    state.nodeLimit = r.nodes;
    state.choiceSpreadCp = 0;
    if (PlaysAtTheLimit(r)) {
        const StrengthLimit strength = StrengthFor(uciOptions.elo);
        state.nodeLimit = strength.nodes;
        state.choiceSpreadCp = strength.lines > 1 ? strength.spreadCp : 0;
        limits.lines = std::max(limits.lines, strength.lines);
    }
    state.lastProgressMs = state.startMs;
    if (r.ponder) {
        limits.searchStart = state.startMs;
        limits.untimed = true;
        limits.pondering = true;
        limits.movesToGo = 0;
        state.clockStartMs = state.startMs;
        state.clock = IterationClock();
    } else {
        StartClock(limits, state.startMs);
    }
    state.searching = true;
    searchThreads.StartSearch(gamePosition, limits, UciSearchHooks, SearchEnded);
}

// A random number for the strength limit's choice.
uint64_t RandomBits() {
    static std::mt19937_64 generator(static_cast<uint64_t>(ClockMs()) * 0x9E3779B97F4A7C15ull);
    return generator();
}

// The move of the search that has ended: its best, or under the strength
// limit a line chosen among the best, shown again last as the first line:
// the line the engine plays is the one an interface reads as its choice.
Move SearchedMove() {
    const SearchWorker& main = searchThreads.Main();
    if (state.choiceSpreadCp == 0 || main.LineCount() < 2) return main.Result().bestMove;
    int scores[MaxSearchLines];
    for (int i = 0; i < main.LineCount(); ++i) scores[i] = main.Line(i).score;
    const int chosen = ChooseLine(scores, main.LineCount(), state.choiceSpreadCp, RandomBits());
    const RootLine& line = main.Line(chosen);
    if (chosen != 0) PrintLine(line.depth, line.selDepth, 1, line.score, line.moves, line.length);
    return line.moves[0];
}

// The "bestmove" of the search that has ended.
void AnswerSearch() {
    const GoRequest& r = state.request;
    const Move found = state.decided != 0 ? state.decided : SearchedMove();
    // A root already drawn by rule is not searched: any legal move will do.
    if (!state.reported &&
        (found == ResultRepetition || found == ResultFiftyMoves || found == ResultInsufficientMaterial))
        Reply("info depth 0 score cp 0");
    // A stop before the first iteration, or a table move that is not to be
    // trusted, leaves the first legal (chosen) move.
    Move best = found;
    if (!IsLegalMove(gamePosition, best) || !IsChosen(best))
        best = r.searchMoveCount > 0 ? r.searchMoves[0] : FirstLegalMove(gamePosition);
    // A search stopped before its first iteration finished still gives the
    // score the table holds for the move it plays.
    if (!state.reported) {
        TTEntry e;
        if (ProbeTT(gamePosition, e) && EntryMove(e) == best) {
            PrintLine(EntryDepth(e), EntryDepth(e), 1, EntryScore(e), &best, 1);
            state.reported = true;
        }
    }
    if (state.decided != 0) InfoString("book move");
    SendBestMove(best, PonderMoveAfter(best));
}

// Sends the answer of a root without moves.
void AnswerNoMove() {
    Reply("bestmove (none)");
    LogLine("bestmove (none)");
}

// Reads a number after a go word; false, with a message, when none follows.
bool ReadNumber(std::istringstream& in, const std::string& word, long long& value) {
    std::string text;
    char* end = nullptr;
    if (in >> text) value = std::strtoll(text.c_str(), &end, 10);
    if (end == nullptr || end == text.c_str() || *end != '\0') {
        InfoString("go: %s needs a number, not \"%s\"", word.c_str(), text.c_str());
        return false;
    }
    return true;
}

int ClampToInt(long long v, long long min) { return static_cast<int>(std::clamp<long long>(v, min, INT_MAX)); }

}  // namespace

void ReadGoRequest(const std::string& words, GoRequest& r) {
    r = GoRequest{};
    std::istringstream in(words);
    std::string word;
    bool movesFollow = false;
    while (in >> word) {
        long long v = 0;
        if (word == "infinite") {
            r.infinite = true;
        } else if (word == "ponder") {
            r.ponder = true;
        } else if (word == "searchmoves") {
            movesFollow = true;
            continue;
        } else if (word == "wtime" || word == "btime") {
            if (ReadNumber(in, word, v)) r.remainingMs[word[0] == 'w' ? White : Black] = ClampToInt(v, 0);
        } else if (word == "winc" || word == "binc") {
            if (ReadNumber(in, word, v)) r.incrementMs[word[0] == 'w' ? White : Black] = ClampToInt(v, 0);
        } else if (word == "movestogo") {
            if (ReadNumber(in, word, v)) r.movesToGo = ClampToInt(v, 0);
        } else if (word == "movetime") {
            if (ReadNumber(in, word, v)) r.moveTimeMs = ClampToInt(v, 0);
        } else if (word == "depth") {
            if (ReadNumber(in, word, v)) r.depth = ClampToInt(v, 0);
        } else if (word == "mate") {
            if (ReadNumber(in, word, v)) r.mate = ClampToInt(v, 0);
        } else if (word == "nodes") {
            if (ReadNumber(in, word, v)) r.nodes = static_cast<uint64_t>(std::max(v, 0LL));
        } else if (movesFollow) {
            const Move m = LegalMoveOfText(word);
            if (m == 0) {
                InfoString("go: searchmoves: no legal move %s", word.c_str());
            } else if (!Lists(r, m)) {
                r.searchMoves[r.searchMoveCount++] = m;
            }
            continue;
        } else {
            InfoString("go: unknown word %s", word.c_str());
        }
        movesFollow = false;
    }
}

void GoCommand(const std::string& words) {
    OpenWakePipe();
    state.request = GoRequest{};
    state.startMs = ClockMs();
    state.side = gamePosition.sideToMove;
    state.active = true;
    state.searching = false;
    state.decided = 0;
    state.released = false;
    state.stopReceived = false;
    state.quit = false;
    state.reported = false;
    state.ponderHit.store(false, std::memory_order_relaxed);
    ReadGoRequest(words, state.request);
    const GoRequest& r = state.request;
    state.holdsBestMove = r.infinite || r.ponder;
    PrepareBooks();

    // 1. No legal move: mated or stalemate, nothing to search.
    if (FirstLegalMove(gamePosition) == 0) {
        CheckInfo check;
        ComputeCheckers(gamePosition, check);
        Reply("info depth 0 score %s", check.checkers ? "mate 0" : "cp 0");
        return;
    }

    // 2. A book move, at once; a short search of it alone gives its score.
    const Move bookMove = AsksBook(r) ? BookInUseMove(gamePosition) : 0;
    if (bookMove != 0 && IsLegalMove(gamePosition, bookMove)) {
        state.decided = bookMove;
        StartSearch(&state.decided, 1, BookScoreDepth);
        return;
    }

    // 3. The search, on its own threads.
    StartSearch(r.searchMoves, r.searchMoveCount,
                r.depth > 0 ? std::clamp(r.depth, FirstIterationDepth, MaxDepth) : MaxDepth);
}

bool GoActive() { return state.active; }

namespace {

// The search (if any) has ended, and nothing holds the move back.
bool BestMoveDue() {
    if (state.searching && searchThreads.Searching()) return false;
    return !state.holdsBestMove || state.released;
}

}  // namespace

bool ServeGo() {
    // A move that is due goes out before anything that came after the "go".
    if (!BestMoveDue()) {
        OfferNewLines(HandleDuringGo);
        if (InputEnded() && !state.quit) {
            state.quit = true;
            state.released = true;
            if (state.searching) searchThreads.Stop();
        }
        if (!BestMoveDue()) return false;
    }
    if (state.searching) {
        AnswerSearch();
    } else {
        AnswerNoMove();
    }
    state.active = false;
    state.searching = false;
    return true;
}

void WaitForGoEvent() { WaitForInputOrWake(wakeRead); }

bool QuitRequested() { return state.quit; }

void AbandonGo() {
    if (!state.active) return;
    state.quit = true;
    state.released = true;
    if (state.searching) {
        searchThreads.Stop();
        searchThreads.WaitForSearch();
    }
    ServeGo();
}

}  // namespace kavrin
