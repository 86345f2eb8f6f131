// Fits the engine's judgement of quiet positions (src/game/EngineWeights.h) to a stronger
// engine's search of them, by logistic regression on the win rate.
//
//   fit_weights quiet < positions > quiet-positions
//   fit_weights fit labelled-positions EngineWeights.h
//
// A position is a line of Gomocup moves "x,y x,y ...", black first. A labelled one is
// "moves|answer|eval", eval in the other engine's units (win rate = 1 / (1 + e^(-eval/200)))
// or a mate, "M9" or "-M6", from the side to move's view.

#include "game/EnginePosition.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

using namespace kelvane;
using namespace kelvane::engine;

namespace {

constexpr int Multisets = 495;
constexpr int Threats = 9;
constexpr int Features = 2 * Multisets + Threats;
constexpr double Scale = 200; // units of the labels, and so of the fitted worths

// Plays the moves; false when one is not on the board, taken, or follows a five.
bool load(Position& pos, const std::string& moves, int& toMove) {
    std::istringstream in(moves);
    std::string move;
    int color = Black;
    while (in >> move) {
        int x = 0, y = 0;
        if (std::sscanf(move.c_str(), "%d,%d", &x, &y) != 2 || x < 0 || y < 0 ||
            x >= BoardSize || y >= BoardSize)
            return false;
        const int index = toIndex(x + 1, y + 1);
        if (!pos.isEmpty(index) || (pos.flags(index, color) & MakesFive))
            return false;
        pos.play(index, color);
        color = opponentOf(color);
    }
    toMove = color;
    return true;
}

// Where the search calls the judgement: nobody can make five, the side to move has no sure
// win by an open four, and no threat of one is waiting to be answered.
bool quiet(const Position& pos, int color) {
    const int other = opponentOf(color);
    return pos.count(color, MakesFive) == 0 && pos.count(other, MakesFive) == 0 &&
           !(pos.count(color, MakesOpenFour) > 0 && pos.count(other, MakesFour) == 0) &&
           pos.count(other, MakesOpenFour) == 0;
}

using Sparse = std::vector<std::pair<int, float>>;

// The features, in the order of the engine's evaluate().
Sparse features(const Position& pos, int color) {
    const int other = opponentOf(color);
    std::map<int, float> cells;
    for (int index : Position::boardCells()) {
        if (!pos.isEmpty(index))
            continue;
        cells[multisetRank(pos.shapeCode(index, color))] += 1;
        cells[Multisets + multisetRank(pos.shapeCode(index, other))] += 1;
    }
    Sparse out(cells.begin(), cells.end());
    const int t = 2 * Multisets;
    const bool theyHaveFour = pos.count(other, MakesFour) > 0;
    const int ownFourThree = pos.count(color, MakesFourThree);
    out.emplace_back(t, 1.0F); // tempo
    if (ownFourThree > 0)
        out.emplace_back(theyHaveFour ? t + 6 : t + 1, 1.0F);
    else if (!theyHaveFour && pos.count(color, MakesDoubleThree) > 0)
        out.emplace_back(t + 2, 1.0F);
    const int theirFourThree = pos.count(other, MakesFourThree);
    const int theirDoubleThree = pos.count(other, MakesDoubleThree);
    if (theirFourThree > 0)
        out.emplace_back(t + 3, 1.0F);
    if (theirDoubleThree > 0)
        out.emplace_back(t + 4, 1.0F);
    if (theirFourThree + theirDoubleThree >= 2)
        out.emplace_back(t + 5, 1.0F);
    if (pos.count(color, MakesOpenThree) >= 2)
        out.emplace_back(t + 7, 1.0F);
    if (pos.count(other, MakesFour) >= 2)
        out.emplace_back(t + 8, 1.0F);
    return out;
}

double winRate(const std::string& eval) {
    if (eval.rfind("-M", 0) == 0)
        return 0.01;
    if (eval.rfind("M", 0) == 0 || eval.rfind("+M", 0) == 0)
        return 0.99;
    return 1 / (1 + std::exp(-std::stod(eval) / Scale));
}

int fit(const char* labelled, const char* header) {
    std::ifstream in(labelled);
    std::vector<Sparse> xs;
    std::vector<double> ys;
    std::string line;
    while (std::getline(in, line)) {
        const auto first = line.find('|');
        const auto last = line.rfind('|');
        if (first == std::string::npos || last == first || last + 1 >= line.size() ||
            line.compare(last + 1, std::string::npos, "?") == 0)
            continue;
        Position pos;
        int color = Black;
        if (!load(pos, line.substr(0, first), color) || !quiet(pos, color))
            continue;
        xs.push_back(features(pos, color));
        ys.push_back(winRate(line.substr(last + 1)));
    }
    const int n = static_cast<int>(xs.size());
    if (n < 1000) {
        std::cerr << "too few labelled positions: " << n << "\n";
        return 1;
    }
    // The hand-set judgement this replaced is the prior: cells the games never showed keep
    // the worth their shapes gave them.
    std::vector<double> prior(Features, 0.0);
    for (int code = 0; code < 6561; ++code) {
        prior[multisetRank(code)] = CellShapes[code].score;
        prior[Multisets + multisetRank(code)] = -0.7 * CellShapes[code].score;
    }
    prior[2 * Multisets] = 20;
    prior[2 * Multisets + 1] = 500;
    prior[2 * Multisets + 2] = 24;
    std::vector<double> w = prior, m(Features, 0.0), v(Features, 0.0);
    std::vector<int> order(n);
    for (int i = 0; i < n; ++i)
        order[i] = i;
    std::shuffle(order.begin(), order.end(), std::mt19937(1));
    const int held = n / 10; // judged, not fitted, to see that the fit generalises
    auto predict = [&](const Sparse& x) {
        double s = 0;
        for (const auto& [k, value] : x)
            s += w[k] * value;
        return 1 / (1 + std::exp(-s / Scale));
    };
    auto divergence = [&](int from, int to) {
        double sum = 0;
        for (int i = from; i < to; ++i) {
            const double p = std::clamp(predict(xs[order[i]]), 1e-9, 1 - 1e-9);
            const double y = ys[order[i]];
            sum += y * std::log(y / p) + (1 - y) * std::log((1 - y) / (1 - p));
        }
        return sum / (to - from);
    };
    constexpr double Rate = 2, Decay = 1e-3;
    for (int epoch = 1; epoch <= 300; ++epoch) {
        std::vector<double> g(Features, 0.0);
        for (int i = held; i < n; ++i) {
            const double d = (predict(xs[order[i]]) - ys[order[i]]) / Scale;
            for (const auto& [k, value] : xs[order[i]])
                g[k] += d * value;
        }
        for (int k = 0; k < Features; ++k) {
            const double gk = g[k] / (n - held) + Decay * (w[k] - prior[k]) / (Scale * Scale);
            m[k] = 0.9 * m[k] + 0.1 * gk;
            v[k] = 0.999 * v[k] + 0.001 * gk * gk;
            const double mh = m[k] / (1 - std::pow(0.9, epoch));
            const double vh = v[k] / (1 - std::pow(0.999, epoch));
            w[k] -= Rate * mh / (std::sqrt(vh) + 1e-12);
        }
        if (epoch % 50 == 0)
            std::cerr << "epoch " << epoch << ": divergence fitted " << divergence(held, n)
                      << ", held out " << divergence(0, held) << "\n";
    }
    std::ofstream out(header);
    out << "#pragma once\n\n"
           "// The engine's judgement of a quiet position, in units where a score s means a win\n"
           "// rate of 1 / (1 + e^(-s/200)). Written by benchmarks/strength/fit_weights.cpp from a\n"
           "// stronger engine's search of "
        << n
        << " positions of real games. A cell is judged by the\n"
           "// four shapes a stone there would make, in any order: its worth to the side to move,\n"
           "// then to the side that has just moved, from the side to move's view.\n\n"
           "#include <array>\n#include <cstdint>\n\nnamespace kelvane::engine {\n\n"
           "// Indexed by multisetRank of the four shapes.\n"
           "inline constexpr std::array<std::array<std::int16_t, 2>, 495> CellWorth{{\n";
    for (int k = 0; k < Multisets; ++k) {
        out << (k % 8 == 0 ? "    " : " ") << "{" << std::lround(w[k]) << ", "
            << std::lround(w[Multisets + k]) << "},";
        if (k % 8 == 7 || k + 1 == Multisets)
            out << "\n";
    }
    const char* names[Threats] = {"Tempo",           "OwnFourThree",     "OwnDoubleThree",
                                  "TheirFourThree",  "TheirDoubleThree", "TheirTwoThreats",
                                  "OwnFourThreeCovered", "OwnThrees",    "TheirFours"};
    out << "}};\n\n// What the shapes of single cells cannot show: see evaluate().\n";
    for (int t = 0; t < Threats; ++t)
        out << "inline constexpr int " << names[t] << "Worth = " << std::lround(w[2 * Multisets + t])
            << ";\n";
    out << "\n} // namespace kelvane::engine\n";
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "quiet") {
        std::string line;
        while (std::getline(std::cin, line)) {
            Position pos;
            int color = Black;
            if (load(pos, line, color) && quiet(pos, color))
                std::cout << line << "\n";
        }
        return 0;
    }
    if (mode == "fit" && argc == 4)
        return fit(argv[2], argv[3]);
    std::cerr << "usage: fit_weights quiet < positions | fit_weights fit LABELLED HEADER\n";
    return 2;
}
