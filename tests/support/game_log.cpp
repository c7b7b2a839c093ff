#include "support/game_log.h"

#include <chrono>
#include <cstdio>
#include <thread>

#include "board/board.h"
#include "board/fen.h"
#include "board/legal.h"
#include "board/makemove.h"
#include "board/movegen.h"
#include "board/movetext.h"
#include "search/game.h"
#include "support/board_setup.h"
#include "support/test_engine.h"
#include "support/text.h"

namespace kavrin::test {

// The game position after the moves, computed in this process.
bool PlayInProcess(const char* fen, const std::vector<std::string>& moves) {
    if (!ReadFen(gamePosition, fen)) return false;
    for (const std::string& text : moves) {
        if (!PlayIfLegal(text)) return false;
    }
    return true;
}

std::string HashLine() {
    char text[32];
    std::snprintf(text, sizeof text, "%x %x", static_cast<unsigned>(gamePosition.board.hashKey >> 32),
                  static_cast<unsigned>(gamePosition.board.hashKey & 0xFFFFFFFFu));
    return text;
}

// The reply that leads from the in-process position to the position of fen.
std::string ReplyLeadingTo(const std::string& fen) {
    for (const std::string& text : LegalMoveTexts()) {
        Move m = TextToMoveOnBoard(gamePosition, text.c_str());
        UndoRecord ply{};
        SaveForMake(gamePosition, ply);
        MakeMove(gamePosition, m, ply);
        char after[FenTextSize];
        WriteFen(gamePosition, after);
        UnmakeMove(gamePosition, m, ply);
        if (fen == after) return text;
    }
    return "";
}

// Index of the first log line at or after `from` that begins with prefix.
size_t FindLine(const std::vector<std::string>& lines, const std::string& prefix, size_t from) {
    for (size_t i = from; i < lines.size(); ++i) {
        if (lines[i].compare(0, prefix.size(), prefix) == 0) return i;
    }
    return lines.size();
}

// Waits until the log holds a line beginning with prefix after the line
// beginning with after; returns that line's text after the prefix.
std::string WaitForLogLine(EngineProcess& engine, int timeoutMs, const std::string& after, const std::string& prefix) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
        std::vector<std::string> lines = Lines(engine.Log());
        size_t start = FindLine(lines, after);
        size_t at = start < lines.size() ? FindLine(lines, prefix, start + 1) : lines.size();
        if (at < lines.size()) return lines[at].substr(prefix.size());
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return "";
}

size_t WaitForLogLineFrom(EngineProcess& engine, int timeoutMs, size_t from, const std::string& prefix) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        std::vector<std::string> lines = Lines(engine.Log());
        size_t at = FindLine(lines, prefix, from);
        if (at < lines.size() || std::chrono::steady_clock::now() >= deadline) return at;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

std::string FenOfBoard() {
    char fen[FenTextSize];
    WriteFen(gamePosition, fen);
    return fen;
}

}  // namespace kavrin::test
