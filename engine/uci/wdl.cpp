#include "uci/wdl.h"

#include <algorithm>
#include <cmath>

#include "search/tablebase.h"

namespace kavrin {

// tools/fit-wdl on 195 self-play games of kavrin-uci 1.0 at 10+0.1 (18222
// scored moves; README.md gives the games).
const WdlModel KavrinWdlModel = {{-178.569, 716.676, -894.409, 447.392}, {451.222, -975.813, 634.089, -11.918}};

namespace {

double Polynomial(const double (&c)[4], double m) { return ((c[0] * m + c[1]) * m + c[2]) * m + c[3]; }

}  // namespace

double ModelWinRate(const WdlModel& model, double score, int material) {
    const double m = std::clamp(material, WdlMinMaterial, WdlMaxMaterial) / WdlReferenceMaterial;
    const double a = Polynomial(model.centre, m);
    const double b = std::max(1.0, Polynomial(model.spread, m));
    return 1000.0 / (1.0 + std::exp((a - score) / b));
}

WdlRates ExpectedResult(int score, int material, bool provenDraw, const WdlModel& model) {
    if (provenDraw) return {0, 1000, 0};
    // Mates lie above the tablebase wins: both are certain.
    if (score > TbWinThreshold) return {1000, 0, 0};
    if (score < -TbWinThreshold) return {0, 0, 1000};
    const int win = static_cast<int>(std::lround(ModelWinRate(model, score, material)));
    int loss = static_cast<int>(std::lround(ModelWinRate(model, -score, material)));
    // Rounding (or a centre below zero) must not leave less than no draws.
    loss = std::min(loss, 1000 - win);
    return {win, 1000 - win - loss, loss};
}

}  // namespace kavrin
