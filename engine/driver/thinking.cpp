#include "driver/thinking.h"

#include <cstdio>
#include <cstring>

#include "board/movetext.h"
#include "driver/engine_state.h"
#include "driver/input.h"
#include "search/engine.h"
#include "search/root.h"
#include "system/clock.h"
#include "system/log.h"

namespace kavrin {

// Ply, score, time (always 0), nodes and the variation; none while pondering
// or after "nopost".
void XboardSession::IterationDone(const IterationReport& report) {
    if (report.pondering || !state.postThinking) return;
    // The node count is shown in 32 bits, as it always was.
    std::printf("    %d     %d     %d     %d  %s\n", report.depth, report.score, 0,
                static_cast<int>(static_cast<uint32_t>(report.nodes)), report.pvText);
    std::fflush(stdout);
}

void XboardSession::LogLine(const char* line) { logStream << line << std::endl; }

// Whether the search must stop for what the interface has sent. On the
// engine's own turn and in analyze mode the waiting words are read here: a
// status request (".") is answered and a blank line dropped, so that neither
// costs the search its progress, and "?" on the engine's turn stops the
// search for the move. Any other word is kept for the command loop and stops
// the search; so does any input at all in the other modes.
bool XboardSession::StopRequested() {
    const EngineMode mode = state.mode;
    if (mode != Thinking && mode != Analyzing) return InputPending(input) != 0;
    for (;;) {
        if (CommandWordKept(input)) return true;
        const WaitingInput waiting = SkipWaitingWhiteSpace(input.source);
        if (waiting == WaitingInput::Nothing) return false;
        char word[CommandBufferSize];
        if (waiting == WaitingInput::End || !ReadWord(input.source, word)) return true;
        const bool status = std::strcmp(word, ".") == 0;
        const bool moveNow = std::strcmp(word, "?") == 0;
        if (!status && !moveNow) {
            KeepCommandWord(input, word);
            return true;
        }
        logStream << "::cmd:: " << word << std::endl;
        if (status && mode == Analyzing) PrintSearchStatus(*this);
        if (moveNow && mode == Thinking) return true;
    }
}

void PrintSearchStatus(XboardSession& session) {
    const SearchWorker& search = session.engine.Threads().Main();
    const RootProgress& rootProgress = search.Progress();
    const int centiseconds = (ClockMs() - session.limits.searchStart) / 10;
    const int movesLeft = rootProgress.moveCount - rootProgress.movesSearched;
    std::printf("stat01: %d %u %d %d %d", centiseconds, static_cast<unsigned>(search.Nodes()), search.IterationDepth(),
                movesLeft, rootProgress.moveCount);
    if (rootProgress.current != 0) {
        char text[MoveTextSize];
        MoveToText(text, rootProgress.current);
        std::printf(" %s", text);
    }
    std::printf("\n");
    std::fflush(stdout);
}

}  // namespace kavrin
