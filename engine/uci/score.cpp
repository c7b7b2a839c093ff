#include "uci/score.h"

#include <cstdio>

#include "board/types.h"
#include "search/tablebase.h"
#include "uci/wdl.h"

namespace kavrin {

void WriteUciScore(char* out, size_t size, int score) {
    if (score > TbWinValue) {
        std::snprintf(out, size, "mate %d", (MateValue - score + 1) / 2);
    } else if (score < -TbWinValue) {
        std::snprintf(out, size, "mate %d", -(MateValue + score) / 2);
    } else if (IsTbScore(score)) {
        const int plies = TbWinValue - (score > 0 ? score : -score);
        std::snprintf(out, size, "cp %d", score > 0 ? TbWinCentipawns - plies : plies - TbWinCentipawns);
    } else {
        std::snprintf(out, size, "cp %d", score);
    }
}

void WriteUciWdl(char* out, size_t size, int score, int material, bool provenDraw) {
    const WdlRates rates = ExpectedResult(score, material, provenDraw);
    std::snprintf(out, size, "wdl %d %d %d", rates.win, rates.draw, rates.loss);
}

}  // namespace kavrin
