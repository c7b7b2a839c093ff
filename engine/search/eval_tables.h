// The weights of kavrin's static evaluation in one record: the material
// thresholds of its steps, the pawn-structure and piece terms, the
// king-tropism weights, the king-attack weights and the shelter multipliers.
// The piece-square tables are board data, in board/pst.h; the material values
// are the board's PieceValue, which the move order's exchange scoring shares.
#pragma once

#include <cstdint>

#include "board/types.h"

namespace kavrin {

// Danger weight entries, by a king's attack count.
inline constexpr int KingAttackWeightSize = 128;

struct ClassicEvalWeights {
    // Thresholds. King shelter and file openness count while totalMaterial
    // is above shelterMaterialAbove. nonPawnMaterial thresholds: from
    // minorExceededAt a side has more than a single minor piece; from
    // queenImbalanceAt a lone queen counts in the imbalance; above
    // kingDangerAbove a side can attack the enemy king.
    int shelterMaterialAbove;
    int minorExceededAt;
    int queenImbalanceAt;
    int kingDangerAbove;

    // Material by piece code.
    int16_t pieceValue[13];

    // King shelter: the unit per shelter pawn (more while the enemy has a
    // queen), raised on the king side and lowered on the queen side; a pawn
    // on the third rank counts half.
    int shelterUnit;
    int shelterQueenUnit;
    int shelterKingSideExtra;
    int shelterQueenSideExtra;

    // Pawns.
    int doubledPawn;
    int passedPawnPerRank;
    int isolatedPawn;
    int isolatedPawnOpen;  // and no enemy pawn in front of it
    int weakPawnUnit;      // per attacker weight of a pawn attacked by enemy pawns
    int weakPawnTwoAttackers;
    int weakPawnOneAttacker;
    int weakPawnTwoDefenders;  // taken off the attacker weight
    int weakPawnOneDefender;

    // Minor pieces: a knight gains per pawn on the board above knightPawnBase;
    // a bishop gains per square it reaches and loses per pawn.
    int knightPawnBase;
    int bishopMobility;
    int bishopBase;
    int trappedBishop;
    int bishopPair;

    // Rooks.
    int rookBehindPassedPawn;
    int rookHalfOpenFile;
    int rookOpenFile;  // on top of the half-open bonus
    int rookMobility;
    int rookBase;
    int rookSeventh;
    int rooksDoubledOnSeventh;
    int rooksSeventhKingOnEighth;
    int rooksSeventhKingOnSeventh;

    // Queens.
    int queenMobility;
    int queenBase;

    // Material imbalance: three minors against two majors, two minors
    // against a major, a minor against a major's exchange, the majors with
    // equal queens, and a lone queen.
    int imbalanceThreeMinors;
    int imbalanceTwoMinors;
    int imbalanceOneMinor;
    int imbalanceMajor;
    int imbalanceQueen;

    // Weight by the Chebyshev distance (0..7) between a piece and the enemy king.
    uint8_t knightTropism[8];
    uint8_t bishopTropism[8];
    uint8_t rookTropism[8];
    uint8_t queenTropism[8];

    // Danger weight by a king's attack count. Entries 48..51 repeat 44..47 on
    // purpose; from 58 on every entry is 200.
    int16_t kingAttackWeight[KingAttackWeightSize];

    // Multiplier of the king danger by the openness count (0..15) of the
    // king's files.
    int16_t shelterMultiplier[16];
};

// clang-format off

inline constexpr ClassicEvalWeights ClassicEval{
    .shelterMaterialAbove = 35,
    .minorExceededAt = 5,
    .queenImbalanceAt = 12,
    .kingDangerAbove = 13,
    .pieceValue = {PieceValue[0], PieceValue[1], PieceValue[2], PieceValue[3], PieceValue[4], PieceValue[5],
                   PieceValue[6], PieceValue[7], PieceValue[8], PieceValue[9], PieceValue[10], PieceValue[11],
                   PieceValue[12]},
    .shelterUnit = 5,
    .shelterQueenUnit = 6,
    .shelterKingSideExtra = 1,
    .shelterQueenSideExtra = -2,
    .doubledPawn = 8,
    .passedPawnPerRank = 16,
    .isolatedPawn = 16,
    .isolatedPawnOpen = 6,
    .weakPawnUnit = 8,
    .weakPawnTwoAttackers = 3,
    .weakPawnOneAttacker = 2,
    .weakPawnTwoDefenders = 2,
    .weakPawnOneDefender = 1,
    .knightPawnBase = 6,
    .bishopMobility = 5,
    .bishopBase = 24,
    .trappedBishop = 220,
    .bishopPair = 40,
    .rookBehindPassedPawn = 20,
    .rookHalfOpenFile = 8,
    .rookOpenFile = 12,
    .rookMobility = 2,
    .rookBase = 14,
    .rookSeventh = 18,
    .rooksDoubledOnSeventh = 18,
    .rooksSeventhKingOnEighth = 48,
    .rooksSeventhKingOnSeventh = 18,
    .queenMobility = 1,
    .queenBase = 13,
    .imbalanceThreeMinors = 130,
    .imbalanceTwoMinors = 100,
    .imbalanceOneMinor = 60,
    .imbalanceMajor = 100,
    .imbalanceQueen = 60,
    .knightTropism = {4, 5, 5, 2, 1, 0, 0, 0},
    .bishopTropism = {5, 5, 4, 2, 1, 0, 0, 0},
    .rookTropism = {6, 5, 4, 2, 1, 0, 0, 0},
    .queenTropism = {9, 9, 8, 4, 2, 1, 0, 0},
    .kingAttackWeight = {
          0,   1,   3,   8,  10,  15,  20,  25,  30,  35,  40,  45,  50,  55,  60,  65,
         70,  75,  80,  85,  90,  95, 100, 110, 115, 117, 120, 122, 125, 127, 130, 132,
        135, 137, 140, 142, 145, 147, 150, 152, 155, 157, 160, 162, 165, 167, 170, 172,
        165, 167, 170, 172, 175, 177, 190, 192, 195, 197, 200, 200, 200, 200, 200, 200,
        200, 200, 200, 200, 200, 200, 200, 200, 200, 200, 200, 200, 200, 200, 200, 200,
        200, 200, 200, 200, 200, 200, 200, 200, 200, 200, 200, 200, 200, 200, 200, 200,
        200, 200, 200, 200, 200, 200, 200, 200, 200, 200, 200, 200, 200, 200, 200, 200,
        200, 200, 200, 200, 200, 200, 200, 200, 200, 200, 200, 200, 200, 200, 200, 200,
    },
    .shelterMultiplier = {1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4},
};

// clang-format on

// The king-attack weights by their own name.
inline constexpr const int16_t (&KingAttackWeight)[KingAttackWeightSize] = ClassicEval.kingAttackWeight;

}  // namespace kavrin
