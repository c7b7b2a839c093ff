// Constant data of the static evaluation: the king-tropism weights, the
// king-attack weights and the shelter multipliers. The piece-square tables
// are board data, in board/pst.h.
#pragma once

#include <cstdint>

namespace kavrin {

// clang-format off

// Weight by the Chebyshev distance (0..7) between a piece and the enemy king.
inline constexpr uint8_t KnightTropism[8] = {4, 5, 5, 2, 1, 0, 0, 0};
inline constexpr uint8_t BishopTropism[8] = {5, 5, 4, 2, 1, 0, 0, 0};
inline constexpr uint8_t RookTropism[8] = {6, 5, 4, 2, 1, 0, 0, 0};
inline constexpr uint8_t QueenTropism[8] = {9, 9, 8, 4, 2, 1, 0, 0};

// Danger weight by a king's attack count. Entries 48..51 repeat 44..47 on
// purpose; from 58 on every entry is 200.
inline constexpr int KingAttackWeightSize = 128;
inline constexpr int16_t KingAttackWeight[KingAttackWeightSize] = {
      0,   1,   3,   8,  10,  15,  20,  25,  30,  35,  40,  45,  50,  55,  60,  65,
     70,  75,  80,  85,  90,  95, 100, 110, 115, 117, 120, 122, 125, 127, 130, 132,
    135, 137, 140, 142, 145, 147, 150, 152, 155, 157, 160, 162, 165, 167, 170, 172,
    165, 167, 170, 172, 175, 177, 190, 192, 195, 197, 200, 200, 200, 200, 200, 200,
    200, 200, 200, 200, 200, 200, 200, 200, 200, 200, 200, 200, 200, 200, 200, 200,
    200, 200, 200, 200, 200, 200, 200, 200, 200, 200, 200, 200, 200, 200, 200, 200,
    200, 200, 200, 200, 200, 200, 200, 200, 200, 200, 200, 200, 200, 200, 200, 200,
    200, 200, 200, 200, 200, 200, 200, 200, 200, 200, 200, 200, 200, 200, 200, 200,
};

// Multiplier of the king danger by the openness count (0..15) of the king's files.
inline constexpr int16_t ShelterMultiplier[16] = {1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4};

// clang-format on

}  // namespace kavrin
