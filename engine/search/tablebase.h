// Syzygy endgame tablebases, probed through the Fathom library: loading the
// tables of a path list, the win/draw/loss of a position for the search, the
// ranking of the root moves, and the scores the tables give.
//
// Threads: LoadTablebases runs while no search runs. ProbeWdl may be called
// by every search thread at once. RankRootMoves runs on one thread, before
// the search threads start: the library's root probe is not thread-safe, and
// it opens the DTZ tables as it needs them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "board/board.h"
#include "board/types.h"
#include "search/tt.h"

namespace kavrin {

// Whether this build probes tables at all (CMake found Fathom and
// KAVRIN_SYZYGY is on); without it every function below finds no table.
bool TablebaseSupport();

// ---- Scores
// A position the tables win scores TbWinValue less the ply at which the
// search reached it: right below every mate (a mate at the deepest ply
// scores MateValue - PlyStackSize), far above the evaluation of any position
// that arises in play.
constexpr int TbWinValue = MateValue - PlyStackSize - 1;
// Scores beyond this are tablebase wins or losses (or mates).
constexpr int TbWinThreshold = TbWinValue - PlyStackSize;
static_assert(TbWinThreshold > 7 * 950, "tablebase wins score above a queen ahead for every pawn");

constexpr int TbWinScore(int ply) { return TbWinValue - ply; }
constexpr int TbLossScore(int ply) { return ply - TbWinValue; }
// A tablebase win or loss, not a mate.
constexpr bool IsTbScore(int score) {
    return (score > TbWinThreshold && score <= TbWinValue) || (score < -TbWinThreshold && score >= -TbWinValue);
}

// A tablebase result goes into the transposition table this much deeper than
// the node that probed it: no search below the node can change it.
constexpr int TbEntryDepthBonus = 6;

// Win/draw/loss from the side to move's view, under the fifty-move rule: a
// cursed win is a win that the rule turns into a draw, a blessed loss a loss
// it saves.
enum class TbWdl : int8_t { Loss = -2, BlessedLoss = -1, Draw = 0, CursedWin = 1, Win = 2 };

// The score the search gives a position of this value reached at ply, and
// the bound it stores it with: a win is at least a win in that many plies
// (the search may find a mate), a loss at most, a draw exact. With the
// fifty-move rule, cursed wins and blessed losses are draws (scored +-1 so
// that the search prefers the side that still has chances); without it they
// are wins and losses.
int TbScore(TbWdl wdl, int ply, bool fiftyMoveRule);
Bound TbBound(TbWdl wdl, bool fiftyMoveRule);

// ---- Loading
struct TbLoadResult {
    int largest = 0;   // most pieces (kings included) of a loaded table; 0 for none
    int wdlFiles = 0;  // tables loaded, by kind
    int dtzFiles = 0;
    std::vector<std::string> problems;  // one per missing folder, empty folder or file left out
    std::string message;                // one line for the interface: what was loaded, then the problems
};

// Unloads the tables, then loads those found in the folders of paths
// (separated by ':'). "" and "<empty>" only unload. A file that fails its
// check (tb_files.h) is left out with a problem noted, and the tables load
// without it; each table is taken from the first folder that has a good file.
TbLoadResult LoadTablebases(const std::string& paths);

// Most pieces of a loaded table; 0 when none are loaded.
int TablebasePieces();

// ---- Probes
// The value of the position in the WDL tables: false when it is not there
// (more pieces than the tables hold, castling rights left, no table) and
// when the fifty-move counter is not 0 (the tables give the value of a
// position right after a capture or pawn move, where the search probes).
bool ProbeWdl(const Position& pos, TbWdl& wdl);

constexpr int TbMaxRootMoves = 256;
struct TbRootMove {
    Move move;
    int16_t rank;   // higher is better: 1000 a win safe from the fifty-move rule, 0 a draw, -1000 a loss
    int16_t score;  // the score of the position after the move, from the root's side to move
};
struct TbRootRanking {
    int count = 0;
    bool byDtz = false;  // ranked by the DTZ tables, else by the WDL tables (some DTZ table is missing)
    TbRootMove moves[TbMaxRootMoves];
};

// Ranks every legal move of the root position by the tables: by DTZ where
// they have it, else by WDL. fiftyMoveRule (the Syzygy50MoveRule option):
// a win the fifty-move counter would turn into a draw ranks as a draw. The
// position's history tells whether it repeated since the last capture or
// pawn move (then no win is safe without hurrying). False, with count 0,
// when the root is not in the tables or a probe failed. pos is left as it was.
bool RankRootMoves(Position& pos, bool fiftyMoveRule, TbRootRanking& ranking);

// Sorts the ranking best first and returns how many moves share the best
// rank: the moves the search keeps, that keep the win (or the draw) and lose
// no ground to the fifty-move counter.
int KeepBestRanked(TbRootRanking& ranking);

}  // namespace kavrin
