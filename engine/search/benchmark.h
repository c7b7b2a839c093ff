// The fixed positions of the search benchmark and the fixed-depth search run
// on each: the benchmark programs print their node counts, and the signature
// test compares them with the recorded ones.
#pragma once

#include <cstdint>
#include <iterator>

#include "board/types.h"
#include "search/control.h"
#include "search/root.h"

namespace kavrin {

struct BenchmarkPosition {
    const char* name;
    const char* fen;
    int depth;
};

// Opening, middlegame, endgame and tactical positions.
inline constexpr BenchmarkPosition BenchmarkPositions[] = {
    {"start", "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -", 9},
    {"ruy lopez", "r1bqkbnr/pppp1ppp/2n5/1B2p3/4P3/5N2/PPPP1PPP/RNBQK2R b KQkq -", 9},
    {"sicilian", "rnbqkb1r/pp2pppp/3p1n2/8/3NP3/8/PPP2PPP/RNBQKB1R w KQkq -", 8},
    {"queen's gambit", "rnbqkb1r/ppp2ppp/4pn2/3p4/2PP4/2N5/PP2PPPP/R1BQKBNR w KQkq -", 8},
    {"castled sides", "r2q1rk1/pb1nbppp/1p2pn2/2pp4/2PP4/1PN1PN2/PB2BPPP/R2Q1RK1 w - -", 8},
    {"busy middlegame", "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq -", 7},
    {"knight sacrifice", "2rr3k/pp3pp1/1nnqbN1p/3pN3/2pP4/2P3Q1/PPB4P/R4RK1 w - -", 8},
    {"exposed king", "r1b1kb1r/pppp1ppp/5q2/4n3/3KP3/2N3PN/PPP4P/R1BQ1B1R b kq -", 7},
    {"rook lift", "5rk1/1ppb3p/p1pb4/6q1/3P1p1r/2P1R2P/PP1BQ1P1/5RKN w - -", 8},
    {"mate in one", "r1bqkb1r/pppp1ppp/2n2n2/4p2Q/2B1P3/8/PPPP1PPP/RNB1K1NR w KQkq -", 8},
    {"mate in two", "r2qkb1r/pp2nppp/3p4/2pNN1B1/2BnP3/3P4/PPP2PPP/R2bK2R w KQkq -", 8},
    {"bishop and pawn", "8/8/4k3/8/2p5/8/B2P2K1/8 w - -", 10},
    {"rook and pawns", "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - -", 10},
    {"rook ending", "6k1/5p2/6p1/8/7P/6P1/r4PK1/1R6 w - -", 11},
    {"king and pawn", "8/8/8/4k3/8/8/4P3/4K3 w - -", 14},
    {"queen mates", "8/8/1k6/8/8/2Q5/8/2K5 w - -", 9},
    {"lucena", "1K6/1P1k4/8/8/8/8/r7/2R5 w - -", 12},
    {"locked pawns", "8/k7/3p4/p2P1p2/P2P1P2/8/8/K7 w - -", 20},
    {"promotion race", "8/P7/8/8/8/8/p6k/K7 w - -", 10},
    {"queen and rooks", "3r2k1/pp3pp1/2p4p/8/2P1q3/1P3Q2/P4PPP/3R2K1 w - -", 9},
};
inline constexpr int BenchmarkPositionCount = static_cast<int>(std::size(BenchmarkPositions));

// The signature test searches each position this much shallower, to keep its
// run short under the sanitizers.
inline constexpr int SignatureTestDepthReduction = 3;

// A position's benchmark depth less reduction, never below the first iteration.
constexpr int BenchmarkDepth(const BenchmarkPosition& p, int reduction) {
    return p.depth - reduction < FirstIterationDepth ? FirstIterationDepth : p.depth - reduction;
}
constexpr int SignatureTestDepth(const BenchmarkPosition& p) { return BenchmarkDepth(p, SignatureTestDepthReduction); }

struct SearchCounts {
    uint64_t nodes;    // moves made by the root and full-width searches
    uint64_t quiesce;  // moves made by the quiescence search
    Move best;
    int score;
    double seconds;     // the search alone, without the position read
    double cpuSeconds;  // the same in processor time of this process
};

// Processor time of this process: on a shared machine it shows the search's
// own speed better than the wall clock.
double ProcessSeconds();

class Engine;

// Reads the position into the engine's game position fresh (empty tables)
// and searches it to depth with no time limit, on the engine's search
// threads as they are set. The search runs without a front end: it prints
// nothing, writes no log and nothing but depth ends it.
SearchCounts SearchFixedDepth(Engine& engine, const BenchmarkPosition& p, int depth);

// The limits of a fixed-depth, untimed benchmark search.
SearchLimits FixedDepthLimits(int depth);

}  // namespace kavrin
