// The engine's main loop: reads one command word at a time from standard
// input and dispatches it, for the interface and for the workbench.
#pragma once

namespace kavrin {

// The command words after "time" and the moves, in the order they are tried.
enum class CommandWord {
    Unknown,
    Go,
    NewGame,  // "new" and "result"
    Level,
    Force,
    Setboard,
    Easy,
    Hard,
    Quit,
    White,
    Black,
    Pgn2Pos,
    Pgn2Game,
    PgnList2Game,
    Game2Pgn,
    Game2Pos,
    BookShow,
    DbShow,
    DbShowLin,
    BookCreate,
    DbCreate,
    Benchmark,
    Perft,
    Test,
    Analyze,
    Exit,
    Undo,
    Remove,
    MoveNow,  // "?"
    Status,   // "."
    Ping,
    SecondsPerMove,  // "st"
    DepthLimit,      // "sd"
    BookMoves,       // "bk"
    Hint,
    Post,
    NoPost,
    // Taken without an answer: "draw", "computer", "random", "otim" (whose
    // number stays a word of its own, as the loop has always read it).
    Notice,
    // Taken with the rest of their line, without an answer: "name", "rating",
    // "ics", "accepted", "rejected".
    NoticeLine,
};

// "time" is recognised by its first four characters, before any move.
bool IsTimeWord(const char* word);

// The command a word names. The interface commands of the first protocol
// version match by prefix ("gone" is "go", "newgame" is "new"), all others
// only as whole words. A word that names nothing gives Unknown.
CommandWord MatchCommandWord(const char* word);

class XboardSession;

// Runs the handshake, then reads and executes the session's commands until
// "quit" or the end of input.
void CommandLoop(XboardSession& session);

}  // namespace kavrin
