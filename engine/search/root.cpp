#include "search/root.h"

#include <algorithm>
#include <climits>
#include <cstdarg>
#include <cstdio>

#include "board/legal.h"
#include "board/movetext.h"
#include "search/node.h"
#include "search/threads.h"
#include "system/clock.h"

namespace kavrin {

namespace {

// Quiescence plies below the deepest full-width ply.
constexpr int QuiescePlies = DeepestPly - DeepestFullWidthPly;
static_assert(QuiescePlies == -QuiesceDepthLimit, "the full-width limit leaves the quiescence search its eight plies");
// Longest text BuildPvText can write: its moves, then the longest fixed text.
static_assert(PvMovesShown * MoveTextSize + 32 < PvTextSize, "the variation text fits its buffer");
// Longest note line: the variation text of an iteration and its prefix.
constexpr int LogLineSize = PvTextSize + 104;

// Moves the search line may make before the position history is full.
int HistoryRoom(const Position& pos) { return HistorySize - 1 - pos.HistoryIndex(); }

char* WriteText(char* out, const char* text) {
    while (*text) *out++ = *text++;
    *out = '\0';
    return out;
}

}  // namespace

int64_t SearchWorker::RemainingMs() const {
    if (limits.untimed) return 1;
    const int budget = limits.timeAllotment < limits.timeCeiling ? limits.timeAllotment : limits.timeCeiling;
    return static_cast<int64_t>(limits.searchStart) + budget - ClockMs();
}

void SearchWorker::Log(const char* format, ...) {
    if (reporter == nullptr) return;
    char line[LogLineSize];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    reporter->LogLine(line);
}

// Fits the deepest line into the position history left by the game: the
// node at the deepest ply makes one move more.
void SearchWorker::SetLineLimits() {
    deepestSearchPly = std::min(DeepestPly, HistoryRoom(pos) - 1);
    deepestFullWidthPly = std::min(DeepestFullWidthPly, deepestSearchPly - QuiescePlies);
}

int SearchWorker::PvStep(char* out, int n, int ply, Move* moves, bool toGameEnd) {
    *out = '\0';
    if (n == 0) return 0;
    TTEntry e;
    if (!table.Probe(pos, e)) {
        WriteText(out, "NOE ");
        return 0;
    }
    const Move m = EntryMove(e);
    if (m == 0 || MoveKindOf(m) == MarkerKind) {
        switch (m) {
            case ResultCheckmated:
                WriteText(out, "# ");
                break;
            case ResultStalemate:
                WriteText(out, "1/2 - 1/2 (stalemate)");
                break;
            case ResultRepetition:
                WriteText(out, "1/2 - 1/2 (repetition)");
                break;
            case NullMoveMarker:
                WriteText(out, "NULL");
                break;
            default:
                std::snprintf(out, 16, "ERROR: %x", static_cast<unsigned>(m));
                break;
        }
        return 0;
    }
    // Only a legal move is played.
    if (!IsLegalMove(pos, m)) return 0;
    UndoRecord& plyUndo = undo[ply];
    SaveForMake(pos, plyUndo);
    MakeMove(pos, m, plyUndo);
    if (moves) *moves++ = m;
    char* next = MoveToText(out, m);
    *next++ = ' ';
    *next = '\0';
    // A line shown to the interface ends where the game would: at a draw
    // by rule (a mated position has no move to go on with).
    const int deeper = toGameEnd && LawfulDrawCheck(pos) != 0 ? 0 : PvStep(next, n - 1, ply + 1, moves, toGameEnd);
    UnmakeMove(pos, m, plyUndo);
    return deeper + 1;
}

int SearchWorker::BuildPvText(char* out, int n, Move* moves) {
    // Every move of the text needs one more position in the history.
    return PvStep(out, std::min(n, HistoryRoom(pos)), 0, moves, false);
}

int SearchWorker::CountLegalRootMoves() {
    MoveEntry legal[MaxGeneratedMoves];
    const MoveEntry* const end = GenerateLegalMoves(pos, legal);
    if (limits.rootMoveCount == 0) return static_cast<int>(end - legal);
    int count = 0;
    for (const MoveEntry* e = legal; e != end; ++e)
        count += std::find(limits.rootMoves, limits.rootMoves + limits.rootMoveCount, e->move) !=
                 limits.rootMoves + limits.rootMoveCount;
    return count;
}

void SearchWorker::RecordLine(int number, int score) {
    RootLine& line = lines[number];
    line.depth = iterationDepth;
    line.score = score;
    line.selDepth = selDepth;
    const Move m = moveStack[number].move;
    line.moves[0] = m;
    line.length = 1;
    // A mated root has its marker and no move to play after it.
    if (MoveKindOf(m) == MarkerKind) return;
    // The variation after the move, as far as the game goes on; the root's
    // record is the one its moves are made with.
    const int room = std::min({iterationDepth, LineMovesShown, HistoryRoom(pos)}) - 1;
    UndoRecord& rootUndo = undo[0];
    SaveForMake(pos, rootUndo);
    MakeMove(pos, m, rootUndo);
    if (room > 0 && LawfulDrawCheck(pos) == 0) {
        char text[LineMovesShown * (MoveTextSize + 1) + 32];
        line.length += PvStep(text, room, 1, line.moves + 1, true);
    }
    UnmakeMove(pos, m, rootUndo);
}

// Leaves only the moves the front end chose in the root list, in their order;
// returns the new end.
MoveEntry* SearchWorker::KeepChosenRootMoves(MoveEntry* end) {
    if (limits.rootMoveCount == 0) return end;
    MoveEntry* kept = moveStack;
    for (MoveEntry* e = moveStack; e < end; ++e) {
        if (std::find(limits.rootMoves, limits.rootMoves + limits.rootMoveCount, e->move) !=
            limits.rootMoves + limits.rootMoveCount)
            *kept++ = *e;
    }
    return kept;
}

void SearchWorker::LogFen() {
    if (reporter == nullptr) return;
    char fen[FenTextSize];
    WriteFen(pos, fen);
    Log("-FEN:\t%s", fen);
}

void SearchWorker::ReportIteration() {
    if (reporter == nullptr) return;
    const int elapsed = ClockMs() - limits.searchStart;
    for (int i = 0; i < lineCount; ++i) {
        const RootLine& line = lines[i];
        const IterationReport report{iterationDepth, line.score,       nodes, elapsed,  pvText, line.moves, line.length,
                                     line.selDepth,  limits.pondering, i + 1, lineCount};
        reporter->IterationDone(report);
    }
}

void SearchWorker::TakePonderHit() {
    if (!shared.ponderHit.exchange(false, std::memory_order_acquire)) return;
    limits.pondering = false;
    timeManagement.Start(limits, shared.ponderHitMs.load(std::memory_order_relaxed));
}

bool SearchWorker::NodeLimitReached() const { return shared.threads.TotalNodes() >= limits.nodes; }

bool SearchWorker::IterationEndsSearch() {
    const int score = result.bestScore;
    const bool mateFound = limits.mate > 0 && score > MateScoreThreshold && (MateValue - score + 1) / 2 <= limits.mate;
    const bool nodesSpent = limits.nodes != 0 && NodeLimitReached();
    const bool timeSpent =
        limits.plansTime && !limits.pondering && !timeManagement.StartsAnother(ClockMs(), result.bestMove, score);
    return mateFound || nodesSpent || timeSpent;
}

Move SearchWorker::Search(const Position& root) {
    CopyPositionFrom(pos, root);
    limits = shared.limits;
    if (IsMain()) {
        reporter = shared.reporter;
        if (limits.plansTime && !limits.pondering) timeManagement.Start(limits, limits.searchStart);
    } else {
        // Helpers keep no clock and tell nobody: the main thread ends them.
        reporter = nullptr;
        limits.untimed = true;
    }
    return limits.profile == SearchProfile::Modern ? IterativeDeepening<ModernProfile>()
                                                   : IterativeDeepening<ClassicProfile>();
}

}  // namespace kavrin
