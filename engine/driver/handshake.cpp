#include "driver/handshake.h"

#include <cstdio>
#include <cstring>

#include "board/board.h"
#include "board/tables.h"
#include "book/book.h"
#include "driver/engine_state.h"
#include "driver/input.h"
#include "system/log.h"

namespace kavrin {

namespace {

struct Feature {
    const char* name;
    const char* value;
};

constexpr Feature Features[] = {{"done", "0"}, {"setboard", "1"}};

// The interface answers each feature line with two words ("accepted done"
// and the like); they are read and dropped without a look.
void SkipReply(WordSource& input, bool fromInterface) {
    if (!fromInterface) return;
    char word[CommandBufferSize];
    ReadWord(input, word);
    ReadWord(input, word);
}

}  // namespace

void Handshake(XboardSession& session) {
    WordSource& input = session.input.source;
    session.state.mode = Playing;
    // Nothing may wait in a library buffer: every line must reach the
    // interface at once, and the input test asks the operating system.
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    std::setvbuf(stdin, nullptr, _IONBF, 0);
    std::fflush(nullptr);

    char word[CommandBufferSize];
    bool fromInterface = ReadWord(input, word) && std::strncmp(word, "xboard", 6) == 0;
    if (!fromInterface) std::printf("Engine works only with xboard protocol ver. 2\n");
    std::printf("\n");
    for (const Feature& feature : Features) {
        std::printf("feature %s=%s\n", feature.name, feature.value);
        SkipReply(input, fromInterface);
    }
    session.state.mode = Playing;

    BuildTables();
    session.engine.Table().Clear();
    const bool booksLoaded = session.books->Load();

    std::printf("feature done=1\n");
    SkipReply(input, fromInterface);

    // The message ends with its own line end; the log line gets no other and
    // is written out with the next flush.
    if (!booksLoaded) {
        std::printf("BOOK ERROR: %s\n", session.books->message);
        logStream << "BOOK ERROR: " << session.books->message;
    }
}

}  // namespace kavrin
