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
#include "system/log.h"
#include "notation/converters.h"
#include "notation/epd.h"
#include "notation/pgn.h"
#include "search/game.h"
#include "search/reset.h"

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
bool SetUpPosition(const char* text) {
    const char* operations = nullptr;
    if (!ReadFen(gamePosition, text, &operations)) return false;
    ResetSearchState();
    MarkGameStart();
    return CheckEpdOperation(gamePosition, operations);
}

void SetboardCommand() {
    char text[CommandBufferSize];
    ReadLineRest(commandInput, text);
    logStream << "setboard " << text << std::endl;
    if (!SetUpPosition(text)) logStream << "-M: tellusererror Illegal position" << std::endl;
}

void TestCommand() {
    SetMovesPerControl(1);
    engineState.incrementMs = 0;
    SetUpPosition(TestPosition);
    engineState.mode = Playing;
    engineState.ponderEnabled = false;
    PrintBoard(gamePosition.board.pieceOn);
    ApplyRemainingTime(TestRemainingCs);
}

// A new game ends the time per move and the depth limit; analysis goes on
// with the new position.
void NewGameCommand() {
    SetUpPosition(InitialFen);
    if (engineState.mode != Analyzing) engineState.mode = Playing;
    SetSecondsPerMove(0);
    engineState.depthLimit = MaxDepth;
}

void TakeBackCommand(const char* word, int plies) {
    if (!TakeBackGameMoves(plies)) ReportError("no move to take back", word);
}

// "bk": the book moves of the game position, one a line, each line starting
// with a blank; an empty line ends the list.
void BookMovesCommand() {
    Move moves[BookCandidateLimit];
    const int count = BookMoves(gamePosition, moves);
    if (count == 0) std::printf(" no book moves\n");
    for (int i = 0; i < count; ++i) {
        char text[MoveTextSize];
        MoveToText(text, moves[i]);
        std::printf(" %s\n", text);
    }
    std::printf("\n");
}

void HintCommand() {
    const Move m = HintMove();
    if (m == 0) return;
    char text[MoveTextSize];
    MoveToText(text, m);
    std::printf("Hint: %s\n", text);
}

void PingCommand() {
    int n = 0;
    if (ReadNumber(commandInput, n)) std::printf("pong %d\n", n);
}

void SecondsPerMoveCommand() {
    int seconds = 0;
    if (ReadNumber(commandInput, seconds)) SetSecondsPerMove(seconds);
}

void DepthLimitCommand() {
    int depth = 0;
    if (ReadNumber(commandInput, depth)) engineState.depthLimit = std::clamp(depth, 0, static_cast<int>(MaxDepth));
}

void SkipLineRest() {
    char rest[CommandBufferSize];
    ReadLineRest(commandInput, rest);
}

// Reads the n file-name words of a workbench command; false when the input
// ended before all of them.
bool ReadNames(char first[CommandBufferSize], char second[CommandBufferSize], int n) {
    if (!ReadWord(commandInput, first)) return false;
    return n < 2 || ReadWord(commandInput, second);
}

// The converters: how many file names each reads, and the conversion.
struct Converter {
    CommandWord command;
    int names;
    void (*convert)(const char* first, const char* second);
};
constexpr Converter Converters[] = {
    {CommandWord::Pgn2Pos, 1, [](const char* pgn, const char*) { Pgn2Pos(gamePosition, pgn); }},
    {CommandWord::Pgn2Game, 2,
     [](const char* pgn, const char* game) {
         int total = 0;
         Pgn2Game(gamePosition, pgn, game, total);
     }},
    {CommandWord::PgnList2Game, 2, [](const char* list, const char* game) { PgnList2Game(gamePosition, list, game); }},
    {CommandWord::Game2Pgn, 2, [](const char* game, const char* pgn) { Game2Pgn(gamePosition, game, pgn); }},
    {CommandWord::Game2Pos, 2, [](const char* game, const char* pos) { Game2Pos(gamePosition, game, pos); }},
};

// The converters replay their games on the Board: the game starts again from
// the position they leave.
void ConverterCommand(CommandWord c) {
    char first[CommandBufferSize];
    char second[CommandBufferSize];
    for (const Converter& converter : Converters) {
        if (converter.command != c || !ReadNames(first, second, converter.names)) continue;
        converter.convert(first, second);
        MarkGameStart();
    }
}

void GoCommand(const char* word) {
    if (!PositionPlayable(gamePosition)) {
        ReportError("position not playable", word);
        return;
    }
    if (!GameHasRoom(gamePosition, 1)) {
        ReportError("game too long", word);
        return;
    }
    ThinkAndMove();
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

void Execute(const char* word) {
    CommandWord c = MatchCommandWord(word);
    const CommandEffect effect = EffectOf(c);
    const bool leavesGameAlone = effect.leavesGameAlone;
    const Move pondered = engineState.mode == Pondering ? engineState.ponderMove : 0;
    if (effect.actsOnPosition) TakeBackPonderMove();
    if (!leavesGameAlone) engineState.searchUnfinished = true;
    char first[CommandBufferSize];
    char second[CommandBufferSize];
    switch (c) {
        case CommandWord::Go:
            GoCommand(word);
            break;
        case CommandWord::NewGame:
            NewGameCommand();
            break;
        case CommandWord::Level:
            SetSecondsPerMove(0);
            ReadLevelItems(commandInput);
            break;
        case CommandWord::Force:
            StopEngine();
            break;
        case CommandWord::Setboard:
            SetboardCommand();
            break;
        case CommandWord::Easy:
            engineState.ponderEnabled = false;
            break;
        case CommandWord::Hard:
            engineState.ponderEnabled = true;
            break;
        case CommandWord::Quit:
            engineState.mode = Quit;
            break;
        case CommandWord::White:
            SetSideToMove(gamePosition, White);
            MarkGameStart();
            break;
        case CommandWord::Black:
            SetSideToMove(gamePosition, Black);
            MarkGameStart();
            break;
        case CommandWord::Pgn2Pos:
        case CommandWord::Pgn2Game:
        case CommandWord::PgnList2Game:
        case CommandWord::Game2Pgn:
        case CommandWord::Game2Pos:
            ConverterCommand(c);
            break;
        case CommandWord::BookShow:
            BookShowCommand(gamePosition);
            break;
        case CommandWord::DbShow:
            DbShowCommand(gamePosition, false);
            break;
        case CommandWord::DbShowLin:
            DbShowCommand(gamePosition, true);
            break;
        case CommandWord::BookCreate:
            BookCreateCommand();
            break;
        case CommandWord::DbCreate:
            if (ReadNames(first, second, 2)) {
                DbCreateCommand(first, second);
            }
            break;
        case CommandWord::Benchmark:
            ReadWord(commandInput, first);
            std::printf("Define __STAT\n");
            break;
        case CommandWord::Perft: {
            int depth = 0;
            if (!ReadNumber(commandInput, depth)) depth = 0;
            // On a Board that is not playable the report shows 0 in every row.
            RunPerft(gamePosition, depth);
            break;
        }
        case CommandWord::Test:
            TestCommand();
            break;
        case CommandWord::Analyze:
            engineState.mode = Analyzing;
            break;
        case CommandWord::Exit:
            if (engineState.mode == Analyzing) engineState.mode = Force;
            break;
        case CommandWord::Undo:
            TakeBackCommand(word, 1);
            break;
        case CommandWord::Remove:
            TakeBackCommand(word, 2);
            break;
        case CommandWord::Status:
            if (engineState.mode == Analyzing) PrintSearchStatus();
            break;
        case CommandWord::Ping:
            PingCommand();
            break;
        case CommandWord::SecondsPerMove:
            SecondsPerMoveCommand();
            break;
        case CommandWord::DepthLimit:
            DepthLimitCommand();
            break;
        case CommandWord::BookMoves:
            BookMovesCommand();
            break;
        case CommandWord::Hint:
            HintCommand();
            break;
        case CommandWord::Post:
            engineState.postThinking = true;
            break;
        case CommandWord::NoPost:
            engineState.postThinking = false;
            break;
        case CommandWord::NoticeLine:
            SkipLineRest();
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
    if (pondered != 0 && leavesGameAlone && engineState.mode == Playing) ReplayPonderMove(pondered);
}

void ReceiveMove(const char* word, Move m) {
    engineState.searchUnfinished = true;
    if (!PositionPlayable(gamePosition)) {
        ReportError("position not playable", word);
        return;
    }
    if (engineState.mode == Pondering && m == engineState.ponderMove) {
        PonderHit();
        return;
    }
    bool wasPondering = engineState.mode == Pondering;
    // The move is judged in the game position, without the assumed reply.
    TakeBackPonderMove();
    if (!IsLegalMove(gamePosition, m)) {
        std::printf("Illegal move: %s\n", word);
        logStream << "Illegal move: " << word << std::endl;
        return;
    }
    bool answers = engineState.mode == Playing;
    if (!GameHasRoom(gamePosition, answers ? 2 : 1)) {
        ReportError("game too long", word);
        return;
    }
    if (wasPondering) {
        PonderMiss(m);
        return;
    }
    GameMove(m);
    if (answers) ThinkAndMove();
}

void Dispatch(const char* word) {
    if (IsTimeWord(word)) {
        char next[CommandBufferSize];
        if (ReadTimeItems(commandInput, next)) KeepCommandWord(next);
        return;
    }
    EngineMode mode = engineState.mode;
    Move m = TextToMove(gamePosition, word);
    if (m != 0 && (mode == Pondering || mode == Playing || mode == Force || mode == Analyzing)) {
        ReceiveMove(word, m);
        return;
    }
    Execute(word);
}

// Once the input is handled: a ponder or analysis search that has more to
// do goes on, unless the next command is already waiting.
void GoOnSearching() {
    if (!engineState.searchUnfinished || InputPending() != 0) return;
    if (engineState.mode == Analyzing) {
        AnalyzePosition();
    } else if (engineState.mode == Pondering && engineState.ponderEnabled) {
        ResumePondering();
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

void CommandLoop() {
    engineState.ponderEnabled = true;
    char word[CommandBufferSize] = {};
    engineState.mode = Force;
    // Interfaces signal their engines (SIGINT before relaying a move unless
    // told otherwise, SIGTERM after "quit"); the engine listens only to its
    // input, where "quit" ends it promptly.
    std::signal(SIGINT, SIG_IGN);
    std::signal(SIGTERM, SIG_IGN);
    Handshake();
    while (engineState.mode != Quit) {
        // The end of input ends the engine as "quit" would.
        if (!NextCommandWord(word)) {
            TakeBackPonderMove();
            engineState.mode = Quit;
            break;
        }
        logStream << "::cmd:: " << word << std::endl;
        try {
            Dispatch(word);
        } catch (const GameFileError&) {
            // The converter has reported the failure on standard output and
            // in the log; the loop goes on with the next command, and the
            // game from the position the converter left.
            MarkGameStart();
        }
        GoOnSearching();
    }
}

}  // namespace kavrin
