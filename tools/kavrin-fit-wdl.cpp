// kavrin-fit-wdl [--engine NAME] [--max-score CP] GAMES.pgn...: fits the
// win/draw/loss model of UCI_ShowWDL (engine/uci/wdl.h) to games that a match
// runner wrote with the engines' scores in the move comments (fastchess and
// cutechess-cli write "{+0.35/12 0.512s}", mates as "+M5"). Each scored move
// of an engine whose name holds NAME (default "kavrin", any case, in the
// White/Black or EngineWhiteName/EngineBlackName tags) gives one triple:
// its score (the side to move's view), the material before the move, and
// the game's result from that side. Games whose Termination tag is not
// "normal" (lost on time, abandoned) are left out. The centre and spread polynomials are
// fitted by maximum likelihood (Nelder-Mead on the negative log-likelihood),
// and printed as the C++ record to paste into engine/uci/wdl.cpp.
// tools/fit-wdl builds and runs it.
#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "board/fen.h"
#include "board/legal.h"
#include "board/makemove.h"
#include "board/tables.h"
#include "notation/san.h"
#include "uci/wdl.h"

namespace {

using kavrin::WdlModel;
constexpr int ExitUsage = 2;
constexpr int Parameters = 8;
using Point = std::array<double, Parameters>;

// Outcomes by (material, score), from the scored side's view.
struct Counts {
    double win = 0, draw = 0, loss = 0;
};
using Data = std::map<std::pair<int, int>, Counts>;

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// A comment's score in centipawns: "+0.35/12 ..." gives 35; mates, book moves
// and anything else give false.
bool CommentScore(const std::string& comment, int& centipawns) {
    const char* text = comment.c_str();
    while (*text == ' ') ++text;
    if (*text != '+' && *text != '-') return false;
    if (text[1] == 'M') return false;
    char* end = nullptr;
    const double pawns = std::strtod(text, &end);
    if (end == text || (*end != '/' && *end != ' ' && *end != '\0')) return false;
    centipawns = static_cast<int>(std::lround(pawns * 100));
    return true;
}

struct Reader {
    std::string name;
    int maxScore;
    Data data;
    long games = 0, triples = 0, unreadable = 0, notOnTheBoard = 0;

    // Plays one game's movetext from its start position, counting triples.
    void Game(const std::map<std::string, std::string>& tags, const std::string& movetext) {
        const auto tag = [&tags](const char* key) {
            const auto it = tags.find(key);
            return it == tags.end() ? std::string() : Lower(it->second);
        };
        // A game lost on time (or abandoned, or by an illegal move) was not
        // decided by its positions.
        const std::string termination = tag("Termination");
        if (!termination.empty() && termination != "normal") {
            ++notOnTheBoard;
            return;
        }
        const std::string result = tag("Result");
        const double whiteScore = result == "1-0" ? 1 : result == "0-1" ? 0 : result == "1/2-1/2" ? 0.5 : -1;
        if (whiteScore < 0) return;
        const bool counted[2] = {
            tag("Black").find(name) != std::string::npos || tag("EngineBlackName").find(name) != std::string::npos,
            tag("White").find(name) != std::string::npos || tag("EngineWhiteName").find(name) != std::string::npos};
        auto pos = std::make_unique<kavrin::Position>();
        const std::string fen = tags.count("FEN") ? tags.at("FEN") : kavrin::InitialFen;
        if (!kavrin::ReadFen(*pos, fen.c_str())) {
            ++unreadable;
            return;
        }
        ++games;
        size_t at = 0;
        int pendingMaterial = -1;  // the material before the last move, while its comment may follow
        int pendingSide = 0;
        int depth = 0;  // inside variations
        while (at < movetext.size()) {
            const char c = movetext[at];
            if (c == '{') {
                const size_t close = movetext.find('}', at);
                const std::string comment = movetext.substr(at + 1, close == std::string::npos ? std::string::npos : close - at - 1);
                at = close == std::string::npos ? movetext.size() : close + 1;
                int cp = 0;
                if (depth == 0 && pendingMaterial >= 0 && counted[pendingSide] && CommentScore(comment, cp) &&
                    std::abs(cp) <= maxScore) {
                    const double own = pendingSide == kavrin::White ? whiteScore : 1 - whiteScore;
                    Counts& counts = data[{pendingMaterial, cp}];
                    (own == 1 ? counts.win : own == 0 ? counts.loss : counts.draw) += 1;
                    ++triples;
                }
                pendingMaterial = -1;
                continue;
            }
            if (c == '(') ++depth;
            if (c == ')') --depth;
            if (std::isspace(static_cast<unsigned char>(c)) || c == '(' || c == ')') {
                ++at;
                continue;
            }
            size_t end = at;
            while (end < movetext.size() && !std::isspace(static_cast<unsigned char>(movetext[end])) &&
                   movetext[end] != '{' && movetext[end] != '(' && movetext[end] != ')')
                ++end;
            std::string token = movetext.substr(at, end - at);
            at = end;
            // Move numbers ("12." or "12..."), NAGs, results.
            const size_t dots = token.find_last_of('.');
            if (dots != std::string::npos) token = token.substr(dots + 1);
            if (token.empty() || token[0] == '$' || std::isdigit(static_cast<unsigned char>(token[0])) || token == "*" ||
                depth > 0)
                continue;
            const int material = pos->board.totalMaterial;
            const int side = pos->sideToMove;
            const kavrin::Move m = kavrin::ParseSan(*pos, token.c_str());
            if (m == 0 || !kavrin::IsLegalMove(*pos, m)) {
                ++unreadable;
                return;
            }
            kavrin::UndoRecord undo;
            kavrin::SaveForMake(*pos, undo);
            kavrin::MakeMove(*pos, m, undo);
            if (pos->HistoryIndex() >= kavrin::HistorySize - 2) return;
            pendingMaterial = material;
            pendingSide = side;
        }
    }

    void File(const char* path) {
        std::ifstream in(path);
        if (!in) {
            std::fprintf(stderr, "kavrin-fit-wdl: cannot read %s\n", path);
            std::exit(1);
        }
        std::map<std::string, std::string> tags;
        std::string movetext, line;
        const auto finish = [&] {
            if (!movetext.empty()) Game(tags, movetext);
            tags.clear();
            movetext.clear();
        };
        while (std::getline(in, line)) {
            if (!line.empty() && line[0] == '[') {
                if (!movetext.empty()) finish();
                const size_t space = line.find(' ');
                const size_t open = line.find('"');
                const size_t close = line.rfind('"');
                if (space != std::string::npos && open != std::string::npos && close > open)
                    tags[line.substr(1, space - 1)] = line.substr(open + 1, close - open - 1);
            } else {
                movetext += line + "\n";
            }
        }
        finish();
    }
};

double Polynomial(const double* c, double m) { return ((c[0] * m + c[1]) * m + c[2]) * m + c[3]; }

// The negative log-likelihood of the data under the model of p.
double NegativeLogLikelihood(const Point& p, const Data& data) {
    double sum = 0;
    for (const auto& [key, counts] : data) {
        const double m = std::clamp(key.first, kavrin::WdlMinMaterial, kavrin::WdlMaxMaterial) /
                         kavrin::WdlReferenceMaterial;
        const double a = Polynomial(&p[0], m);
        const double b = Polynomial(&p[4], m);
        if (b <= 1) return 1e300;
        const double s = key.second;
        const double win = 1 / (1 + std::exp((a - s) / b));
        const double loss = 1 / (1 + std::exp((a + s) / b));
        const double draw = std::max(1e-12, 1 - win - loss);
        sum -= counts.win * std::log(std::max(1e-12, win)) + counts.draw * std::log(draw) +
               counts.loss * std::log(std::max(1e-12, loss));
    }
    return sum;
}

// Nelder-Mead over the parameters that `free` marks, from start with the given steps.
Point Minimise(const Data& data, Point start, const Point& step, const std::array<bool, Parameters>& free) {
    std::vector<int> index;
    for (int i = 0; i < Parameters; ++i)
        if (free[i]) index.push_back(i);
    const int n = static_cast<int>(index.size());
    std::vector<Point> simplex(n + 1, start);
    for (int i = 0; i < n; ++i) simplex[i + 1][index[i]] += step[index[i]];
    std::vector<double> value(n + 1);
    for (int i = 0; i <= n; ++i) value[i] = NegativeLogLikelihood(simplex[i], data);
    const auto along = [&](const Point& from, const Point& to, double t) {
        Point p = from;
        for (int i : index) p[i] = from[i] + t * (to[i] - from[i]);
        return p;
    };
    for (int iteration = 0; iteration < 20000; ++iteration) {
        std::vector<int> order(n + 1);
        for (int i = 0; i <= n; ++i) order[i] = i;
        std::sort(order.begin(), order.end(), [&](int x, int y) { return value[x] < value[y]; });
        const int best = order[0], worst = order[n], second = order[n - 1];
        if (std::fabs(value[worst] - value[best]) < 1e-9 * (1 + std::fabs(value[best]))) break;
        Point centroid = start;
        for (int i : index) {
            centroid[i] = 0;
            for (int j = 0; j <= n; ++j)
                if (j != worst) centroid[i] += simplex[j][i] / n;
        }
        const Point reflected = along(centroid, simplex[worst], -1);
        const double r = NegativeLogLikelihood(reflected, data);
        if (r < value[best]) {
            const Point expanded = along(centroid, simplex[worst], -2);
            const double e = NegativeLogLikelihood(expanded, data);
            simplex[worst] = e < r ? expanded : reflected;
            value[worst] = std::min(e, r);
        } else if (r < value[second]) {
            simplex[worst] = reflected;
            value[worst] = r;
        } else {
            const Point contracted = along(centroid, simplex[worst], 0.5);
            const double c = NegativeLogLikelihood(contracted, data);
            if (c < value[worst]) {
                simplex[worst] = contracted;
                value[worst] = c;
            } else {
                for (int j = 0; j <= n; ++j) {
                    if (j == best) continue;
                    simplex[j] = along(simplex[best], simplex[j], 0.5);
                    value[j] = NegativeLogLikelihood(simplex[j], data);
                }
            }
        }
    }
    return simplex[std::min_element(value.begin(), value.end()) - value.begin()];
}

}  // namespace

int main(int argc, char** argv) {
    Reader reader{"kavrin", 1000, {}};
    std::vector<const char*> files;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--engine" && i + 1 < argc) {
            reader.name = Lower(argv[++i]);
        } else if (arg == "--max-score" && i + 1 < argc) {
            reader.maxScore = std::atoi(argv[++i]);
        } else if (arg.rfind("--", 0) == 0) {
            std::fprintf(stderr, "usage: kavrin-fit-wdl [--engine NAME] [--max-score CP] GAMES.pgn...\n");
            return ExitUsage;
        } else {
            files.push_back(argv[i]);
        }
    }
    if (files.empty() || reader.maxScore <= 0) {
        std::fprintf(stderr, "usage: kavrin-fit-wdl [--engine NAME] [--max-score CP] GAMES.pgn...\n");
        return ExitUsage;
    }
    kavrin::BuildTables();
    for (const char* file : files) reader.File(file);
    std::printf("// %ld games, %ld scored moves of \"%s\" within %d cp; left out: %ld games not decided on the "
                "board (time forfeits and the like), %ld not read to the end\n",
                reader.games, reader.triples, reader.name.c_str(), reader.maxScore, reader.notOnTheBoard,
                reader.unreadable);
    if (reader.triples < 100) {
        std::fprintf(stderr, "kavrin-fit-wdl: too few scored moves to fit\n");
        return 1;
    }
    // 1. A centre and a spread for every material; 2. the cubic polynomials,
    // from there, a few times over (Nelder-Mead restarts from its own result).
    Point p{0, 0, 0, 200, 0, 0, 0, 100};
    p = Minimise(reader.data, p, Point{0, 0, 0, 50, 0, 0, 0, 25},
                 {false, false, false, true, false, false, false, true});
    const Point steps{p[3] / 4, p[3] / 4, p[3] / 4, p[3] / 4, p[7] / 4, p[7] / 4, p[7] / 4, p[7] / 4};
    for (int round = 0; round < 6; ++round) p = Minimise(reader.data, p, steps, {true, true, true, true, true, true, true, true});
    std::printf("// negative log-likelihood %.1f\n", NegativeLogLikelihood(p, reader.data));
    std::printf("const WdlModel KavrinWdlModel = {{%.3f, %.3f, %.3f, %.3f}, {%.3f, %.3f, %.3f, %.3f}};\n", p[0], p[1],
                p[2], p[3], p[4], p[5], p[6], p[7]);

    // How the model meets the data: observed and predicted rates by score.
    WdlModel model{{p[0], p[1], p[2], p[3]}, {p[4], p[5], p[6], p[7]}};
    std::printf("//  score   moves  won  drawn  lost (observed %%; the model's in brackets)\n");
    for (int low = -reader.maxScore; low < reader.maxScore; low += 100) {
        double n = 0, w = 0, d = 0, l = 0, pw = 0, pl = 0;
        for (const auto& [key, counts] : reader.data) {
            if (key.second < low || key.second >= low + 100) continue;
            const double c = counts.win + counts.draw + counts.loss;
            n += c;
            w += counts.win;
            d += counts.draw;
            l += counts.loss;
            pw += c * kavrin::ModelWinRate(model, key.second, key.first) / 10;
            pl += c * kavrin::ModelWinRate(model, -key.second, key.first) / 10;
        }
        if (n == 0) continue;
        std::printf("// %5d %7.0f  %3.0f (%3.0f)  %3.0f (%3.0f)  %3.0f (%3.0f)\n", low, n, 100 * w / n, pw / n,
                    100 * d / n, 100 - pw / n - pl / n, 100 * l / n, pl / n);
    }
    return 0;
}
