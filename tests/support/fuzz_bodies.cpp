#include "support/fuzz_bodies.h"

#include <cstring>

namespace kavrin::fuzz {

const FuzzTarget FuzzTargets[] = {
    {"fen", FuzzFen},
    {"movetext", FuzzMoveText},
    {"san", FuzzSan},
    {"pgn", FuzzPgn},
    {"gamefile", FuzzGameFile},
    {"posline", FuzzPosLine},
    {"book", FuzzBook},
    {"posdb", FuzzPosDb},
    {"polyglot", FuzzPolyglotBook},
    {"command_loop", FuzzCommandLoop},
    {"uci_position", FuzzUciPosition},
};
const int FuzzTargetCount = static_cast<int>(sizeof FuzzTargets / sizeof FuzzTargets[0]);

const FuzzTarget* FindFuzzTarget(const char* name) {
    for (const FuzzTarget& target : FuzzTargets) {
        if (std::strcmp(target.name, name) == 0) return &target;
    }
    return nullptr;
}

}  // namespace kavrin::fuzz
