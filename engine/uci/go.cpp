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
#include "search/engine.h"
#include "search/game.h"
#include "search/root.h"
#include "search/tablebase.h"
#include "search/tb_position.h"
#include "system/clock.h"
#include "uci/input.h"
#include "uci/options.h"
#include "uci/position.h"
#include "uci/reply.h"
#include "uci/score.h"
#include "uci/session.h"
#include "uci/strength.h"

namespace kavrin {

namespace {

// Longest "info" line: its fixed words and figures, then the variation.
constexpr int InfoLineSize = 256 + LineMovesShown * MoveTextSize;

// Iterations of the search that scores a book move.
constexpr int BookScoreDepth = 6;
// Search progress is shown from this long into a search, at most this often.
constexpr int ProgressAfterMs = 1000;

void OpenWakePipe(UciSession& session) {
    if (session.wakeRead >= 0) return;
    int fds[2];
    if (pipe2(fds, O_NONBLOCK | O_CLOEXEC) != 0) {
        std::perror("kavrin-uci: pipe");
        std::exit(1);
    }
    session.wakeRead = fds[0];
    session.wakeWrite = fds[1];
}

// The score of an "info" line as UCI shows it, and with UCI_ShowWDL the
// chances of the side to move from the root's material after it;
// provenDraw: a draw the tables or the rules prove.
void WriteScoreText(UciSession& session, char* out, size_t size, int score, bool provenDraw) {
    WriteUciScore(out, size, score);
    if (!session.options.showWdl) return;
    const size_t used = std::strlen(out);
    if (used + 1 >= size) return;
    out[used] = ' ';
    WriteUciWdl(out + used + 1, size - used - 1, score, session.Game().board.totalMaterial, provenDraw);
}

bool Lists(const GoRequest& r, Move m) {
    return std::find(r.searchMoves, r.searchMoves + r.searchMoveCount, m) != r.searchMoves + r.searchMoveCount;
}

// Whether the search may play m: every move, or one of those it was given.
bool IsChosen(UciSession& session, Move m) {
    const GoState& go = session.go;
    return go.rootMoveCount == 0 || std::find(go.rootMoves, go.rootMoves + go.rootMoveCount, m) !=
                                        go.rootMoves + go.rootMoveCount;
}

// Positions found in the tables: the search's, and the root's moves when
// the tables ranked them.
uint64_t TbHits(UciSession& session) {
    const uint64_t rootProbes = session.go.rootInTables ? static_cast<uint64_t>(session.go.tbRanking.count) : 0;
    return session.engine.Threads().TotalTbHits() + rootProbes;
}

// The commands a running "go" answers at once; the others wait.
LineVerdict HandleDuringGo(UciSession& session, const char* word) {
    if (word[0] == '\0') return LineVerdict::Taken;
    // After "stop", and from the next "go" on, the commands belong to what
    // comes next.
    if (session.go.stopReceived || std::strcmp(word, "go") == 0) return LineVerdict::StopHere;
    const bool isready = std::strcmp(word, "isready") == 0;
    const bool stop = std::strcmp(word, "stop") == 0;
    const bool ponderhit = std::strcmp(word, "ponderhit") == 0;
    const bool quit = std::strcmp(word, "quit") == 0;
    if (!isready && !stop && !ponderhit && !quit) return LineVerdict::Kept;
    session.out.LogLine(std::string("::cmd:: ") + word);
    if (isready) {
        session.out.Reply("readyok");
    } else if (ponderhit) {
        if (session.go.request.ponder && !session.go.released && session.go.searching)
            session.engine.Threads().PonderHit(ClockMs());
        session.go.released = true;
    } else {
        session.go.stopReceived = stop;
        session.go.quit = quit;
        session.go.released = true;
        if (session.go.searching) session.engine.Threads().Stop();
    }
    return LineVerdict::Taken;
}

// A line of search progress: the moves made, their rate, the table's fill
// and the time.
void PrintProgress(UciSession& session, int now) {
    session.go.lastProgressMs = now;
    const uint64_t nodes = session.engine.Threads().TotalNodes();
    const int elapsed = std::max(now - session.go.startMs, 1);
    session.out.Reply("info nodes %" PRIu64 " nps %" PRIu64 " hashfull %d tbhits %" PRIu64 " time %d", nodes,
                      nodes * 1000 / static_cast<uint64_t>(elapsed), session.engine.Table().PermillFull(),
                      TbHits(session), elapsed);
}

// One line of an iteration: "info depth ... multipv K score ... pv ...".
void PrintLine(UciSession& session, int depth, int selDepth, int number, int score, const Move* pv, int pvLength) {
    const uint64_t nodes = session.engine.Threads().TotalNodes();
    const int elapsed = std::max(ClockMs() - session.go.startMs, 0);
    const uint64_t nps = nodes * 1000 / static_cast<uint64_t>(std::max(elapsed, 1));
    // At a root in the tables a line shows the tables' score of its move,
    // unless the search has found a mate.
    bool provenDraw = false;
    if (session.go.rootInTables && pvLength > 0 && score >= -TbWinValue && score <= TbWinValue) {
        const TbRootRanking& ranking = session.go.tbRanking;
        for (int i = 0; i < ranking.count; ++i) {
            if (ranking.moves[i].move != pv[0]) continue;
            score = ranking.moves[i].score;
            provenDraw = ranking.moves[i].rank == 0;
        }
    }
    char scoreText[64];
    WriteScoreText(session, scoreText, sizeof scoreText, score, provenDraw);
    char line[InfoLineSize];
    int n = std::snprintf(line, sizeof line,
                          "info depth %d seldepth %d multipv %d score %s nodes %" PRIu64 " nps %" PRIu64
                          " hashfull %d tbhits %" PRIu64 " time %d pv",
                          depth, std::max(selDepth, depth), number, scoreText, nodes, nps,
                          session.engine.Table().PermillFull(), TbHits(session), elapsed);
    for (int i = 0; i < pvLength && n + MoveTextSize + 1 < InfoLineSize; ++i) {
        line[n++] = ' ';
        n = static_cast<int>(MoveToText(line + n, pv[i]) - line);
    }
    session.out.Reply("%s", line);
}

void SendBestMove(UciSession& session, Move best, Move ponder) {
    char text[MoveTextSize];
    MoveToText(text, best);
    if (ponder != 0) {
        char ponderText[MoveTextSize];
        MoveToText(ponderText, ponder);
        session.out.Reply("bestmove %s ponder %s", text, ponderText);
        session.out.LogLine(std::string("bestmove ") + text + " ponder " + ponderText);
    } else {
        session.out.Reply("bestmove %s", text);
        session.out.LogLine(std::string("bestmove ") + text);
    }
}

// The table's reply to best, when the game has room for both moves.
Move PonderMoveAfter(UciSession& session, Move best) {
    if (!GameHasRoom(session.Game(), 2)) return 0;
    UndoRecord undo{};
    SaveForMake(session.Game(), undo);
    MakeMove(session.Game(), best, undo);
    const Move reply = session.engine.TablePonderMove(session.Game());
    UnmakeMove(session.Game(), best, undo);
    return reply;
}

// Only a game clock asks the book: analysis, fixed depths, node counts,
// mate searches and chosen root moves search.
bool AsksBook(UciSession& session, const GoRequest& r) {
    const bool clock = r.remainingMs[session.Game().sideToMove] >= 0 || r.moveTimeMs >= 0;
    return clock && !r.infinite && r.depth == 0 && r.nodes == 0 && r.mate == 0 && r.searchMoveCount == 0 &&
           session.Game().gamePly < BookPlyLimit && BookInUse(session);
}

// Whether the search plays the game's move, under the strength limit when
// it is on: a clock or a fixed time, no analysis, no chosen root moves.
bool PlaysAtTheLimit(UciSession& session, const GoRequest& r) {
    const bool clock = r.remainingMs[session.Game().sideToMove] >= 0 || r.moveTimeMs >= 0;
    return session.options.limitStrength && clock && !r.infinite && r.depth == 0 && r.nodes == 0 && r.mate == 0 &&
           r.searchMoveCount == 0;
}

// A root in the Syzygy tables: its moves (those of "searchmoves" when
// given) ranked, and only those that keep the best rank left to the search:
// the moves that keep the win, or the draw, under the fifty-move rule when
// Syzygy50MoveRule is on. False when the root is not in the tables.
bool KeepTablebaseRootMoves(UciSession& session) {
    GoState& go = session.go;
    const EngineOptions& options = session.engine.Options();
    TbRootRanking& ranking = go.tbRanking;
    go.rootInTables = false;
    if (PieceCount(session.Game().board) > std::min(options.tbProbeLimit, TablebasePieces()) ||
        !RankRootMoves(session.Game(), options.tbFiftyMoveRule, ranking))
        return false;
    if (go.request.searchMoveCount > 0) {
        int listed = 0;
        for (int i = 0; i < ranking.count; ++i)
            if (Lists(go.request, ranking.moves[i].move)) ranking.moves[listed++] = ranking.moves[i];
        ranking.count = listed;
    }
    go.rootMoveCount = KeepBestRanked(ranking);
    for (int i = 0; i < go.rootMoveCount; ++i) go.rootMoves[i] = ranking.moves[i].move;
    go.rootInTables = true;
    return true;
}

// The root moves of a search of the game's move: those of "searchmoves",
// fewer when the tables rank the root; and the probes of the search. A root
// ranked by DTZ needs none: its moves already keep the result, and the
// search only chooses among them. Ranked by WDL alone, the search of a won
// root probes on, to find its way to the win.
TablebaseProbes ChooseRootMoves(UciSession& session) {
    GoState& go = session.go;
    const GoRequest& r = go.request;
    go.rootMoveCount = r.searchMoveCount;
    std::copy(r.searchMoves, r.searchMoves + r.searchMoveCount, go.rootMoves);
    if (!KeepTablebaseRootMoves(session)) return SearchProbes(session.engine.Options());
    const TbRootRanking& ranking = go.tbRanking;
    if (ranking.byDtz || ranking.moves[0].rank <= 0) return TablebaseProbes{};
    return SearchProbes(session.engine.Options());
}

void StartSearch(UciSession& session, const Move* rootMoves, int rootMoveCount, int maxDepth,
                 const TablebaseProbes& probes) {
    const GoRequest& r = session.go.request;
    SearchLimits limits;
    limits.maxDepth = maxDepth;
    limits.rootMoves = rootMoves;
    limits.rootMoveCount = rootMoveCount;
    limits.tablebases = probes;
    limits.lines = session.engine.Options().lines;
    limits.resumeWithinMaxDepth = true;
    limits.nodes = r.nodes;
    limits.mate = r.mate;
    session.go.choiceSpreadCp = 0;
    // The levels were measured with kavrin's own search and keep it: a
    // budget of moves buys a stronger move from kavrin-uci's search.
    SearchProfile profile = session.engine.Options().profile;
    if (PlaysAtTheLimit(session, r)) {
        profile = SearchProfile::Classic;
        const StrengthLimit strength = StrengthFor(session.options.elo);
        limits.nodes = strength.nodes;
        session.go.choiceSpreadCp = strength.lines > 1 ? strength.spreadCp : 0;
        limits.lines = std::max(limits.lines, strength.lines);
    }
    session.go.lastProgressMs = session.go.startMs;
    // The search plans the move's time from the clock of the side to move;
    // a ponder search keeps no clock until "ponderhit".
    limits.plansTime = true;
    limits.moveClock = ClockOf(r, session.go.side, session.options.moveOverheadMs);
    limits.searchStart = session.go.startMs;
    if (r.ponder) {
        limits.untimed = true;
        limits.pondering = true;
        limits.movesToGo = 0;
    }
    session.go.searching = true;
    session.engine.StartSearchWith(profile, limits, &session);
}

// The move of the search that has ended: its best, or under the strength
// limit a line chosen among the best, shown again last as the first line:
// the line the engine plays is the one an interface reads as its choice.
Move SearchedMove(UciSession& session) {
    const SearchWorker& main = session.engine.Threads().Main();
    if (session.go.choiceSpreadCp == 0 || main.LineCount() < 2) return main.Result().bestMove;
    int scores[MaxSearchLines];
    for (int i = 0; i < main.LineCount(); ++i) scores[i] = main.Line(i).score;
    const int chosen = ChooseLine(scores, main.LineCount(), session.go.choiceSpreadCp, session.random());
    const RootLine& line = main.Line(chosen);
    if (chosen != 0) PrintLine(session, line.depth, line.selDepth, 1, line.score, line.moves, line.length);
    return line.moves[0];
}

// The "bestmove" of the search that has ended.
void AnswerSearch(UciSession& session) {
    const Move found = session.go.decided != 0 ? session.go.decided : SearchedMove(session);
    // A root already drawn by rule is not searched: any legal move will do.
    if (!session.go.reported &&
        (found == ResultRepetition || found == ResultFiftyMoves || found == ResultInsufficientMaterial)) {
        char scoreText[64];
        WriteScoreText(session, scoreText, sizeof scoreText, 0, true);
        session.out.Reply("info depth 0 score %s", scoreText);
    }
    // A stop before the first iteration, or a table move that is not to be
    // trusted, leaves the first legal (chosen) move.
    Move best = found;
    if (!IsLegalMove(session.Game(), best) || !IsChosen(session, best))
        best = session.go.rootMoveCount > 0 ? session.go.rootMoves[0] : FirstLegalMove(session.Game());
    // A search stopped before its first iteration finished still gives the
    // score the table holds for the move it plays.
    if (!session.go.reported) {
        TTEntry e;
        if (session.engine.Table().Probe(session.Game(), e) && EntryMove(e) == best) {
            PrintLine(session, EntryDepth(e), EntryDepth(e), 1, EntryScore(e), &best, 1);
            session.go.reported = true;
        }
    }
    if (session.go.decided != 0) session.out.InfoString("book move");
    SendBestMove(session, best, PonderMoveAfter(session, best));
}

// Sends the answer of a root without moves.
void AnswerNoMove(UciSession& session) {
    session.out.Reply("bestmove (none)");
    session.out.LogLine("bestmove (none)");
}

// Reads a number after a go word; false, with a message, when none follows.
bool ReadNumber(UciSession& session, std::istringstream& in, const std::string& word, long long& value) {
    std::string text;
    char* end = nullptr;
    if (in >> text) value = std::strtoll(text.c_str(), &end, 10);
    if (end == nullptr || end == text.c_str() || *end != '\0') {
        session.out.InfoString("go: %s needs a number, not \"%s\"", word.c_str(), text.c_str());
        return false;
    }
    return true;
}

int ClampToInt(long long v, long long min) { return static_cast<int>(std::clamp<long long>(v, min, INT_MAX)); }

}  // namespace

void ReadGoRequest(UciSession& session, const std::string& words, GoRequest& r) {
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
            if (ReadNumber(session, in, word, v)) r.remainingMs[word[0] == 'w' ? White : Black] = ClampToInt(v, 0);
        } else if (word == "winc" || word == "binc") {
            if (ReadNumber(session, in, word, v)) r.incrementMs[word[0] == 'w' ? White : Black] = ClampToInt(v, 0);
        } else if (word == "movestogo") {
            if (ReadNumber(session, in, word, v)) r.movesToGo = ClampToInt(v, 0);
        } else if (word == "movetime") {
            if (ReadNumber(session, in, word, v)) r.moveTimeMs = ClampToInt(v, 0);
        } else if (word == "depth") {
            if (ReadNumber(session, in, word, v)) r.depth = ClampToInt(v, 0);
        } else if (word == "mate") {
            if (ReadNumber(session, in, word, v)) r.mate = ClampToInt(v, 0);
        } else if (word == "nodes") {
            if (ReadNumber(session, in, word, v)) r.nodes = static_cast<uint64_t>(std::max(v, 0LL));
        } else if (movesFollow) {
            const Move m = LegalMoveOfText(session.Game(), word);
            if (m == 0) {
                session.out.InfoString("go: searchmoves: no legal move %s", word.c_str());
            } else if (!Lists(r, m)) {
                r.searchMoves[r.searchMoveCount++] = m;
            }
            continue;
        } else {
            session.out.InfoString("go: unknown word %s", word.c_str());
        }
        movesFollow = false;
    }
}

void GoCommand(UciSession& session, const std::string& words) {
    OpenWakePipe(session);
    session.go.request = GoRequest{};
    session.go.startMs = ClockMs();
    session.go.side = session.Game().sideToMove;
    session.go.active = true;
    session.go.searching = false;
    session.go.decided = 0;
    session.go.released = false;
    session.go.stopReceived = false;
    session.go.quit = false;
    session.go.reported = false;
    session.go.rootMoveCount = 0;
    session.go.rootInTables = false;
    ReadGoRequest(session, words, session.go.request);
    const GoRequest& r = session.go.request;
    session.go.holdsBestMove = r.infinite || r.ponder;
    PrepareBooks(session);

    // 1. No legal move: mated or stalemate, nothing to search.
    if (FirstLegalMove(session.Game()) == 0) {
        CheckInfo check;
        ComputeCheckers(session.Game(), check);
        char scoreText[64];
        WriteScoreText(session, scoreText, sizeof scoreText, check.checkers ? -MateValue : 0, !check.checkers);
        session.out.Reply("info depth 0 score %s", scoreText);
        return;
    }

    // 2. A book move, at once; a short search of it alone gives its score.
    const Move bookMove = AsksBook(session, r) ? BookInUseMove(session, session.Game()) : 0;
    if (bookMove != 0 && IsLegalMove(session.Game(), bookMove)) {
        session.go.decided = bookMove;
        StartSearch(session, &session.go.decided, 1, BookScoreDepth, TablebaseProbes{});
        return;
    }

    // 3. The search, on its own threads, of the moves chosen at the root.
    const TablebaseProbes probes = ChooseRootMoves(session);
    StartSearch(session, session.go.rootMoves, session.go.rootMoveCount,
                r.depth > 0 ? std::clamp(r.depth, FirstIterationDepth, MaxDepth) : MaxDepth, probes);
}

bool GoActive(UciSession& session) { return session.go.active; }

namespace {

// The search (if any) has ended, and nothing holds the move back.
bool BestMoveDue(UciSession& session) {
    if (session.go.searching && session.engine.Threads().Searching()) return false;
    return !session.go.holdsBestMove || session.go.released;
}

}  // namespace

bool ServeGo(UciSession& session) {
    // A move that is due goes out before anything that came after the "go".
    if (!BestMoveDue(session)) {
        OfferNewLines(*session.input, [&session](const char* word) { return HandleDuringGo(session, word); });
        if (InputEnded(*session.input) && !session.go.quit) {
            session.go.quit = true;
            session.go.released = true;
            if (session.go.searching) session.engine.Threads().Stop();
        }
        if (!BestMoveDue(session)) return false;
    }
    if (session.go.searching) {
        AnswerSearch(session);
    } else {
        AnswerNoMove(session);
    }
    session.go.active = false;
    session.go.searching = false;
    return true;
}

void WaitForGoEvent(UciSession& session) { WaitForInputOrWake(*session.input, session.wakeRead); }

bool QuitRequested(UciSession& session) { return session.go.quit; }

void AbandonGo(UciSession& session) {
    if (!session.go.active) return;
    session.go.quit = true;
    session.go.released = true;
    if (session.go.searching) {
        session.engine.Threads().Stop();
        session.engine.Threads().WaitForSearch();
    }
    ServeGo(session);
}

void UciSession::SearchFinished() {
    const char byte = 1;
    // A full pipe already wakes the loop.
    [[maybe_unused]] const ssize_t n = write(wakeWrite, &byte, 1);
}

// Asked by the search's main thread at its polls: from a second into the
// search its progress is shown once a second.
bool UciSession::StopRequested() {
    const int now = ClockMs();
    if (now - go.startMs >= ProgressAfterMs && now - go.lastProgressMs >= ProgressAfterMs) PrintProgress(*this, now);
    return false;
}

// Each root move of the search, once it has run a second.
void UciSession::RootMoveStarted(int depth, Move move, int number) {
    if (ClockMs() - go.startMs < ProgressAfterMs) return;
    char text[MoveTextSize];
    MoveToText(text, move);
    out.Reply("info depth %d currmove %s currmovenumber %d", depth, text, number);
}

// Each line of an iteration; the search itself decides whether another
// iteration follows.
void UciSession::IterationDone(const IterationReport& report) {
    PrintLine(*this, report.depth, report.selDepth, report.line, report.score, report.pv, report.pvLength);
    go.reported = true;
}

void UciSession::LogLine(const char* line) { out.LogLine(line); }

}  // namespace kavrin
