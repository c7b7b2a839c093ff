// kavrin-tune DATA [options]: fits the weights of kavrin-uci's tapered
// evaluation to the results of the positions kavrin-datagen wrote ("<fen>
// [r]", r the game's result for White: 1.0, 0.5 or 0.0).
//
// Every position is evaluated once with the coefficient trace, which gives
// the evaluation as a linear function of the weights (kept sparse: the terms
// that count for it, White's count minus Black's, and the phase). Every
// tenth game is held out (every tenth position where no blank lines separate
// the games). First K is fitted, the scale that makes
// sigmoid(K * eval / 400) closest to the results in mean squared error, with
// the weights as they are; then all weights by Adam on that error, over the
// whole training set at each step. The weights of the epoch with the lowest
// held-out error are written as the C++ of search/tapered_weights.h (--out
// FILE, or standard output).
//
// A weight that few positions decide, or that moves with another (a passed
// pawn's rank and its way ahead free), can wander far on little evidence:
// --pull L adds L times the squared distance of every weight from its value
// in the record as it was to the error that Adam minimises (default 1e-10;
// 0 turns it off). The reported errors are the plain ones.
//
// Options: --epochs N (default 1000), --rate R (Adam's step, default 1.0),
// --pull L, --threads N (default 1), --report N (progress every N epochs,
// default 50), --out FILE.
#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "board/board.h"
#include "board/fen.h"
#include "board/tables.h"
#include "search/tapered_eval.h"
#include "search/tapered_weights.h"

namespace {

using namespace kavrin;

constexpr int ExitUsage = 2;
// Bad lines reported one by one; the rest only counted.
constexpr int BadLinesShown = 20;
// The held-out share: every HoldOutEvery-th game where blank lines separate
// the games (as kavrin-datagen writes them), every HoldOutEvery-th position
// otherwise. A game's positions are alike, so holding out whole games keeps
// the held-out error honest.
constexpr size_t HoldOutEvery = 10;

struct Options {
    const char* data = nullptr;
    const char* out = nullptr;
    int epochs = 1000;
    double rate = 1.0;
    double pull = 1e-10;
    int threads = 1;
    int report = 50;
};

// One term of a position's linear evaluation.
struct Coefficient {
    uint16_t term;
    int16_t count;  // White's minus Black's
};
static_assert(TaperedTermCount <= UINT16_MAX, "term indices fit the sparse entry");

struct Sample {
    uint32_t first;  // into the coefficient store
    uint16_t length;
    uint8_t phase;
    bool whiteCannotWin;
    bool blackCannotWin;
    bool heldOut;  // kept out of the fit, to measure it
    float result;  // for White
};

struct Data {
    std::vector<Sample> samples;
    std::vector<Coefficient> coefficients;
    size_t heldOut = 0;
    size_t games = 0;  // 0: the file does not separate its games
};

using Weights = std::vector<std::array<double, 2>>;  // [term][mg, eg]

// The linear evaluation of a sample, with the evaluation's draw rule.
double LinearEval(const Data& data, const Sample& s, const Weights& w) {
    double mg = 0, eg = 0;
    for (uint32_t i = s.first; i < s.first + s.length; ++i) {
        const Coefficient& c = data.coefficients[i];
        mg += c.count * w[c.term][0];
        eg += c.count * w[c.term][1];
    }
    const double e = (mg * s.phase + eg * (PhaseMax - s.phase)) / PhaseMax;
    if ((e > 0 && s.whiteCannotWin) || (e < 0 && s.blackCannotWin)) return 0;
    return e;
}

double Sigmoid(double k, double e) { return 1.0 / (1.0 + std::exp(-k * e / 400.0)); }

// Reads the data file: the bad lines are reported and skipped.
bool ReadData(const char* path, const TaperedWeights& weights, Data& data) {
    std::ifstream in(path);
    if (!in) {
        std::fprintf(stderr, "kavrin-tune: cannot read %s: %s\n", path, std::strerror(errno));
        return false;
    }
    auto position = std::make_unique<Position>();
    auto trace = std::make_unique<CoefficientTrace>();
    std::string line;
    uint64_t lineNumber = 0, bad = 0, drawn = 0;
    std::vector<uint32_t> gameOf;  // a game number by sample
    uint32_t game = 0;
    bool inGame = false;
    const auto reject = [&](const char* why) {
        if (++bad <= BadLinesShown)
            std::fprintf(stderr, "%s:%llu: %s; line skipped\n", path, static_cast<unsigned long long>(lineNumber), why);
    };
    while (std::getline(in, line)) {
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) {
            if (inGame) ++game;
            inGame = false;
            continue;
        }
        const size_t open = line.rfind('[');
        const size_t close = line.rfind(']');
        if (open == std::string::npos || close != line.size() - 1 || close < open) {
            reject("no result in brackets at the end");
            continue;
        }
        const std::string result = line.substr(open + 1, close - open - 1);
        float value;
        if (result == "1.0" || result == "1")
            value = 1.0f;
        else if (result == "0.5")
            value = 0.5f;
        else if (result == "0.0" || result == "0")
            value = 0.0f;
        else {
            reject("the result is not 1.0, 0.5 or 0.0");
            continue;
        }
        const std::string fen = line.substr(0, open);
        if (!ReadFen(*position, fen.c_str()) || !position->playable) {
            reject("not a playable position in FEN");
            continue;
        }
        trace->Clear();
        EvaluateTapered(*position, weights, nullptr, *trace);
        if (trace->cannotWin[White] && trace->cannotWin[Black]) {
            ++drawn;  // always 0: nothing to learn
            continue;
        }
        Sample s{};
        s.first = static_cast<uint32_t>(data.coefficients.size());
        for (int t = 0; t < TaperedTermCount; ++t) {
            const int count = trace->coefficient[t][White] - trace->coefficient[t][Black];
            if (count != 0) data.coefficients.push_back({static_cast<uint16_t>(t), static_cast<int16_t>(count)});
        }
        s.length = static_cast<uint16_t>(data.coefficients.size() - s.first);
        s.phase = static_cast<uint8_t>(trace->phase);
        s.whiteCannotWin = trace->cannotWin[White];
        s.blackCannotWin = trace->cannotWin[Black];
        s.result = value;
        data.samples.push_back(s);
        gameOf.push_back(game);
        inGame = true;
    }
    if (in.bad()) {
        std::fprintf(stderr, "kavrin-tune: reading %s failed\n", path);
        return false;
    }
    if (bad > 0) std::fprintf(stderr, "kavrin-tune: %llu bad lines skipped\n", static_cast<unsigned long long>(bad));
    if (drawn > 0)
        std::fprintf(stderr, "kavrin-tune: %llu positions where neither side can win left out\n",
                     static_cast<unsigned long long>(drawn));
    const bool byGame = game >= HoldOutEvery;
    for (size_t i = 0; i < data.samples.size(); ++i)
        data.samples[i].heldOut = (byGame ? gameOf[i] : i) % HoldOutEvery == HoldOutEvery - 1;
    data.heldOut = static_cast<size_t>(
        std::count_if(data.samples.begin(), data.samples.end(), [](const Sample& s) { return s.heldOut; }));
    data.games = byGame ? game + (inGame ? 1 : 0) : 0;
    if (data.heldOut == 0 || data.heldOut == data.samples.size()) {
        std::fprintf(stderr, "kavrin-tune: %s holds %zu usable positions: too few to fit\n", path, data.samples.size());
        return false;
    }
    return true;
}

// Runs work(first, last, thread) over the samples in `threads` slices.
template <class Work>
void Parallel(size_t count, int threads, Work&& work) {
    std::vector<std::thread> pool;
    const size_t slice = (count + static_cast<size_t>(threads) - 1) / static_cast<size_t>(threads);
    for (int t = 1; t < threads; ++t) {
        const size_t first = std::min(count, slice * static_cast<size_t>(t));
        const size_t last = std::min(count, first + slice);
        pool.emplace_back([&work, first, last, t] { work(first, last, t); });
    }
    work(0, std::min(count, slice), 0);
    for (std::thread& t : pool) t.join();
}

// Mean squared error of the training and the held-out samples.
struct Errors {
    double train;
    double heldOut;
};

Errors MeanErrors(const Data& data, const Weights& w, double k, int threads) {
    std::vector<std::array<double, 4>> sums(static_cast<size_t>(threads), {0, 0, 0, 0});
    Parallel(data.samples.size(), threads, [&](size_t first, size_t last, int t) {
        auto& sum = sums[static_cast<size_t>(t)];
        for (size_t i = first; i < last; ++i) {
            const Sample& s = data.samples[i];
            const double d = s.result - Sigmoid(k, LinearEval(data, s, w));
            const size_t part = s.heldOut ? 2 : 0;
            sum[part] += d * d;
            sum[part + 1] += 1;
        }
    });
    double a[4] = {0, 0, 0, 0};
    for (const auto& s : sums)
        for (int j = 0; j < 4; ++j) a[j] += s[static_cast<size_t>(j)];
    return {a[0] / std::max(a[1], 1.0), a[2] / std::max(a[3], 1.0)};
}

// K by golden-section search on the training error.
double FitK(const Data& data, const Weights& w, int threads) {
    double lo = 0.05, hi = 10.0;
    const double ratio = (std::sqrt(5.0) - 1) / 2;
    double a = hi - ratio * (hi - lo), b = lo + ratio * (hi - lo);
    double fa = MeanErrors(data, w, a, threads).train, fb = MeanErrors(data, w, b, threads).train;
    while (hi - lo > 1e-4) {
        if (fa < fb) {
            hi = b;
            b = a;
            fb = fa;
            a = hi - ratio * (hi - lo);
            fa = MeanErrors(data, w, a, threads).train;
        } else {
            lo = a;
            a = b;
            fa = fb;
            b = lo + ratio * (hi - lo);
            fb = MeanErrors(data, w, b, threads).train;
        }
    }
    return (lo + hi) / 2;
}

// The gradient of the training error, and of pull times the squared
// distance from start, by every weight.
void Gradient(const Data& data, const Weights& w, const Weights& start, double pull, double k, int threads,
              Weights& gradient) {
    std::vector<Weights> parts(static_cast<size_t>(threads), Weights(TaperedTermCount, {0, 0}));
    Parallel(data.samples.size(), threads, [&](size_t first, size_t last, int t) {
        Weights& g = parts[static_cast<size_t>(t)];
        for (size_t i = first; i < last; ++i) {
            const Sample& s = data.samples[i];
            if (s.heldOut) continue;
            const double e = LinearEval(data, s, w);
            if (e == 0 && (s.whiteCannotWin || s.blackCannotWin)) continue;
            const double p = Sigmoid(k, e);
            const double de = (p - s.result) * p * (1 - p) * k / 400.0;
            const double mg = de * s.phase / PhaseMax;
            const double eg = de * (PhaseMax - s.phase) / PhaseMax;
            for (uint32_t j = s.first; j < s.first + s.length; ++j) {
                const Coefficient& c = data.coefficients[j];
                g[c.term][0] += mg * c.count;
                g[c.term][1] += eg * c.count;
            }
        }
    });
    const size_t trained = data.samples.size() - data.heldOut;
    for (int t = 0; t < TaperedTermCount; ++t) {
        for (size_t j = 0; j < 2; ++j)
            gradient[static_cast<size_t>(t)][j] =
                2 * pull * (w[static_cast<size_t>(t)][j] - start[static_cast<size_t>(t)][j]);
        for (const Weights& g : parts)
            for (int j = 0; j < 2; ++j)
                gradient[static_cast<size_t>(t)][static_cast<size_t>(j)] +=
                    2 * g[static_cast<size_t>(t)][static_cast<size_t>(j)] / static_cast<double>(trained);
    }
}

// The weights as search/tapered_weights.h.
bool WriteWeights(FILE* out, const Weights& w, const std::string& provenance) {
    std::string text =
        "// kavrin-uci's evaluation weights: a (middle game, endgame) pair for every\n"
        "// term of search/tapered_terms.h, in its order. kavrin-tune writes this file\n"
        "// (tools/kavrin-tune.cpp, \"Tuning the evaluation\" in the README).\n"
        "//\n" +
        provenance +
        "\n#pragma once\n\n#include <iterator>\n\n#include \"search/tapered_terms.h\"\n\nnamespace kavrin {\n\n"
        "// clang-format off\n\ninline constexpr Score TaperedDefaultTerms[] = {\n";
    for (const TaperedTermGroup& g : TaperedTermGroups) {
        text += std::string("    // ") + g.name + "\n";
        for (int i = 0; i < g.count; i += g.perLine) {
            text += "   ";
            for (int j = i; j < std::min(g.count, i + g.perLine); ++j) {
                const auto& v = w[static_cast<size_t>(g.first + j)];
                char buffer[32];
                std::snprintf(buffer, sizeof buffer, " S(%4ld, %4ld),", std::lround(v[0]), std::lround(v[1]));
                text += buffer;
            }
            text += "\n";
        }
    }
    text +=
        "};\n\n// clang-format on\n\n"
        "static_assert(std::size(TaperedDefaultTerms) == TaperedTermCount, \"one weight for every term\");\n\n"
        "inline constexpr TaperedWeights TaperedDefaults = [] {\n"
        "    TaperedWeights w{};\n"
        "    for (int i = 0; i < TaperedTermCount; ++i) w.term[i] = TaperedDefaultTerms[i];\n"
        "    return w;\n"
        "}();\n\n}  // namespace kavrin\n";
    return std::fwrite(text.data(), 1, text.size(), out) == text.size();
}

void Usage() {
    std::fprintf(stderr,
                 "usage: kavrin-tune DATA [--epochs N] [--rate R] [--pull L] [--threads N] [--report N] [--out FILE]\n"
                 "DATA: \"<fen> [result]\" lines (kavrin-datagen); writes search/tapered_weights.h\n");
}

bool ParseInt(const char* text, int low, int high, int& value) {
    if (text == nullptr) return false;
    char* end = nullptr;
    const long v = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || v < low || v > high) return false;
    value = static_cast<int>(v);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    Options opts;
    // The data file alone, every option with its value.
    int i = 1;
    while (i < argc) {
        const std::string arg = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        bool ok = true;
        if (arg == "--epochs") {
            ok = ParseInt(value, 0, 1000000, opts.epochs);
        } else if (arg == "--threads") {
            ok = ParseInt(value, 1, 256, opts.threads);
        } else if (arg == "--report") {
            ok = ParseInt(value, 1, 1000000, opts.report);
        } else if (arg == "--rate") {
            char* end = nullptr;
            opts.rate = value != nullptr ? std::strtod(value, &end) : 0;
            ok = value != nullptr && end != value && *end == '\0' && opts.rate > 0;
        } else if (arg == "--pull") {
            char* end = nullptr;
            opts.pull = value != nullptr ? std::strtod(value, &end) : -1;
            ok = value != nullptr && end != value && *end == '\0' && opts.pull >= 0;
        } else if (arg == "--out") {
            ok = value != nullptr;
            opts.out = value;
        } else if (opts.data == nullptr && !arg.empty() && arg[0] != '-') {
            opts.data = argv[i];
            ++i;
            continue;
        } else {
            ok = false;
        }
        if (!ok) {
            Usage();
            return ExitUsage;
        }
        i += 2;
    }
    if (opts.data == nullptr) {
        Usage();
        return ExitUsage;
    }

    BuildTables();
    const auto start = std::chrono::steady_clock::now();
    const auto elapsed = [&start] {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };

    // 1. The data, traced with the weights as they are.
    auto weights = std::make_unique<TaperedWeights>(TaperedDefaults);
    Data data;
    if (!ReadData(opts.data, *weights, data)) return 1;
    Weights w(TaperedTermCount);
    for (int t = 0; t < TaperedTermCount; ++t)
        w[static_cast<size_t>(t)] = {static_cast<double>(MgOf(weights->term[t])),
                                     static_cast<double>(EgOf(weights->term[t]))};
    const size_t heldOut = data.heldOut;
    if (data.games > 0)
        std::fprintf(stderr, "%zu positions of %zu games (%zu positions of every tenth game held out), %zu coefficients, read in %.1f s\n",
                     data.samples.size(), data.games, heldOut, data.coefficients.size(), elapsed());
    else
        std::fprintf(stderr, "%zu positions (%zu held out), %zu coefficients, read in %.1f s\n", data.samples.size(),
                     heldOut, data.coefficients.size(), elapsed());

    // 2. K.
    const double k = FitK(data, w, opts.threads);
    const Errors before = MeanErrors(data, w, k, opts.threads);
    std::fprintf(stderr, "K = %.4f: train error %.6f, held-out error %.6f (%.1f s)\n", k, before.train, before.heldOut,
                 elapsed());

    // 3. Adam on the training error; the weights of the best held-out error
    // are kept.
    constexpr double Beta1 = 0.9, Beta2 = 0.999, Epsilon = 1e-8;
    Weights m(TaperedTermCount, {0, 0}), v(TaperedTermCount, {0, 0}), g(TaperedTermCount, {0, 0});
    const Weights initial = w;
    Weights best = w;
    Errors bestErrors = before;
    int bestEpoch = 0;
    for (int epoch = 1; epoch <= opts.epochs; ++epoch) {
        Gradient(data, w, initial, opts.pull, k, opts.threads, g);
        const double correction1 = 1 - std::pow(Beta1, epoch), correction2 = 1 - std::pow(Beta2, epoch);
        for (size_t t = 0; t < w.size(); ++t)
            for (size_t j = 0; j < 2; ++j) {
                m[t][j] = Beta1 * m[t][j] + (1 - Beta1) * g[t][j];
                v[t][j] = Beta2 * v[t][j] + (1 - Beta2) * g[t][j] * g[t][j];
                w[t][j] -= opts.rate * (m[t][j] / correction1) / (std::sqrt(v[t][j] / correction2) + Epsilon);
            }
        if (epoch % opts.report == 0 || epoch == opts.epochs) {
            const Errors e = MeanErrors(data, w, k, opts.threads);
            std::fprintf(stderr, "epoch %d: train error %.6f, held-out error %.6f, %.1f s\n", epoch, e.train, e.heldOut,
                         elapsed());
            if (e.heldOut < bestErrors.heldOut) {
                bestErrors = e;
                best = w;
                bestEpoch = epoch;
            }
        }
    }
    std::fprintf(stderr, "best: epoch %d, train error %.6f, held-out error %.6f (before %.6f), %.1f s\n", bestEpoch,
                 bestErrors.train, bestErrors.heldOut, before.heldOut, elapsed());

    // 4. The record.
    char provenance[512];
    std::snprintf(provenance, sizeof provenance,
                  "// Fitted by kavrin-tune to %zu positions of kavrin-uci's games against\n"
                  "// itself (%zu held out%s): K = %.4f, held-out error %.6f before, %.6f\n"
                  "// after %d epochs of Adam (rate %g, pull %g).\n",
                  data.samples.size(), heldOut, data.games > 0 ? ", every tenth game" : "", k, before.heldOut,
                  bestErrors.heldOut, bestEpoch, opts.rate, opts.pull);
    FILE* out = stdout;
    if (opts.out != nullptr && (out = std::fopen(opts.out, "w")) == nullptr) {
        std::fprintf(stderr, "kavrin-tune: cannot write %s: %s\n", opts.out, std::strerror(errno));
        return 1;
    }
    const bool written = WriteWeights(out, best, provenance);
    if (!written || (out == stdout ? std::fflush(out) : std::fclose(out)) != 0) {
        std::fprintf(stderr, "kavrin-tune: writing the weights failed\n");
        return 1;
    }
    return 0;
}
