// The search profiles. The node functions (search/alphabeta_node.h,
// quiesce_node.h, root_node.h) are templates over a profile: a compile-time
// policy whose switches say which steps the search takes, and whose
// parameter record holds the numbers those steps read. A step a profile
// switches off compiles to nothing.
//
// The classic profile is the search kavrin has always run; every later step
// is off in it. The modern profile is kavrin-uci's own: it gains a step only
// when a match shows that the step makes it stronger.
#pragma once

#include <cstdint>

#include "board/board.h"
#include "board/types.h"

namespace kavrin {

// Which profile a search runs (SearchLimits::profile).
enum class SearchProfile : uint8_t { Classic, Modern };

// What the move loop of a full-width node knows when it considers skipping a
// move without searching it.
struct MoveChoice {
    const Position& pos;
    Move move;
    int depth;
    int ply;
    int movesSearched;  // legal moves searched so far at the node
    bool inCheck;
};

// The numbers a profile's steps read.
struct SearchParameters {};

struct ClassicProfile {
    static constexpr SearchProfile Id = SearchProfile::Classic;
    static constexpr SearchParameters Parameters{};
    // The move loop may skip moves (SkipMove decides).
    static constexpr bool SkipsMoves = false;
    static constexpr bool SkipMove(const MoveChoice&) { return false; }
};

struct ModernProfile {
    static constexpr SearchProfile Id = SearchProfile::Modern;
    static constexpr SearchParameters Parameters{};
    static constexpr bool SkipsMoves = false;
    static constexpr bool SkipMove(const MoveChoice&) { return false; }
};

}  // namespace kavrin
