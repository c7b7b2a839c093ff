// The win/draw/loss model of UCI_ShowWDL: the chances of the side to move,
// per mille, from a score and the material on the board. A logistic curve in
// the score whose centre a and spread b are cubic polynomials of the
// material: the win rate is 1 / (1 + exp((a - score) / b)), the loss rate the
// same for -score, the draw rate what remains. The parameters come from
// Kavrin's own games (tools/fit-wdl), see README.md.
#pragma once

namespace kavrin {

// m is the material (pawn 1, minor piece 3, rook 5, queen 9; 78 at the
// start) held within [WdlMinMaterial, WdlMaxMaterial], over
// WdlReferenceMaterial.
struct WdlModel {
    double centre[4];  // a(m) = ((c0 * m + c1) * m + c2) * m + c3
    double spread[4];  // b(m) likewise
};
constexpr int WdlMinMaterial = 10;
constexpr int WdlMaxMaterial = 78;
constexpr double WdlReferenceMaterial = 58.0;

// Fitted to Kavrin's self-play games (README.md).
extern const WdlModel KavrinWdlModel;

struct WdlRates {
    int win;
    int draw;
    int loss;
};

// The rates for a score (centipawns, or a mate or tablebase score, from the
// side to move's view) with this much material. Mates and tablebase wins and
// losses are certain; provenDraw (the tables' draw) gives 0 1000 0. The three
// add up to 1000.
WdlRates ExpectedResult(int score, int material, bool provenDraw = false, const WdlModel& model = KavrinWdlModel);

// The win rate per mille of the model, unrounded, for the fitting tool and
// the tests.
double ModelWinRate(const WdlModel& model, double score, int material);

}  // namespace kavrin
