#include "uci/go.h"

#include <algorithm>
#include <cinttypes>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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
#include "search/tt.h"
#include "system/clock.h"
#include "system/log.h"
#include "uci/input.h"
#include "uci/options.h"
#include "uci/position.h"
#include "uci/reply.h"

namespace kavrin {

namespace {

// Longest "info" line: its fixed words and figures, then the variation.
constexpr int InfoLineSize = 256 + PvMovesShown * MoveTextSize;

// The request in force and what has happened to its search so far.
struct SearchState {
    GoRequest request;
    int startMs = 0;             // when "go" arrived
    int side = White;            // to move at the root (the Board moves on during the search)
    bool holdsBestMove = false;  // infinite or pondering: "bestmove" waits for stop or ponderhit
    bool released = false;       // "stop" or "ponderhit" (or "quit") came
    bool stopReceived = false;   // "stop": the lines after it belong to the next commands
    bool quit = false;
    bool reported = false;       // an "info" line went out
    uint32_t lastNodeCount = 0;  // nodeCount when last looked at, to count its wraps
    uint64_t nodeWraps = 0;
};

SearchState state;

uint64_t SearchNodes() {
    if (nodeCount < state.lastNodeCount) ++state.nodeWraps;
    state.lastNodeCount = nodeCount;
    return (state.nodeWraps << 32) | nodeCount;
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

// The clock of the side to move takes over: the allotment counts from
// startMs.
void StartClock(int startMs) {
    const TimeBudget budget = PlanTime(state.request, state.side, gamePly, uciOptions.moveOverheadMs);
    searchLimits.searchStart = startMs;
    searchLimits.untimed = !budget.timed;
    searchLimits.timeAllotment = budget.allotmentMs;
    searchLimits.timeCeiling = budget.timed ? budget.ceilingMs : INT_MAX;
    searchLimits.movesToGo = budget.movesToGo;
}

// The commands a running search answers at once; the others wait.
LineVerdict HandleDuringSearch(const char* word) {
    if (word[0] == '\0') return LineVerdict::Taken;
    // After "stop", and from the next "go" on, the commands belong to what
    // comes next.
    if (state.stopReceived || std::strcmp(word, "go") == 0) return LineVerdict::StopHere;
    const bool isready = std::strcmp(word, "isready") == 0;
    const bool stop = std::strcmp(word, "stop") == 0;
    const bool ponderhit = std::strcmp(word, "ponderhit") == 0;
    const bool quit = std::strcmp(word, "quit") == 0;
    if (!isready && !stop && !ponderhit && !quit) return LineVerdict::Kept;
    logStream << "::cmd:: " << word << std::endl;
    if (isready) {
        Reply("readyok");
    } else if (ponderhit) {
        if (searchLimits.pondering) {
            searchLimits.pondering = false;
            StartClock(ClockMs());
        }
        state.released = true;
    } else {
        state.stopReceived = stop;
        state.quit = quit;
        state.released = true;
    }
    return LineVerdict::Taken;
}

// Reads what is waiting and answers it; true when the search must end.
bool InterfaceWantsStop() {
    ReadWaitingInput();
    OfferNewLines(HandleDuringSearch);
    if (InputEnded()) state.quit = true;
    const uint64_t limit = state.request.nodes;
    return state.stopReceived || state.quit || (limit != 0 && SearchNodes() >= limit);
}

void PrintIteration(const IterationReport& report) {
    const uint64_t nodes = SearchNodes();
    const int elapsed = std::max(ClockMs() - state.startMs, 0);
    const uint64_t nps = nodes * 1000 / static_cast<uint64_t>(std::max(elapsed, 1));
    char score[32];
    WriteScore(score, sizeof score, report.score);
    char line[InfoLineSize];
    int n = std::snprintf(line, sizeof line,
                          "info depth %d seldepth %d score %s nodes %" PRIu64 " nps %" PRIu64 " hashfull %d time %d pv",
                          report.depth, std::max(report.selDepth, report.depth), score, nodes, nps, TTPermillFull(),
                          elapsed);
    // The variation read back from the table, when it starts with the
    // iteration's move (a deeper entry of an earlier search may keep the
    // root's slot); otherwise that move alone.
    const bool tableLine = report.pvLength > 0 && report.pv[0] == searchResult.bestMove;
    const Move* pv = tableLine ? report.pv : &searchResult.bestMove;
    const int pvLength = tableLine ? report.pvLength : 1;
    for (int i = 0; i < pvLength && n + MoveTextSize + 1 < InfoLineSize; ++i) {
        line[n++] = ' ';
        n = static_cast<int>(MoveToText(line + n, pv[i]) - line);
    }
    Reply("%s", line);
    state.reported = true;
    // "go mate" and "go nodes" are satisfied once an iteration shows it.
    const GoRequest& r = state.request;
    if ((r.mate > 0 && IsMateWithin(report.score, r.mate)) || (r.nodes != 0 && nodes >= r.nodes)) stopSearch = true;
}

void WriteLogLine(const char* line) {
    if (logStream.is_open()) logStream << line << std::endl;
}

const SearchHooks UciSearchHooks{PrintIteration, WriteLogLine, InterfaceWantsStop};

// Waits for "stop" or "ponderhit" while a held "bestmove" waits, answering
// "isready" meanwhile; the end of input counts as "quit".
void HoldBestMove() {
    while (state.holdsBestMove && !state.released && !state.quit) {
        OfferNewLines(HandleDuringSearch);
        if (state.released || state.quit) break;
        if (!ReadMoreInput()) state.quit = true;
    }
}

void SendBestMove(Move best, Move ponder) {
    char text[MoveTextSize];
    MoveToText(text, best);
    if (ponder != 0) {
        char ponderText[MoveTextSize];
        MoveToText(ponderText, ponder);
        Reply("bestmove %s ponder %s", text, ponderText);
        logStream << "bestmove " << text << " ponder " << ponderText << std::endl;
    } else {
        Reply("bestmove %s", text);
        logStream << "bestmove " << text << std::endl;
    }
}

// The table's reply to best, when the game has room for both moves.
Move PonderMoveAfter(Move best) {
    if (!GameHasRoom(2)) return 0;
    PlyRecord ply{};
    SaveForMake(&ply);
    MakeMove(best, &ply);
    const Move reply = TablePonderMove();
    UnmakeMove(best, &ply);
    return reply;
}

// Only a game clock asks the book: analysis, fixed depths, node counts,
// mate searches and chosen root moves search.
bool AsksBook(const GoRequest& r) {
    const bool clock = r.remainingMs[sideToMove] >= 0 || r.moveTimeMs >= 0;
    return clock && !r.infinite && r.depth == 0 && r.nodes == 0 && r.mate == 0 && r.searchMoveCount == 0 &&
           gamePly < BookPlyLimit && BookInUse();
}

void RunSearch() {
    const GoRequest& r = state.request;
    searchLimits = SearchLimits{};
    searchLimits.maxDepth = r.depth > 0 ? std::clamp(r.depth, FirstIterationDepth, MaxDepth) : MaxDepth;
    searchLimits.rootMoves = r.searchMoves;
    searchLimits.rootMoveCount = r.searchMoveCount;
    if (r.ponder) {
        searchLimits.searchStart = state.startMs;
        searchLimits.untimed = true;
        searchLimits.pondering = true;
        searchLimits.movesToGo = 0;
    } else {
        StartClock(state.startMs);
    }
    searchHooks = UciSearchHooks;
    stopSearch = false;
    currentPly = plyStack;
    IterativeDeepening();
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
    state = SearchState{};
    state.startMs = ClockMs();
    state.side = sideToMove;
    ReadGoRequest(words, state.request);
    const GoRequest& r = state.request;
    state.holdsBestMove = r.infinite || r.ponder;
    PrepareBooks();

    // 1. No legal move: mated or stalemate, nothing to search.
    if (FirstLegalMove() == 0) {
        PlyRecord root{};
        ComputeCheckers(&root);
        Reply("info depth 0 score %s", root.checkers ? "mate 0" : "cp 0");
        HoldBestMove();
        Reply("bestmove (none)");
        logStream << "bestmove (none)" << std::endl;
        return;
    }

    // 2. A book move, at once.
    const Move bookMove = AsksBook(r) ? BookProbe() : 0;
    if (bookMove != 0 && IsLegalMove(bookMove)) {
        HoldBestMove();
        InfoString("book move");
        SendBestMove(bookMove, PonderMoveAfter(bookMove));
        return;
    }

    // 3. The search. A root already drawn by rule is not searched: any legal
    // move will do.
    RunSearch();
    const Move found = searchResult.bestMove;
    if (!state.reported &&
        (found == ResultRepetition || found == ResultFiftyMoves || found == ResultInsufficientMaterial))
        Reply("info depth 0 score cp 0");
    HoldBestMove();

    // 4. The move: a stop before the first iteration, or a table move that is
    // not to be trusted, leaves the first legal (chosen) move.
    Move best = found;
    if (!IsLegalMove(best) || !IsChosen(best)) best = r.searchMoveCount > 0 ? r.searchMoves[0] : FirstLegalMove();
    SendBestMove(best, PonderMoveAfter(best));
}

bool QuitRequested() { return state.quit; }

}  // namespace kavrin
