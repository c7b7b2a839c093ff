#include "driver/game.h"

#include <algorithm>
#include <cstdio>

#include "board/board.h"
#include "board/legal.h"
#include "board/makemove.h"
#include "board/movegen.h"
#include "board/movetext.h"
#include "book/book.h"
#include "driver/engine_state.h"
#include "driver/input.h"
#include "driver/thinking.h"
#include "driver/timecontrol.h"
#include "search/control.h"
#include "search/game.h"
#include "search/movepick.h"
#include "search/root.h"
#include "search/threads.h"
#include "search/tt.h"
#include "system/clock.h"
#include "system/log.h"

namespace kavrin {

namespace {

// The key of the game position, after each change by a game move.
void LogGameKey() {
    const uint64_t key = gamePosition.board.hashKey;
    logStream << std::hex << static_cast<uint32_t>(key >> 32) << ' ' << static_cast<uint32_t>(key) << std::dec
              << std::endl;
}

bool TableShowsMate() {
    TTEntry entry;
    return ProbeTT(gamePosition, entry) && EntryMove(entry) == ResultCheckmated;
}

void PrintMove(Move m) {
    char text[MoveTextSize];
    MoveToText(text, m);
    std::printf("move %s\n", text);
}

void StartPondering(Move p) {
    ReplayPonderMove(p);
    StartEngine(false, GameSearchDepthLimit);
    engineState.searchUnfinished = searchThreads.StoppedEarly();
    char text[MoveTextSize];
    MoveToText(text, p);
    logStream << "-ponder move: " << text << std::endl;
}

// Where the game's moves are taken back to: the position at its start, and
// that position's entry and place in the position history.
struct GameStart {
    Board board;
    HistoryEntry entry;
    int historyIndex;
    int side;
    uint16_t ply;
};

GameStart gameStart{};

// Pondering needs room for the assumed reply as a game move and the answer.
bool MayPonder() { return engineState.ponderEnabled && GameHasRoom(gamePosition, 2); }

// The mated or stalemate marker of a Board position with no legal move.
Move NoMoveMarker() {
    CheckInfo check;
    ComputeCheckers(gamePosition, check);
    return check.checkers ? ResultCheckmated : ResultStalemate;
}

}  // namespace

const char* MarkerResultLine(Move m, int side) {
    switch (m) {
        case ResultCheckmated:
            return side == Black ? "1-0 {Kavrin mated 0}\n" : "0-1 {Kavrin mated 0}\n";
        case ResultStalemate:
            return "1/2-1/2 {Draw by stalemate (1)}\n";
        case ResultRepetition:
            return "1/2-1/2 {Draw by 3 fold repetition (2)}\n";
        case ResultFiftyMoves:
            return "1/2-1/2 {Draw by 50 moves rule (3)}\n";
        case ResultInsufficientMaterial:
            return "1/2-1/2 {Draw by insufficient material to mate (4)}\n";
        default:
            return nullptr;
    }
}

const char* MoveResultLine(int16_t score, bool tableShowsMate, Move drawMarker, int side) {
    if (score == MateInOneScore) return side == Black ? "1-0 {Kavrin mates 1}\n" : "0-1 {Kavrin mates 1}\n";
    if (score > MateScoreThreshold) {
        if (!tableShowsMate) return nullptr;
        return side == Black ? "1-0 {Kavrin mates 1#}\n" : "0-1 {Kavrin mates 1#}\n";
    }
    switch (drawMarker) {
        case ResultRepetition:
            return "1/2-1/2 {Draw by 3 fold repetition (22)}\n";
        case ResultFiftyMoves:
            return "1/2-1/2 {Draw by 50 moves rule (33)}\n";
        case ResultInsufficientMaterial:
            return "1/2-1/2 {Draw by insufficient material to mate (44)}\n";
        default:
            return nullptr;
    }
}

void StartEngine(bool goodPonder, uint8_t depthLimit) {
    logStream << "-M: entered StartEngine, goodPonder: " << (goodPonder ? 1 : 0) << std::endl;
    searchLimits.maxDepth = std::min({static_cast<int>(depthLimit), MaxDepth, engineState.depthLimit});
    searchLimits.untimed = engineState.mode == Pondering || engineState.mode == Analyzing;
    searchLimits.pondering = engineState.mode == Pondering;
    if (!goodPonder) searchLimits.searchStart = ClockMs();
    // "Time used:" what the search starts with already spent.
    logStream << "*** xxx czas uzyty: " << ClockMs() - searchLimits.searchStart << std::endl;
    searchThreads.Search(gamePosition, searchLimits, XboardSearchHooks);
    logStream << "-M: exited StartEngine" << std::endl;
}

void StopEngine() {
    logStream << "-M: entered StopEngine" << std::endl;
    engineState.mode = Force;
    searchThreads.Stop();
    searchLimits.searchStart = 0;
    logStream << "-M: exited StopEngine" << std::endl;
}

bool GameMove(Move m) {
    if (!PlayGameMove(gamePosition, m)) return false;
    LogGameKey();
    return true;
}

void ThinkAndMove() {
    bool goodPonder = engineState.mode == Pondering;

    // 1. A book move, while the game is young.
    Move b = gamePosition.gamePly < BookPlyLimit ? BookProbe(gamePosition) : 0;
    if (b != 0 && IsLegalMove(gamePosition, b)) {
        GameMove(b);
        PrintMove(b);
        char text[MoveTextSize];
        MoveToText(text, b);
        logStream << "move (book) " << text << std::endl;
        engineState.mode = Playing;
        if (MayPonder()) {
            Move p = TablePonderMove(gamePosition);
            if (p != 0) {
                StartPondering(p);
                return;
            }
        }
        logStream << "- NO ponder move" << std::endl;
        return;
    }

    // 2. Search.
    engineState.mode = Thinking;
    ApplyMoveTime();
    StartEngine(goodPonder, GameSearchDepthLimit);
    const SearchResult& searchResult = searchThreads.Main().Result();
    Move r = searchResult.bestMove;
    const char* resultLine = MarkerResultLine(r, gamePosition.sideToMove);

    // 3. Play the move, or claim the result the search found.
    if (resultLine == nullptr) {
        // Input may stop a search before any iteration finished, and a table
        // move is not to be trusted blindly: play the first legal move then.
        if (!IsLegalMove(gamePosition, r)) r = FirstLegalMove(gamePosition);
        if (r == 0) {
            resultLine = MarkerResultLine(NoMoveMarker(), gamePosition.sideToMove);
        } else {
            GameMove(r);
            PrintMove(r);
            char text[MoveTextSize];
            MoveToText(text, r);
            logStream << "move " << text << "\tscore: " << searchResult.bestScore << std::endl;
            bool tableShowsMate = searchResult.bestScore > MateScoreThreshold && TableShowsMate();
            Move drawMarker = searchResult.bestScore <= MateScoreThreshold ? DrawCheck(gamePosition, 2) : 0;
            resultLine = MoveResultLine(searchResult.bestScore, tableShowsMate, drawMarker, gamePosition.sideToMove);
        }
    }
    engineState.mode = Playing;

    // 4. The claim, or a search on the opponent's time.
    if (resultLine != nullptr) {
        std::printf("%s", resultLine);
    } else if (MayPonder() && InputPending() == 0) {
        Move p = TablePonderMove(gamePosition);
        if (p != 0) StartPondering(p);
    }
    if (engineState.mode == Playing) logStream << "- NO ponder move" << std::endl;
}

void PonderHit() {
    ++gamePosition.gamePly;
    engineState.ponderMove = 0;
    // The assumed reply is now a game move: incoming moves are read against it.
    SyncGameSnapshot(gamePosition);
    logStream << "-GOOD PONDER" << std::endl;
    ThinkAndMove();
}

void PonderMiss(Move received) {
    logStream << "-BAD PONDER" << std::endl;
    TakeBackPonderMove();
    GameMove(received);
    engineState.mode = Playing;
    ThinkAndMove();
}

void TakeBackPonderMove() {
    if (engineState.mode != Pondering) return;
    if (engineState.ponderMove != 0) {
        UnmakeMove(gamePosition, engineState.ponderMove, ponderUndo);
        engineState.ponderMove = 0;
    }
    engineState.mode = Playing;
}

void ReplayPonderMove(Move ponder) {
    SaveForMake(gamePosition, ponderUndo);
    engineState.mode = Pondering;
    engineState.ponderMove = ponder;
    MakeMove(gamePosition, ponder, ponderUndo);
}

void ResumePondering() {
    const int ponderStart = searchLimits.searchStart;
    StartEngine(false, GameSearchDepthLimit);
    searchLimits.searchStart = ponderStart;
    engineState.searchUnfinished = searchThreads.StoppedEarly();
}

void AnalyzePosition() {
    StartEngine(false, GameSearchDepthLimit);
    engineState.searchUnfinished = searchThreads.StoppedEarly();
}

Move HintMove() { return engineState.mode == Pondering ? engineState.ponderMove : TablePonderMove(gamePosition); }

void MarkGameStart() {
    gameStart.board = gamePosition.board;
    gameStart.entry = *gamePosition.historyTop;
    gameStart.historyIndex = gamePosition.HistoryIndex();
    gameStart.side = gamePosition.sideToMove;
    gameStart.ply = gamePosition.gamePly;
}

bool TakeBackGameMoves(int plies) {
    const int played = gamePosition.HistoryIndex() - gameStart.historyIndex;
    if (plies < 0 || plies > played) return false;
    // The moves stay in the history entries until the replay overwrites them.
    Move kept[HistorySize];
    const int keep = played - plies;
    for (int i = 0; i < keep; ++i) kept[i] = gamePosition.history[gameStart.historyIndex + i].move;

    // Back to the start, then the moves that stay, as game moves are played.
    gamePosition.board = gameStart.board;
    gamePosition.sideToMove = gameStart.side;
    gamePosition.gamePly = gameStart.ply;
    gamePosition.historyTop = gamePosition.history + gameStart.historyIndex;
    *gamePosition.historyTop = gameStart.entry;
    for (int i = 0; i < keep; ++i) {
        UndoRecord undo;
        SaveForMake(gamePosition, undo);
        MakeMove(gamePosition, kept[i], undo);
        ++gamePosition.gamePly;
    }
    SyncGameSnapshot(gamePosition);
    searchThreads.ClearHistories();
    logStream << "-M: took back " << plies << std::endl;
    LogGameKey();
    return true;
}

}  // namespace kavrin
