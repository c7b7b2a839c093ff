#include "driver/handshake.h"

#include <cstdio>
#include <cstring>

#include "board/board.h"
#include "board/tables.h"
#include "book/commands.h"
#include "driver/engine_state.h"
#include "driver/input.h"
#include "system/log.h"
#include "search/tt.h"

namespace kavrin {

namespace {

struct Feature {
    const char* name;
    const char* value;
};

constexpr Feature Features[] = {{"done", "0"}, {"setboard", "1"}};

// The interface answers each feature line with two words ("accepted done"
// and the like); they are read and dropped without a look.
void SkipReply(bool fromInterface) {
    if (!fromInterface) return;
    char word[CommandBufferSize];
    ReadWord(commandInput, word);
    ReadWord(commandInput, word);
}

}  // namespace

void Handshake() {
    engineState.mode = Playing;
    // Nothing may wait in a library buffer: every line must reach the
    // interface at once, and the input test asks the operating system.
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    std::setvbuf(stdin, nullptr, _IONBF, 0);
    std::fflush(nullptr);

    char word[CommandBufferSize];
    bool fromInterface = ReadWord(commandInput, word) && std::strncmp(word, "xboard", 6) == 0;
    if (!fromInterface) std::printf("Engine works only with xboard protocol ver. 2\n");
    std::printf("\n");
    for (const Feature& feature : Features) {
        std::printf("feature %s=%s\n", feature.name, feature.value);
        SkipReply(fromInterface);
    }
    engineState.mode = Playing;

    BuildTables();
    ClearTranspositionTable();
    bool booksLoaded = LoadBooks();

    std::printf("feature done=1\n");
    SkipReply(fromInterface);

    // The message ends with its own line end; the log line gets no other and
    // is written out with the next flush.
    if (!booksLoaded) {
        std::printf("BOOK ERROR: %s\n", BookLoadMessage());
        logStream << "BOOK ERROR: " << BookLoadMessage();
    }
}

}  // namespace kavrin
