#include "driver/command_loop.h"

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
#include "book/commands.h"
#include "driver/engine_state.h"
#include "driver/game.h"
#include "driver/handshake.h"
#include "driver/input.h"
#include "system/log.h"
#include "driver/timecontrol.h"
#include "notation/converters.h"
#include "notation/epd.h"
#include "notation/pgn.h"
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
    // The interface assumes analysis is supported unless refused.
    {"analyze", 0, CommandWord::Analyze},
};

bool Matches(const char* word, const CommandName& name) {
    if (name.prefixLength == 0) return std::strcmp(word, name.text) == 0;
    return std::strncmp(word, name.text, static_cast<size_t>(name.prefixLength)) == 0;
}

// A word read ahead by "time" that turned out to be the next command.
char pendingWord[CommandBufferSize];
bool wordPending = false;

bool NextCommandWord(char word[CommandBufferSize]) {
    if (wordPending) {
        wordPending = false;
        std::memcpy(word, pendingWord, CommandBufferSize);
        return true;
    }
    return ReadWord(commandInput, word);
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
    if (!ReadFen(text, &operations)) return false;
    ResetSearchState();
    return CheckEpdOperation(operations);
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
    PrintBoard(board.pieceOn);
    ApplyRemainingTime(TestRemainingCs);
}

void NewGameCommand() {
    SetUpPosition(InitialFen);
    engineState.mode = Playing;
}

// Reads the n file-name words of a workbench command; false when the input
// ended before all of them.
bool ReadNames(char first[CommandBufferSize], char second[CommandBufferSize], int n) {
    if (!ReadWord(commandInput, first)) return false;
    return n < 2 || ReadWord(commandInput, second);
}

void GoCommand(const char* word) {
    if (!PositionPlayable()) {
        ReportError("position not playable", word);
        return;
    }
    if (!GameHasRoom(1)) {
        ReportError("game too long", word);
        return;
    }
    ThinkAndMove();
}

// Commands that read or replace the position act on the game position: an
// assumed ponder reply is taken back first.
bool ActsOnPosition(CommandWord c) {
    switch (c) {
        case CommandWord::Unknown:
        case CommandWord::Level:
        case CommandWord::Easy:
        case CommandWord::Hard:
        case CommandWord::Benchmark:
        case CommandWord::Analyze:
            return false;
        default:
            return true;
    }
}

void Execute(const char* word) {
    CommandWord c = MatchCommandWord(word);
    if (ActsOnPosition(c)) TakeBackPonderMove();
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
            SetSideToMove(White);
            break;
        case CommandWord::Black:
            SetSideToMove(Black);
            break;
        case CommandWord::Pgn2Pos:
            if (ReadNames(first, second, 1)) {
                Pgn2Pos(first);
            }
            break;
        case CommandWord::Pgn2Game:
            if (ReadNames(first, second, 2)) {
                int total = 0;
                Pgn2Game(first, second, total);
            }
            break;
        case CommandWord::PgnList2Game:
            if (ReadNames(first, second, 2)) {
                PgnList2Game(first, second);
            }
            break;
        case CommandWord::Game2Pgn:
            if (ReadNames(first, second, 2)) {
                Game2Pgn(first, second);
            }
            break;
        case CommandWord::Game2Pos:
            if (ReadNames(first, second, 2)) {
                Game2Pos(first, second);
            }
            break;
        case CommandWord::BookShow:
            BookShowCommand();
            break;
        case CommandWord::DbShow:
            DbShowCommand(false);
            break;
        case CommandWord::DbShowLin:
            DbShowCommand(true);
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
            RunPerft(depth);
            break;
        }
        case CommandWord::Test:
            TestCommand();
            break;
        case CommandWord::Analyze:
            ReportError("unknown command", word);
            break;
        case CommandWord::Unknown:
            break;
    }
}

void ReceiveMove(const char* word, Move m) {
    if (!PositionPlayable()) {
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
    if (!IsLegalMove(m)) {
        std::printf("Illegal move: %s\n", word);
        logStream << "Illegal move: " << word << std::endl;
        return;
    }
    bool answers = engineState.mode == Playing;
    if (!GameHasRoom(answers ? 2 : 1)) {
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
        wordPending = ReadTimeItems(commandInput, pendingWord);
        return;
    }
    EngineMode mode = engineState.mode;
    Move m = TextToMove(word);
    if (m != 0 && (mode == Pondering || mode == Playing || mode == Force)) {
        ReceiveMove(word, m);
        return;
    }
    Execute(word);
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
            // in the log; the loop goes on with the next command.
        }
    }
}

}  // namespace kavrin
