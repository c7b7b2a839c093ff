// One search thread's records: the position it searches with its undo
// records, the search stack, the move stack, the history counters and the
// pawn cache, its counters and where its iterations stand. Every thread of a
// search has its own; they meet only in the transposition table and in what
// SearchShared holds.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "board/board.h"
#include "search/alphabeta.h"
#include "search/control.h"
#include "search/eval.h"
#include "search/movepick.h"
#include "search/pawnhash.h"
#include "search/profile.h"
#include "search/quiesce.h"
#include "search/root.h"
#include "search/tapered_eval.h"
#include "search/timeman.h"
#include "search/tt.h"

namespace kavrin {

// What a node keeps on its ply of the search stack.
struct SearchPly {
    CheckInfo check;
    // One past the last entry of the ply's move list, which starts where the
    // previous ply's ends; nullptr until the list is generated.
    MoveEntry* moveListEnd;
    // The position's table entry as the node found it.
    Move hashMove;
    uint8_t ttDepth;
    int ttScore;
    Bound ttBound;
    Move killer1;
    Move killer2;
    // The move the node leaves out while it tests whether its hash move is
    // singular (0 otherwise).
    Move excluded;
    // The static score of the node (NoStaticScore in check), for the
    // profiles that compute it.
    int staticScore;
    // kavrin-uci's histories: the continuation scores of the move made at
    // this ply (none for a pass), and its piece and destination (piece 0 for
    // a pass).
    PieceToHistory* continuation;
    uint8_t movedPiece;
    uint8_t movedTo;
    // Ordering keys of the quiet moves of the ply.
    uint32_t orderKeys[OrderKeysSize];
};

// The static-score correction: entries by pawn structure, and the scale and
// bound of what an entry holds.
constexpr int CorrectionEntries = 16384;
constexpr int CorrectionGrain = 256;
constexpr int CorrectionLimit = 64 * CorrectionGrain;

// kavrin-uci's histories (search/movepick.h): the quiet scores of each side,
// the continuation scores by the piece and destination of a move, and the
// counter move of each piece and destination. They last while the game goes
// on, and start afresh with the other tables.
struct GravityHistories {
    QuietHistory quiet[2];
    PieceToHistory continuation[13][64];
    Move counter[13][64];
    // How far the search's results have been from the static score, by side
    // to move and pawn structure, in 1/CorrectionGrain of a centipawn.
    int16_t correction[2][CorrectionEntries];
};

// A ranked root move of the last finished iteration.
struct RootLine {
    int depth;  // of the iteration
    int score;
    int selDepth;
    int length;
    Move moves[LineMovesShown];  // the root move first
};

class SearchWorker {
  public:
    // index 0 is the main thread: it alone reads the clock and reports. Its
    // pawn cache has 2^pawnCacheBits entries.
    SearchWorker(SearchShared& sharedState, int threadIndex, int pawnCacheBits = PawnHashBits);
    SearchWorker(const SearchWorker&) = delete;
    SearchWorker& operator=(const SearchWorker&) = delete;

    // Discards what earlier searches learned: history counters, killers and
    // the pawn cache (the table is the caller's).
    void ClearTables();
    // A game move was played: the history counters start afresh.
    void ClearHistory();

    // Searches root within the shared limits, reporting to the shared
    // reporter when this is the main thread; returns the move to play or a
    // result marker (also left in result), or 0 when there is nothing to
    // search or no room for a search line.
    Move Search(const Position& root);

    bool IsMain() const { return index == 0; }
    // Moves made by this thread's root and full-width searches since its
    // search began; another thread reads them as of the last poll.
    uint64_t Nodes() const { return nodes; }
    uint64_t PublishedNodes() const { return publishedNodes.load(std::memory_order_relaxed); }
    uint64_t QuiesceMoves() const { return quiesceMoves; }
    // Positions of this thread's search found in the Syzygy tables, counted
    // and published as the moves are.
    uint64_t TbHits() const { return tbHits; }
    uint64_t PublishedTbHits() const { return publishedTbHits.load(std::memory_order_relaxed); }
    int IterationDepth() const { return iterationDepth; }
    const RootProgress& Progress() const { return rootProgress; }
    const SearchResult& Result() const { return result; }
    // The lines of the last finished iteration, best first.
    int LineCount() const { return lineCount; }
    const RootLine& Line(int i) const { return lines[i]; }
    // The limits of this thread's search; the main thread may change the
    // time ones while it runs (from StopRequested, for a ponder hit).
    SearchLimits& Limits() { return limits; }
    // Milliseconds left of the allotment, at most up to the ceiling (1 when
    // the search is untimed).
    int64_t RemainingMs() const;

    // Writes up to n moves of the variation stored in the table for the
    // worker's position, each followed by a blank, then a NUL; stops at the
    // first table move that is not a legal move of its position. The moves
    // also go to moves when it is given (room for n). Returns the number of
    // moves.
    int BuildPvText(char* out, int n, Move* moves = nullptr);

    // The position searched, and the line from it while the search runs.
    Position pos;

  private:
    // The tests look at a worker's insides through this.
    friend struct SearchWorkerTestAccess;

    // How a node searches the child of one of its moves, chosen move by move.
    struct ChildSearch {
        int depth;        // remaining depth of the child
        int ply;          // ply of the child
        int repetitions;  // occurrences DrawCheck looks for: 2 at the root, 1 below
        bool quiesce;     // the child gets the quiescence search only
        int alpha;        // the window, from the mover's side
        int beta;
        // The whole window at once; otherwise a null window first, then the
        // whole window when the score lands inside it.
        bool fullWindow;
        // Plies the first null-window search leaves out.
        int reduction = 0;
    };

    template <class P>
    Move IterativeDeepening();
    template <class P>
    int RootSearch(int alpha, int beta);
    // Ranks lines 2 and up of the iteration after its best move; false when
    // the search was stopped meanwhile.
    template <class P>
    bool RankOtherLines();
    void RecordLine(int number, int score);
    int CountLegalRootMoves();
    template <class P>
    int AlphaBeta(int depth, int ply, int alpha, int beta, bool nullAllowed);
    template <class P>
    int Quiesce(int depth, int ply, int alpha, int beta);

    // The pieces the three kinds of node share (search/node.h).
    template <class P>
    void StoreNode(int ply, int score, Bound bound, int depth, Move move);
    template <class P>
    bool LoadTableEntry(SearchPly& node, int depth, int ply);
    template <class P>
    int SearchChild(const ChildSearch& child);
    template <class P>
    void RecordCutoff(SearchPly& node, int ply, int side, Move move, int depth, int score);
    template <class P>
    int NoLegalMoveScore(int ply, int depth, bool inCheck);
    // kavrin-uci's histories after a quiet move refuted the node at ply: it
    // gains, the quiet moves tried before it lose (in the continuation of the
    // move two plies up too when followUp), and with counter it becomes the
    // counter move of the move before.
    void RewardQuietMove(int ply, int side, Move move, int depth, const Move* tried, int triedCount,
                         bool followUp, bool counter);
    // The static score corrected by what searches of the same pawn structure
    // found; and the correction learning from a node's result (best, with its
    // bound, searched depth plies deep) against its static score.
    int CorrectedScore(int side, int staticScore) const;
    void UpdateCorrection(int side, int staticScore, int correctedScore, int best, Bound bound, int depth);
    // The continuation scores of the move made k plies up (none above the
    // root or after a pass).
    PieceToHistory* ContinuationUp(int ply, int k) const {
        return ply - k >= 0 ? plies[ply - k].continuation : nullptr;
    }
    // The static score of the node's position, by the profile's evaluation.
    template <class P>
    int StaticEvaluation() {
        if constexpr (P::TaperedEvaluation)
            return EvaluateTapered(pos, taperedPawns);
        else
            return Evaluate(pos, pawns);
    }
    bool PollDue() const { return nodes > nextPollAt; }
    bool SearchMustStop(bool askFrontEnd);
    // The main thread's checks of a search that keeps its own clock or a
    // node limit: a ponder hit switches the search to the clock; the node
    // limit, the mate asked for and the time plan may end it.
    void TakePonderHit();
    bool NodeLimitReached() const;
    bool IterationEndsSearch();
    bool MoveStackHasRoom(int ply) const;

    void SetLineLimits();
    // One move of a variation and those after it; toGameEnd stops after a
    // move that ends the game by rule.
    int PvStep(char* out, int n, int ply, Move* moves, bool toGameEnd);
    MoveEntry* KeepChosenRootMoves(MoveEntry* end);
    void Log(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void LogFen();
    void ReportIteration();

    SearchShared& shared;
    TranspositionTable& table;
    const int index;
    // The main thread's reporter; none for the others.
    SearchReporter* reporter = nullptr;
    SearchLimits limits;
    SearchResult result;
    // The main thread's plan of the move's time, when the search keeps it.
    TimeManagement timeManagement;

    // Counters of the search in progress.
    uint64_t nodes = 0;
    std::atomic<uint64_t> publishedNodes{0};
    uint64_t tbHits = 0;
    std::atomic<uint64_t> publishedTbHits{0};
    uint64_t quiesceMoves = 0;
    uint64_t nextPollAt = PollInterval;
    int selDepth = 0;

    // Where the iterations stand.
    int iterationDepth = FirstIterationDepth;
    Aspiration aspiration = Aspiration::Window;
    RootProgress rootProgress{};
    // Nodes on the current path at which each colour was in check.
    int checkCount[2] = {0, 0};
    // Deepest node ply of the current search, and deepest ply that still
    // searches full width: lower than DeepestPly and DeepestFullWidthPly
    // when the position history is nearly full.
    int deepestSearchPly = DeepestPly;
    int deepestFullWidthPly = DeepestFullWidthPly;
    // Variation of the last finished iteration, as text and as moves.
    char pvText[PvTextSize];
    Move pvMoves[PvMovesShown];
    int pvLength = 0;
    // The root moves being ranked: the line under search (0 for the best),
    // how many the iteration ranks, and the finished iteration's lines.
    int lineIndex = 0;
    int linesWanted = 1;
    int lineCount = 0;
    RootLine lines[MaxSearchLines];

    // What the search learns and keeps between searches.
    HistoryTable history;
    PawnCache pawns;
    std::unique_ptr<GravityHistories> gravity = std::make_unique<GravityHistories>();
    // A search of kavrin-uci's profile has written them since they were
    // cleared.
    bool gravityUsed = true;
    // The tapered evaluation's pawn cache, and whether a search has written
    // it since it was cleared.
    TaperedPawnCache taperedPawns;
    bool taperedPawnsUsed = true;

    // The line: each ply's undo record and search-stack entry, and the move
    // lists of all plies on one stack.
    UndoRecord undo[PlyStackSize];
    SearchPly plies[PlyStackSize];
    MoveEntry moveStack[MoveStackSize];
};

}  // namespace kavrin
