// Scores as the UCI front end shows them, as the common engines do: "mate N"
// for a mate (negative when the side to move is mated), a tablebase win or
// loss as "cp 20000" less the plies to the tablebase position ("cp -20000"
// plus them), anything else as "cp N"; and, with UCI_ShowWDL, " wdl W D L".
#pragma once

#include <cstddef>

namespace kavrin {

// The centipawns of a tablebase win at the root.
constexpr int TbWinCentipawns = 20000;

// Writes "cp N" or "mate N" for the score (side to move's view).
void WriteUciScore(char* out, size_t size, int score);
// Writes "wdl W D L" for the score with this much material (Board::totalMaterial);
// provenDraw: the tables' draw.
void WriteUciWdl(char* out, size_t size, int score, int material, bool provenDraw);

}  // namespace kavrin
