// The terms of kavrin-uci's tapered evaluation: the packed middle-game and
// endgame score, the index of every weight in the weight record, the game
// phase, and the fixed numbers that are not tuned. The weights themselves
// are in search/tapered_weights.h, which kavrin-tune writes.
#pragma once

#include <cstdint>

namespace kavrin {

// Packed score: the middle-game part in the low 16 bits, the endgame part
// above it (a negative middle-game part borrows one from the endgame part,
// which EgOf gives back). Sums of packed scores add both parts at once.
using Score = int32_t;
constexpr Score S(int mg, int eg) { return static_cast<Score>(static_cast<uint32_t>(eg) << 16) + mg; }
constexpr int MgOf(Score s) { return static_cast<int16_t>(static_cast<uint16_t>(static_cast<uint32_t>(s))); }
constexpr int EgOf(Score s) {
    return static_cast<int16_t>(static_cast<uint16_t>((static_cast<uint32_t>(s) + 0x8000u) >> 16));
}
static_assert(MgOf(S(-7, 12)) == -7 && EgOf(S(-7, 12)) == 12, "packed score parts");
static_assert(MgOf(S(5, -300) + S(-9, 1)) == -4 && EgOf(S(5, -300) + S(-9, 1)) == -299, "packed score sums");

// Game phase: knights and bishops 1, rooks 2, queens 4; 24 with every piece
// of the start on the board, and no more than that with promoted pieces.
constexpr int PhaseMax = 24;
constexpr int KnightPhase = 1;
constexpr int BishopPhase = 1;
constexpr int RookPhase = 2;
constexpr int QueenPhase = 4;

// Table sizes: mobility by the number of squares a piece reaches, king
// danger by attack units, passed pawns by rank.
constexpr int KnightMobilitySize = 9;
constexpr int BishopMobilitySize = 14;
constexpr int RookMobilitySize = 15;
constexpr int QueenMobilitySize = 28;
constexpr int KingDangerSize = 32;
constexpr int RankCount = 8;

// King danger: the attack units a piece adds for each square of the enemy
// king's zone (the king's square and the squares around it) it attacks;
// the danger counts only when two or more pieces attack the zone.
constexpr int KnightAttackUnits = 2;
constexpr int BishopAttackUnits = 2;
constexpr int RookAttackUnits = 3;
constexpr int QueenAttackUnits = 5;
constexpr int KingAttackersNeeded = 2;

// Where each weight sits in the record. Tables by square are in White's
// view: a8 first, h1 last (a black piece reads its square turned over rank
// by rank); tables by rank start at the side's own first rank.
enum TaperedTerm : int {
    MaterialTerm = 0,                                // pawn, knight, bishop, rook, queen
    PieceSquareTerm = MaterialTerm + 5,              // [kind - 1][square], pawn to king
    DoubledPawnTerm = PieceSquareTerm + 6 * 64,      // per pawn with another own pawn on its file
    IsolatedPawnTerm,                                // no own pawn on the files beside it
    IsolatedOpenPawnTerm,                            // isolated, no enemy pawn in front of it
    BackwardPawnTerm,                                // cannot be supported, its stop square held by an enemy pawn
    SupportedPawnTerm,                               // defended by an own pawn
    PassedPawnTerm,                                  // [rank]
    PassedFreeTerm = PassedPawnTerm + RankCount,     // [rank], the square in front empty
    PassedOwnKingTerm = PassedFreeTerm + RankCount,  // per square of distance to the own king
    PassedEnemyKingTerm,                             // per square of distance to the enemy king
    KnightPerPawnTerm,                               // per pawn on the board, for each knight
    BishopPerPawnTerm,                               // per pawn on the board, for each bishop
    KnightMobilityTerm,                              // [squares]
    BishopMobilityTerm = KnightMobilityTerm + KnightMobilitySize,
    RookMobilityTerm = BishopMobilityTerm + BishopMobilitySize,
    QueenMobilityTerm = RookMobilityTerm + RookMobilitySize,
    BishopPairTerm = QueenMobilityTerm + QueenMobilitySize,
    TrappedBishopTerm,      // shut in on a7/b8/g8/h7 (White's view) by a pawn
    RookOpenFileTerm,       // no pawn on its file
    RookHalfOpenFileTerm,   // no own pawn on its file
    RookBehindPassedTerm,   // behind an own passed pawn on its file
    RookSeventhTerm,        // on the seventh rank
    ShelterNearTerm,        // own pawns one rank in front of the king, its file and the next
    ShelterFarTerm,         // own pawns two ranks in front
    KingOwnOpenFileTerm,    // files at the king without own pawns
    KingEnemyOpenFileTerm,  // files at the king without enemy pawns
    KingDangerTerm,         // [attack units] against the enemy king
    ThreatByPawnTerm = KingDangerTerm + KingDangerSize,  // knight, bishop, rook, queen attacked by a pawn
    ThreatByMinorTerm = ThreatByPawnTerm + 4,            // rook, queen attacked by a knight or bishop
    ThreatByRookTerm = ThreatByMinorTerm + 2,            // queen attacked by a rook
    TempoTerm,                                           // the side to move
    TaperedTermCount
};

// The record of the weights the evaluation reads.
struct TaperedWeights {
    Score term[TaperedTermCount];
};

// The groups of terms, as kavrin-tune writes them out: a name, the first
// index, the count and the weights per line.
struct TaperedTermGroup {
    const char* name;
    int first;
    int count;
    int perLine;
};

inline constexpr TaperedTermGroup TaperedTermGroups[] = {
    {"Material: pawn, knight, bishop, rook, queen", MaterialTerm, 5, 5},
    {"Pawn squares", PieceSquareTerm + 0 * 64, 64, 8},
    {"Knight squares", PieceSquareTerm + 1 * 64, 64, 8},
    {"Bishop squares", PieceSquareTerm + 2 * 64, 64, 8},
    {"Rook squares", PieceSquareTerm + 3 * 64, 64, 8},
    {"Queen squares", PieceSquareTerm + 4 * 64, 64, 8},
    {"King squares", PieceSquareTerm + 5 * 64, 64, 8},
    {"Pawns: doubled, isolated, isolated on an open file, backward, supported", DoubledPawnTerm, 5, 5},
    {"Passed pawn by rank", PassedPawnTerm, RankCount, RankCount},
    {"Passed pawn free to advance, by rank", PassedFreeTerm, RankCount, RankCount},
    {"Passed pawn: per square to the own king, to the enemy king", PassedOwnKingTerm, 2, 2},
    {"Per pawn on the board: knight, bishop", KnightPerPawnTerm, 2, 2},
    {"Knight mobility", KnightMobilityTerm, KnightMobilitySize, 8},
    {"Bishop mobility", BishopMobilityTerm, BishopMobilitySize, 8},
    {"Rook mobility", RookMobilityTerm, RookMobilitySize, 8},
    {"Queen mobility", QueenMobilityTerm, QueenMobilitySize, 8},
    {"Bishop pair, trapped bishop", BishopPairTerm, 2, 2},
    {"Rook: open file, half-open file, behind a passed pawn, seventh rank", RookOpenFileTerm, 4, 4},
    {"King shelter: near, far; open files: own, enemy", ShelterNearTerm, 4, 4},
    {"King danger by attack units", KingDangerTerm, KingDangerSize, 8},
    {"Threat by a pawn: knight, bishop, rook, queen", ThreatByPawnTerm, 4, 4},
    {"Threat by a minor piece: rook, queen; by a rook: queen", ThreatByMinorTerm, 3, 3},
    {"Tempo", TempoTerm, 1, 1},
};

// The groups cover every term once, in order.
static_assert(
    [] {
        int next = 0;
        for (const TaperedTermGroup& g : TaperedTermGroups) {
            if (g.first != next || g.count <= 0 || g.perLine <= 0) return false;
            next += g.count;
        }
        return next == TaperedTermCount;
    }(),
    "the term groups tile the weight record");

}  // namespace kavrin
