// Fuzz body for the command loop: the handshake of an interface, then the
// input as the rest of standard input.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <memory>
#include <string>

#include "board/board.h"
#include "board/poscheck.h"
#include "driver/command_loop.h"
#include "driver/engine_state.h"
#include "driver/input.h"
#include "search/engine.h"
#include "support/fuzz_bodies.h"
#include "support/fuzz_support.h"

namespace kavrin::fuzz {

namespace {

constexpr const char* InterfaceGreeting = "xboard\naccepted done\naccepted setboard\naccepted done\n";
// Deepest "perft" an input may ask for: deeper ones take minutes and prove
// nothing more about reading commands.
constexpr int PerftDepthLimit = 3;

// The engine the inputs meet: a small one, the least table and a pawn cache
// of a thousand entries, made once and put back as it was made before each
// input. Its searches look at the input (where something always waits)
// after every move rather than after thousands: what is fuzzed here is the
// reading of commands.
constexpr size_t FuzzTableMegabytes = 0;
constexpr int FuzzPawnCacheBits = 10;
constexpr uint64_t FuzzPollInterval = 1;

Engine& FuzzEngine() {
    static const auto engine = std::make_unique<Engine>(FuzzTableMegabytes, FuzzPawnCacheBits);
    return *engine;
}

bool IsBlank(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

// Inputs the run must not act on: file names outside the scratch folder
// (absolute or climbing out of it) and deep perft runs.
bool Acceptable(const std::string& input) {
    size_t i = 0;
    bool afterPerft = false;
    while (i < input.size()) {
        while (i < input.size() && IsBlank(input[i])) ++i;
        const size_t start = i;
        while (i < input.size() && !IsBlank(input[i])) ++i;
        if (start == i) break;
        const std::string word = input.substr(start, i - start);
        if (word[0] == '/' || word[0] == '~' || word.find("..") != std::string::npos) return false;
        if (afterPerft) {
            // The depth is read as a number: optional sign, then digits.
            size_t d = word[0] == '+' || word[0] == '-' ? 1 : 0;
            long depth = 0;
            while (d < word.size() && word[d] >= '0' && word[d] <= '9' && depth <= PerftDepthLimit)
                depth = depth * 10 + (word[d++] - '0');
            if (word[0] != '-' && depth > PerftDepthLimit) return false;
        }
        afterPerft = word == "perft";
    }
    return true;
}

}  // namespace

int FuzzCommandLoop(const uint8_t* data, size_t size) {
    PrepareEngine();
    const std::string input = InterfaceGreeting + AsText(data, size);
    if (!Acceptable(input)) return 0;

    std::FILE* words = fmemopen(const_cast<char*>(input.data()), input.size(), "r");
    Require(words != nullptr, "cannot open the input as a stream");
    // Every input meets the engine as a fresh process would, with a session
    // of its own.
    Engine& engine = FuzzEngine();
    engine.Reset();
    const auto session = std::make_unique<XboardSession>(engine, words);
    session->limits.pollInterval = FuzzPollInterval;

    char here[4096];
    Require(getcwd(here, sizeof here) != nullptr, "cannot read the working folder");
    Require(chdir(ScratchDirectory().c_str()) == 0, "cannot enter the scratch folder");
    {
        // Standard input is an empty file: the input test then always reports
        // pending input, so every search and ponder search stops at its first
        // look and the run ends with the input.
        const std::string emptyName = ScratchDirectory() + "/stdin";
        const int empty = open(emptyName.c_str(), O_RDONLY | O_CREAT | O_TRUNC, 0600);
        Require(empty >= 0, "cannot create the empty input");
        const int sink = open("/dev/null", O_WRONLY);
        Require(sink >= 0, "cannot open /dev/null");
        Redirect toEmpty(STDIN_FILENO, empty);
        Redirect toSink(STDOUT_FILENO, sink);
        CommandLoop(*session);
    }
    Require(chdir(here) == 0, "cannot return to the working folder");
    std::fclose(words);

    Require(session->state.mode == Quit, "the command loop returned before quit or the end of input");
    if (engine.Game().playable) {
        const char* why = nullptr;
        if (!CheckPosition(engine.Game(), &why))
            InvariantFailed("position check fails after the command loop:", why ? why : "");
    }
    ClearScratchDirectory();
    return 0;
}

}  // namespace kavrin::fuzz
