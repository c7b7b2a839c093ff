#include "driver/command_loop.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstring>

#include "board/board.h"
#include "board/fen.h"
#include "board/legal.h"
#include "board/makemove.h"
#include "board/movegen.h"
#include "board/movetext.h"
#include "board/perft.h"
#include "book/book.h"
#include "book/commands.h"
#include "driver/engine_state.h"
#include "driver/game.h"
#include "driver/handshake.h"
#include "driver/input.h"
#include "driver/thinking.h"
#include "driver/timecontrol.h"
#include "notation/converters.h"
#include "notation/epd.h"
#include "notation/pgn.h"
#include "search/engine.h"
#include "search/game.h"
#include "system/log.h"

namespace kavrin {

namespace {

constexpr const char* TestPosition = "8/8/5Q2/2R4k/8/8/P5P1/6K1 b - - 0 51";

struct CommandName {
    const char* text;
    int prefixLength;  // 0: the whole word must match
    CommandWord command;
};

// The order of this table is the order in which a word is tried.
constexpr CommandName CommandNames[] = {
    {"go", 2, CommandWord::Go},
    {"new", 3, CommandWord::NewGame},
    {"result", 6, CommandWord::NewGame},
    {"level", 5, CommandWord::Level},
    {"force", 5, CommandWord::Force},
    {"setboard", 8, CommandWord::Setboard},
    {"easy", 0, CommandWord::Easy},
    {"hard", 0, CommandWord::Hard},
    {"quit", 4, CommandWord::Quit},
    {"white", 5, CommandWord::White},
    {"black", 5, CommandWord::Black},
    {"pgn2pos", 0, CommandWord::Pgn2Pos},
    {"pgn2game", 0, CommandWord::Pgn2Game},
    {"pgnlist2game", 0, CommandWord::PgnList2Game},
    {"game2pgn", 0, CommandWord::Game2Pgn},
    {"game2pos", 0, CommandWord::Game2Pos},
    {"bookshow", 0, CommandWord::BookShow},
    {"dbshow", 0, CommandWord::DbShow},
    {"dbshowlin", 0, CommandWord::DbShowLin},
    {"bookcreate", 0, CommandWord::BookCreate},
    {"dbcreate", 0, CommandWord::DbCreate},
    {"benchmark", 0, CommandWord::Benchmark},
    {"perft", 0, CommandWord::Perft},
    {"test", 0, CommandWord::Test},
    {"analyze", 0, CommandWord::Analyze},
    {"exit", 0, CommandWord::Exit},
    {"undo", 0, CommandWord::Undo},
    {"remove", 0, CommandWord::Remove},
    {"?", 0, CommandWord::MoveNow},
    {".", 0, CommandWord::Status},
    {"ping", 0, CommandWord::Ping},
    {"st", 0, CommandWord::SecondsPerMove},
    {"sd", 0, CommandWord::DepthLimit},
    {"bk", 0, CommandWord::BookMoves},
    {"hint", 0, CommandWord::Hint},
    {"post", 0, CommandWord::Post},
    {"nopost", 0, CommandWord::NoPost},
    {"draw", 0, CommandWord::Notice},
    {"computer", 0, CommandWord::Notice},
    {"random", 0, CommandWord::Notice},
    {"otim", 0, CommandWord::Notice},
    {"name", 0, CommandWord::NoticeLine},
    {"rating", 0, CommandWord::NoticeLine},
    {"ics", 0, CommandWord::NoticeLine},
    {"accepted", 0, CommandWord::NoticeLine},
    {"rejected", 0, CommandWord::NoticeLine},
};

bool Matches(const char* word, const CommandName& name) {
    if (name.prefixLength == 0) return std::strcmp(word, name.text) == 0;
    return std::strncmp(word, name.text, static_cast<size_t>(name.prefixLength)) == 0;
}

void ReportError(const char* kind, const char* command) {
    std::printf("Error (%s): %s\n", kind, command);
    logStream << "Error (" << kind << "): " << command << std::endl;
}

// Sets up the position of text: the search forgets what it learned about
// earlier positions, and an "am"/"bm" operation must name a legal move. False
// when the text is refused (nothing changes) or the operation's move is not
// legal (the position is set up all the same).
bool SetUpPosition(XboardSession& session, const char* text) {
    const char* operations = nullptr;
    if (!ReadFen(session.Game(), text, &operations)) return false;
    session.engine.ResetSearchState();
    MarkGameStart(session);
    return CheckEpdOperation(session.Game(), operations);
}

void SetboardCommand(XboardSession& session) {
    char text[CommandBufferSize];
    ReadLineRest(session.input.source, text);
    logStream << "setboard " << text << std::endl;
    if (!SetUpPosition(session, text)) logStream << "-M: tellusererror Illegal position" << std::endl;
}

void TestCommand(XboardSession& session) {
    SetMovesPerControl(session, 1);
    session.state.incrementMs = 0;
    SetUpPosition(session, TestPosition);
    session.state.mode = Playing;
    session.state.ponderEnabled = false;
    PrintBoard(session.Game().board.pieceOn);
    ApplyRemainingTime(session, TestRemainingCs);
}

// A new game ends the time per move and the depth limit; analysis goes on
// with the new position.
void NewGameCommand(XboardSession& session) {
    SetUpPosition(session, InitialFen);
    if (session.state.mode != Analyzing) session.state.mode = Playing;
    SetSecondsPerMove(session, 0);
    session.state.depthLimit = MaxDepth;
}

void TakeBackCommand(XboardSession& session, const char* word, int plies) {
    if (!TakeBackGameMoves(session, plies)) ReportError("no move to take back", word);
}

// "bk": the book moves of the game position, one a line, each line starting
// with a blank; an empty line ends the list.
void BookMovesCommand(XboardSession& session) {
    Move moves[BookCandidateLimit];
    const int count = BookMoves(*session.books, session.Game(), moves);
    if (count == 0) std::printf(" no book moves\n");
    for (int i = 0; i < count; ++i) {
        char text[MoveTextSize];
        MoveToText(text, moves[i]);
        std::printf(" %s\n", text);
    }
    std::printf("\n");
}

void HintCommand(XboardSession& session) {
    const Move m = HintMove(session);
    if (m == 0) return;
    char text[MoveTextSize];
    MoveToText(text, m);
    std::printf("Hint: %s\n", text);
}

void PingCommand(XboardSession& session) {
    int n = 0;
    if (ReadNumber(session.input.source, n)) std::printf("pong %d\n", n);
}

void SecondsPerMoveCommand(XboardSession& session) {
    int seconds = 0;
    if (ReadNumber(session.input.source, seconds)) SetSecondsPerMove(session, seconds);
}

void DepthLimitCommand(XboardSession& session) {
    int depth = 0;
    if (ReadNumber(session.input.source, depth))
        session.state.depthLimit = std::clamp(depth, 0, static_cast<int>(MaxDepth));
}

void SkipLineRest(WordSource& input) {
    char rest[CommandBufferSize];
    ReadLineRest(input, rest);
}

// Reads the n file-name words of a workbench command; false when the input
// ended before all of them.
bool ReadNames(WordSource& input, char first[CommandBufferSize], char second[CommandBufferSize], int n) {
    if (!ReadWord(input, first)) return false;
    return n < 2 || ReadWord(input, second);
}

// The converters: how many file names each reads, and the conversion, which
// says whether it set the Board up afresh.
struct Converter {
    CommandWord command;
    int names;
    bool (*convert)(Position& board, const char* first, const char* second);
};
constexpr Converter Converters[] = {
    {CommandWord::Pgn2Pos, 1, [](Position& board, const char* pgn, const char*) { return Pgn2Pos(board, pgn); }},
    {CommandWord::Pgn2Game, 2,
     [](Position& board, const char* pgn, const char* game) {
         int total = 0;
         return Pgn2Game(board, pgn, game, total);
     }},
    {CommandWord::PgnList2Game, 2,
     [](Position& board, const char* list, const char* game) { return PgnList2Game(board, list, game); }},
    {CommandWord::Game2Pgn, 2,
     [](Position& board, const char* game, const char* pgn) { return Game2Pgn(board, game, pgn); }},
    {CommandWord::Game2Pos, 2,
     [](Position& board, const char* game, const char* pos) { return Game2Pos(board, game, pos); }},
};

// The converters replay their games on the Board: the game starts again from
// the position they leave, and a search meets it without knowledge of
// earlier positions.
void ConverterCommand(XboardSession& session, CommandWord c) {
    char first[CommandBufferSize];
    char second[CommandBufferSize];
    for (const Converter& converter : Converters) {
        if (converter.command != c || !ReadNames(session.input.source, first, second, converter.names)) continue;
        if (converter.convert(session.Game(), first, second)) session.engine.ResetSearchState();
        MarkGameStart(session);
    }
}

void GoCommand(XboardSession& session, const char* word) {
    if (!PositionPlayable(session.Game())) {
        ReportError("position not playable", word);
        return;
    }
    if (!GameHasRoom(session.Game(), 1)) {
        ReportError("game too long", word);
        return;
    }
    ThinkAndMove(session);
}

// What a command does to the game and to a ponder or analysis search.
struct CommandEffect {
    // It reads or replaces the position, so it acts on the game position:
    // an assumed ponder reply is taken back first.
    bool actsOnPosition;
    // It leaves the game position, the mode and the limits of the ponder and
    // analysis searches as they were: pondering and analysis go on after it
    // where they stopped. After any other command the analysis starts afresh.
    bool leavesGameAlone;
};

CommandEffect EffectOf(CommandWord c) {
    switch (c) {
        case CommandWord::Unknown:
        case CommandWord::Level:
        case CommandWord::Easy:
        case CommandWord::Hard:
        case CommandWord::Benchmark:
        case CommandWord::Exit:
        case CommandWord::MoveNow:
        case CommandWord::Status:
        case CommandWord::Ping:
        case CommandWord::SecondsPerMove:
        case CommandWord::Hint:  // while pondering, the hint is the assumed reply
        case CommandWord::Post:
        case CommandWord::NoPost:
        case CommandWord::Notice:
        case CommandWord::NoticeLine:
            return {false, true};
        // A query about the game position, after which pondering goes on.
        case CommandWord::BookMoves:
            return {true, true};
        // A new depth limit for the searches that follow, analysis included.
        case CommandWord::DepthLimit:
            return {false, false};
        default:
            return {true, false};
    }
}

void Execute(XboardSession& session, const char* word) {
    Position& game = session.Game();
    WordSource& input = session.input.source;
    CommandWord c = MatchCommandWord(word);
    const CommandEffect effect = EffectOf(c);
    const bool leavesGameAlone = effect.leavesGameAlone;
    const Move pondered = session.state.mode == Pondering ? session.state.ponderMove : 0;
    if (effect.actsOnPosition) TakeBackPonderMove(session);
    if (!leavesGameAlone) session.state.searchUnfinished = true;
    char first[CommandBufferSize];
    char second[CommandBufferSize];
    switch (c) {
        case CommandWord::Go:
            GoCommand(session, word);
            break;
        case CommandWord::NewGame:
            NewGameCommand(session);
            break;
        case CommandWord::Level:
            SetSecondsPerMove(session, 0);
            ReadLevelItems(session, input);
            break;
        case CommandWord::Force:
            StopEngine(session);
            break;
        case CommandWord::Setboard:
            SetboardCommand(session);
            break;
        case CommandWord::Easy:
            session.state.ponderEnabled = false;
            break;
        case CommandWord::Hard:
            session.state.ponderEnabled = true;
            break;
        case CommandWord::Quit:
            session.state.mode = Quit;
            break;
        case CommandWord::White:
            SetSideToMove(game, White);
            MarkGameStart(session);
            break;
        case CommandWord::Black:
            SetSideToMove(game, Black);
            MarkGameStart(session);
            break;
        case CommandWord::Pgn2Pos:
        case CommandWord::Pgn2Game:
        case CommandWord::PgnList2Game:
        case CommandWord::Game2Pgn:
        case CommandWord::Game2Pos:
            ConverterCommand(session, c);
            break;
        case CommandWord::BookShow:
            BookShowCommand(*session.books, game);
            break;
        case CommandWord::DbShow:
            DbShowCommand(game, false);
            break;
        case CommandWord::DbShowLin:
            DbShowCommand(game, true);
            break;
        case CommandWord::BookCreate:
            BookCreateCommand();
            break;
        case CommandWord::DbCreate:
            if (ReadNames(input, first, second, 2)) {
                DbCreateCommand(first, second);
            }
            break;
        case CommandWord::Benchmark:
            ReadWord(input, first);
            std::printf("Define __STAT\n");
            break;
        case CommandWord::Perft: {
            int depth = 0;
            if (!ReadNumber(input, depth)) depth = 0;
            // On a Board that is not playable the report shows 0 in every row.
            RunPerft(game, depth);
            break;
        }
        case CommandWord::Test:
            TestCommand(session);
            break;
        case CommandWord::Analyze:
            session.state.mode = Analyzing;
            break;
        case CommandWord::Exit:
            if (session.state.mode == Analyzing) session.state.mode = Force;
            break;
        case CommandWord::Undo:
            TakeBackCommand(session, word, 1);
            break;
        case CommandWord::Remove:
            TakeBackCommand(session, word, 2);
            break;
        case CommandWord::Status:
            if (session.state.mode == Analyzing) PrintSearchStatus(session);
            break;
        case CommandWord::Ping:
            PingCommand(session);
            break;
        case CommandWord::SecondsPerMove:
            SecondsPerMoveCommand(session);
            break;
        case CommandWord::DepthLimit:
            DepthLimitCommand(session);
            break;
        case CommandWord::BookMoves:
            BookMovesCommand(session);
            break;
        case CommandWord::Hint:
            HintCommand(session);
            break;
        case CommandWord::Post:
            session.state.postThinking = true;
            break;
        case CommandWord::NoPost:
            session.state.postThinking = false;
            break;
        case CommandWord::NoticeLine:
            SkipLineRest(input);
            break;
        // "?" stops the engine's own search in the search's poll (which
        // consumes it); here it comes at no search and means nothing.
        case CommandWord::MoveNow:
        case CommandWord::Notice:
        case CommandWord::Unknown:
            break;
    }
    // A query that needed the game position: the assumed reply goes back on
    // the Board, and pondering goes on.
    if (pondered != 0 && leavesGameAlone && session.state.mode == Playing) ReplayPonderMove(session, pondered);
}

void ReceiveMove(XboardSession& session, const char* word, Move m) {
    Position& game = session.Game();
    session.state.searchUnfinished = true;
    if (!PositionPlayable(game)) {
        ReportError("position not playable", word);
        return;
    }
    if (session.state.mode == Pondering && m == session.state.ponderMove) {
        PonderHit(session);
        return;
    }
    bool wasPondering = session.state.mode == Pondering;
    // The move is judged in the game position, without the assumed reply.
    TakeBackPonderMove(session);
    if (!IsLegalMove(game, m)) {
        std::printf("Illegal move: %s\n", word);
        logStream << "Illegal move: " << word << std::endl;
        return;
    }
    bool answers = session.state.mode == Playing;
    if (!GameHasRoom(game, answers ? 2 : 1)) {
        ReportError("game too long", word);
        return;
    }
    if (wasPondering) {
        PonderMiss(session, m);
        return;
    }
    GameMove(session, m);
    if (answers) ThinkAndMove(session);
}

void Dispatch(XboardSession& session, const char* word) {
    if (IsTimeWord(word)) {
        char next[CommandBufferSize];
        if (ReadTimeItems(session, session.input.source, next)) KeepCommandWord(session.input, next);
        return;
    }
    EngineMode mode = session.state.mode;
    Move m = TextToMove(session.Game(), word);
    if (m != 0 && (mode == Pondering || mode == Playing || mode == Force || mode == Analyzing)) {
        ReceiveMove(session, word, m);
        return;
    }
    Execute(session, word);
}

// Once the input is handled: a ponder or analysis search that has more to
// do goes on, unless the next command is already waiting.
void GoOnSearching(XboardSession& session) {
    if (!session.state.searchUnfinished || InputPending(session.input) != 0) return;
    if (session.state.mode == Analyzing) {
        AnalyzePosition(session);
    } else if (session.state.mode == Pondering && session.state.ponderEnabled) {
        ResumePondering(session);
    }
}

}  // namespace

bool IsTimeWord(const char* word) { return std::strncmp(word, "time", 4) == 0; }

CommandWord MatchCommandWord(const char* word) {
    for (const CommandName& name : CommandNames) {
        if (Matches(word, name)) return name.command;
    }
    return CommandWord::Unknown;
}

void CommandLoop(XboardSession& session) {
    session.state.ponderEnabled = true;
    char word[CommandBufferSize] = {};
    session.state.mode = Force;
    // Interfaces signal their engines (SIGINT before relaying a move unless
    // told otherwise, SIGTERM after "quit"); the engine listens only to its
    // input, where "quit" ends it promptly.
    std::signal(SIGINT, SIG_IGN);
    std::signal(SIGTERM, SIG_IGN);
    Handshake(session);
    while (session.state.mode != Quit) {
        // The end of input ends the engine as "quit" would.
        if (!NextCommandWord(session.input, word)) {
            TakeBackPonderMove(session);
            session.state.mode = Quit;
            break;
        }
        logStream << "::cmd:: " << word << std::endl;
        try {
            Dispatch(session, word);
        } catch (const GameFileError&) {
            // The converter has reported the failure on standard output and
            // in the log; the loop goes on with the next command, and the
            // game from the position the converter set up and left.
            session.engine.ResetSearchState();
            MarkGameStart(session);
        }
        GoOnSearching(session);
    }
}

}  // namespace kavrin
