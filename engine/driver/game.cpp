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
#include "search/engine.h"
#include "search/game.h"
#include "search/movepick.h"
#include "search/root.h"
#include "system/clock.h"
#include "system/log.h"

namespace kavrin {

namespace {

// The key of the game position, after each change by a game move.
void LogGameKey(const Position& game) {
    const uint64_t key = game.board.hashKey;
    logStream << std::hex << static_cast<uint32_t>(key >> 32) << ' ' << static_cast<uint32_t>(key) << std::dec
              << std::endl;
}

bool TableShowsMate(XboardSession& session) {
    TTEntry entry;
    return session.engine.Table().Probe(session.Game(), entry) && EntryMove(entry) == ResultCheckmated;
}

void PrintMove(Move m) {
    char text[MoveTextSize];
    MoveToText(text, m);
    std::printf("move %s\n", text);
}

void StartPondering(XboardSession& session, Move p) {
    ReplayPonderMove(session, p);
    StartEngine(session, false, GameSearchDepthLimit);
    session.state.searchUnfinished = session.engine.Threads().StoppedEarly();
    char text[MoveTextSize];
    MoveToText(text, p);
    logStream << "-ponder move: " << text << std::endl;
}

// Pondering needs room for the assumed reply as a game move and the answer.
bool MayPonder(XboardSession& session) { return session.state.ponderEnabled && GameHasRoom(session.Game(), 2); }

// The mated or stalemate marker of a Board position with no legal move.
Move NoMoveMarker(Position& game) {
    CheckInfo check;
    ComputeCheckers(game, check);
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

void StartEngine(XboardSession& session, bool goodPonder, uint8_t depthLimit) {
    logStream << "-M: entered StartEngine, goodPonder: " << (goodPonder ? 1 : 0) << std::endl;
    session.limits.maxDepth = std::min({static_cast<int>(depthLimit), MaxDepth, session.state.depthLimit});
    session.limits.untimed = session.state.mode == Pondering || session.state.mode == Analyzing;
    session.limits.pondering = session.state.mode == Pondering;
    if (!goodPonder) session.limits.searchStart = ClockMs();
    // "Time used:" what the search starts with already spent.
    logStream << "*** xxx czas uzyty: " << ClockMs() - session.limits.searchStart << std::endl;
    session.engine.Search(session.limits, &session);
    logStream << "-M: exited StartEngine" << std::endl;
}

void StopEngine(XboardSession& session) {
    logStream << "-M: entered StopEngine" << std::endl;
    session.state.mode = Force;
    session.engine.Threads().Stop();
    session.limits.searchStart = 0;
    logStream << "-M: exited StopEngine" << std::endl;
}

bool GameMove(XboardSession& session, Move m) {
    if (!session.engine.PlayGameMove(m)) return false;
    LogGameKey(session.Game());
    return true;
}

void ThinkAndMove(XboardSession& session) {
    Position& game = session.Game();
    bool goodPonder = session.state.mode == Pondering;

    // 1. A book move, while the game is young.
    Move b = game.gamePly < BookPlyLimit ? BookProbe(*session.books, game) : 0;
    if (b != 0 && IsLegalMove(game, b)) {
        GameMove(session, b);
        PrintMove(b);
        char text[MoveTextSize];
        MoveToText(text, b);
        logStream << "move (book) " << text << std::endl;
        session.state.mode = Playing;
        if (MayPonder(session)) {
            Move p = session.engine.TablePonderMove(game);
            if (p != 0) {
                StartPondering(session, p);
                return;
            }
        }
        logStream << "- NO ponder move" << std::endl;
        return;
    }

    // 2. Search.
    session.state.mode = Thinking;
    ApplyMoveTime(session);
    StartEngine(session, goodPonder, GameSearchDepthLimit);
    const SearchResult& searchResult = session.engine.Threads().Main().Result();
    Move r = searchResult.bestMove;
    const char* resultLine = MarkerResultLine(r, game.sideToMove);

    // 3. Play the move, or claim the result the search found.
    if (resultLine == nullptr) {
        // Input may stop a search before any iteration finished, and a table
        // move is not to be trusted blindly: play the first legal move then.
        if (!IsLegalMove(game, r)) r = FirstLegalMove(game);
        if (r == 0) {
            resultLine = MarkerResultLine(NoMoveMarker(game), game.sideToMove);
        } else {
            GameMove(session, r);
            PrintMove(r);
            char text[MoveTextSize];
            MoveToText(text, r);
            logStream << "move " << text << "\tscore: " << searchResult.bestScore << std::endl;
            bool tableShowsMate = searchResult.bestScore > MateScoreThreshold && TableShowsMate(session);
            Move drawMarker = searchResult.bestScore <= MateScoreThreshold ? DrawCheck(game, 2) : 0;
            resultLine = MoveResultLine(searchResult.bestScore, tableShowsMate, drawMarker, game.sideToMove);
        }
    }
    session.state.mode = Playing;

    // 4. The claim, or a search on the opponent's time.
    if (resultLine != nullptr) {
        std::printf("%s", resultLine);
    } else if (MayPonder(session) && InputPending(session.input) == 0) {
        Move p = session.engine.TablePonderMove(game);
        if (p != 0) StartPondering(session, p);
    }
    if (session.state.mode == Playing) logStream << "- NO ponder move" << std::endl;
}

void PonderHit(XboardSession& session) {
    Position& game = session.Game();
    ++game.gamePly;
    session.state.ponderMove = 0;
    // The assumed reply is now a game move: incoming moves are read against it.
    SyncGameSnapshot(game);
    logStream << "-GOOD PONDER" << std::endl;
    ThinkAndMove(session);
}

void PonderMiss(XboardSession& session, Move received) {
    logStream << "-BAD PONDER" << std::endl;
    TakeBackPonderMove(session);
    GameMove(session, received);
    session.state.mode = Playing;
    ThinkAndMove(session);
}

void TakeBackPonderMove(XboardSession& session) {
    Position& game = session.Game();
    if (session.state.mode != Pondering) return;
    if (session.state.ponderMove != 0) {
        UnmakeMove(game, session.state.ponderMove, session.ponderUndo);
        session.state.ponderMove = 0;
    }
    session.state.mode = Playing;
}

void ReplayPonderMove(XboardSession& session, Move ponder) {
    Position& game = session.Game();
    SaveForMake(game, session.ponderUndo);
    session.state.mode = Pondering;
    session.state.ponderMove = ponder;
    MakeMove(game, ponder, session.ponderUndo);
}

void ResumePondering(XboardSession& session) {
    const int ponderStart = session.limits.searchStart;
    StartEngine(session, false, GameSearchDepthLimit);
    session.limits.searchStart = ponderStart;
    session.state.searchUnfinished = session.engine.Threads().StoppedEarly();
}

void AnalyzePosition(XboardSession& session) {
    StartEngine(session, false, GameSearchDepthLimit);
    session.state.searchUnfinished = session.engine.Threads().StoppedEarly();
}

Move HintMove(XboardSession& session) {
    return session.state.mode == Pondering ? session.state.ponderMove : session.engine.TablePonderMove(session.Game());
}

void MarkGameStart(XboardSession& session) {
    Position& game = session.Game();
    session.gameStart.board = game.board;
    session.gameStart.entry = *game.historyTop;
    session.gameStart.historyIndex = game.HistoryIndex();
    session.gameStart.side = game.sideToMove;
    session.gameStart.ply = game.gamePly;
}

bool TakeBackGameMoves(XboardSession& session, int plies) {
    Position& game = session.Game();
    const int played = game.HistoryIndex() - session.gameStart.historyIndex;
    if (plies < 0 || plies > played) return false;
    // The moves stay in the history entries until the replay overwrites them.
    Move kept[HistorySize];
    const int keep = played - plies;
    for (int i = 0; i < keep; ++i) kept[i] = game.history[session.gameStart.historyIndex + i].move;

    // Back to the start, then the moves that stay, as game moves are played.
    game.board = session.gameStart.board;
    game.sideToMove = session.gameStart.side;
    game.gamePly = session.gameStart.ply;
    game.historyTop = game.history + session.gameStart.historyIndex;
    *game.historyTop = session.gameStart.entry;
    for (int i = 0; i < keep; ++i) {
        UndoRecord undo;
        SaveForMake(game, undo);
        MakeMove(game, kept[i], undo);
        ++game.gamePly;
    }
    SyncGameSnapshot(game);
    session.engine.Threads().ClearHistories();
    logStream << "-M: took back " << plies << std::endl;
    LogGameKey(game);
    return true;
}

}  // namespace kavrin
