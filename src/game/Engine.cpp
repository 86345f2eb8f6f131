#include "game/Engine.h"

#include "game/EnginePosition.h"

#include <algorithm>
#include <chrono>
#include <vector>

namespace kelvane {

using namespace engine;

namespace {

constexpr int WinScore = 1'000'000;
constexpr int WinBound = WinScore - 1000;
constexpr int Infinity = WinScore + 1;
// How many of the best-looking moves an inner node tries, and the root.
constexpr int InnerWidth = 14;
constexpr int RootWidth = 28;

enum Bound : std::uint8_t { NoBound, Exact, Lower, Upper };

struct TableEntry {
    std::uint64_t key = 0;
    std::int32_t score = 0;
    std::int16_t move = -1;
    std::int8_t depth = -1;
    std::uint8_t bound = NoBound;
};

struct FailEntry {
    std::uint64_t key = 0;
    std::int8_t depth = -1;
};

// Thrown when the node budget, the clock or a cancel ends a search; the position is put
// back by whoever catches it.
struct OutOfBudget {};

std::uint64_t mix(std::uint64_t z) {
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
}

} // namespace

EngineLimits LimitsForStrength(int strength) {
    switch (std::clamp(strength, WeakestStrength, StrongestStrength)) {
    case 1:
        return {.maxDepth = 4, .maxNodes = 30'000, .timeMs = 100, .vcfDepth = 8, .vctDepth = 0};
    case 3:
        return {
            .maxDepth = 20, .maxNodes = 20'000'000, .timeMs = 1700, .vcfDepth = 16, .vctDepth = 7};
    default:
        return {
            .maxDepth = 12, .maxNodes = 2'000'000, .timeMs = 220, .vcfDepth = 14, .vctDepth = 5};
    }
}

class Engine::Search {
public:
    Position pos;
    EngineLimits limits;
    std::uint64_t seed = 0;
    const std::atomic<bool>* cancelled = nullptr;
    std::int64_t nodes = 0;
    std::int64_t nodeLimit = 0;
    bool timed = false;
    std::chrono::steady_clock::time_point deadline;
    std::vector<TableEntry> table;
    std::vector<FailEntry> fails;

    explicit Search(std::size_t tableEntries) : table(tableEntries), fails(1 << 16) {}

    void tick() {
        if (++nodes >= nodeLimit)
            throw OutOfBudget{};
        if ((nodes & 255) == 0 &&
            (cancelled->load() || (timed && std::chrono::steady_clock::now() >= deadline)))
            throw OutOfBudget{};
    }

    // Runs a piece of the search on at most this share of the nodes left; false when it ran
    // out, with the position restored.
    template <typename Work> bool withinShare(double share, Work&& work) {
        const std::int64_t outer = nodeLimit;
        const int stones = pos.stones();
        nodeLimit = std::min(outer, nodes + static_cast<std::int64_t>((outer - nodes) * share));
        bool finished = true;
        try {
            work();
        } catch (const OutOfBudget&) {
            finished = false;
            while (pos.stones() > stones)
                pos.undo();
        }
        nodeLimit = outer;
        return finished;
    }

    int noise(int index) const {
        return static_cast<int>(mix(seed ^ (static_cast<std::uint64_t>(index) << 20) ^ pos.hash()) &
                                3);
    }

    void sortByValue(std::vector<int>& moves, int color, int width) {
        const int other = opponentOf(color);
        std::vector<std::pair<int, int>> keyed;
        keyed.reserve(moves.size());
        for (int m : moves)
            keyed.emplace_back(
                -(pos.cellScore(m, color) * 5 / 4 + pos.cellScore(m, other) + noise(m)), m);
        std::stable_sort(keyed.begin(), keyed.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        moves.clear();
        for (const auto& [key, m] : keyed) {
            if (static_cast<int>(moves.size()) >= width)
                break;
            moves.push_back(m);
        }
    }

    // The moves worth trying: against a threat to make an open four only our fours and the
    // cells that meet it, else the cells near the stones.
    std::vector<int> candidates(int color, int width) {
        const int other = opponentOf(color);
        std::vector<int> moves;
        if (pos.count(other, MakesOpenFour) > 0) {
            for (int index : Position::boardCells()) {
                if (pos.isEmpty(index) && ((pos.flags(index, color) & MakesFour) ||
                                           (pos.flags(index, other) & MakesFour)))
                    moves.push_back(index);
            }
            sortByValue(moves, color, 64);
            return moves;
        }
        for (int index : Position::boardCells()) {
            if (pos.isNear(index))
                moves.push_back(index);
        }
        sortByValue(moves, color, width);
        return moves;
    }

    // ---- Wins by continuous fours: every attacking move is a four.

    bool failedBefore(std::uint64_t key, int depth) const {
        const FailEntry& e = fails[key & (fails.size() - 1)];
        return e.key == key && e.depth >= depth;
    }
    void rememberFailure(std::uint64_t key, int depth) {
        fails[key & (fails.size() - 1)] = {key, static_cast<std::int8_t>(depth)};
    }

    bool vcf(int attacker, int depth, int* first = nullptr) {
        tick();
        const int defender = opponentOf(attacker);
        if (pos.count(attacker, MakesFive) > 0) {
            if (first)
                *first = pos.firstWith(attacker, MakesFive);
            return true;
        }
        const std::uint64_t key = pos.hash() ^ (attacker * 0x5bd1e995ULL);
        if (depth <= 0 || failedBefore(key, depth))
            return false;
        std::vector<int> moves;
        if (const int threats = pos.count(defender, MakesFive); threats > 0) {
            const int block = pos.firstWith(defender, MakesFive);
            if (threats > 1 || !(pos.flags(block, attacker) & MakesFour))
                return false;
            moves.push_back(block);
        } else {
            pos.collect(attacker, MakesFour, moves);
            sortByValue(moves, attacker, 64);
        }
        for (int m : moves) {
            pos.play(m, attacker);
            bool won = false;
            if (pos.count(defender, MakesFive) == 0) {
                if (pos.count(attacker, MakesFive) >= 2) {
                    won = true;
                } else {
                    pos.play(pos.firstWith(attacker, MakesFive), defender);
                    won = vcf(attacker, depth - 1);
                    pos.undo();
                }
            }
            pos.undo();
            if (won) {
                if (first)
                    *first = m;
                return true;
            }
        }
        rememberFailure(key, depth);
        return false;
    }

    // ---- Wins by threats: the attacker plays fours and open threes, the defender every
    // answer that could stop them, its own fours included.

    bool attack(int attacker, int depth, int* first = nullptr) {
        tick();
        const int defender = opponentOf(attacker);
        if (pos.count(attacker, MakesFive) > 0) {
            if (first)
                *first = pos.firstWith(attacker, MakesFive);
            return true;
        }
        if (const int threats = pos.count(defender, MakesFive); threats > 0) {
            if (threats > 1)
                return false;
            const int block = pos.firstWith(defender, MakesFive);
            pos.play(block, attacker);
            const bool won = defend(attacker, depth);
            pos.undo();
            if (won && first)
                *first = block;
            return won;
        }
        const std::uint64_t key = pos.hash() ^ (attacker * 0x9e3779b1ULL) ^ 0x7f4a7c15ULL;
        if (depth <= 0 || failedBefore(key, depth))
            return false;
        std::vector<int> moves;
        pos.collect(attacker, MakesFour | MakesOpenThree, moves);
        sortByValue(moves, attacker, 12);
        for (int m : moves) {
            pos.play(m, attacker);
            const bool won = defend(attacker, depth - 1);
            pos.undo();
            if (won) {
                if (first)
                    *first = m;
                return true;
            }
        }
        rememberFailure(key, depth);
        return false;
    }

    bool defend(int attacker, int depth) {
        tick();
        const int defender = opponentOf(attacker);
        if (pos.count(defender, MakesFive) > 0)
            return false;
        std::vector<int> answers;
        if (const int fives = pos.count(attacker, MakesFive); fives > 0) {
            if (fives > 1)
                return true;
            answers.push_back(pos.firstWith(attacker, MakesFive));
        } else if (pos.count(attacker, MakesOpenFour) > 0) {
            for (int index : Position::boardCells()) {
                if (pos.isEmpty(index) && ((pos.flags(index, attacker) & MakesFour) ||
                                           (pos.flags(index, defender) & MakesFour)))
                    answers.push_back(index);
            }
        } else {
            return false; // nothing forces the defender: the threat sequence broke
        }
        for (int m : answers) {
            pos.play(m, defender);
            const bool won = attack(attacker, depth);
            pos.undo();
            if (!won)
                return false;
        }
        return true;
    }

    // ---- Alpha-beta over the pattern evaluation.

    int evaluate(int color) const {
        return pos.potential(color) - pos.potential(opponentOf(color)) + 20;
    }

    static int toTable(int score, int ply) {
        return score > WinBound ? score + ply : score < -WinBound ? score - ply : score;
    }
    static int fromTable(int score, int ply) {
        return score > WinBound ? score - ply : score < -WinBound ? score + ply : score;
    }

    int alphaBeta(int color, int depth, int alpha, int beta, int ply) {
        tick();
        const int other = opponentOf(color);
        if (pos.count(color, MakesFive) > 0)
            return WinScore - ply;
        const int threats = pos.count(other, MakesFive);
        if (threats > 1)
            return -(WinScore - ply - 1);
        if (threats == 1) {
            // Forced: blocking costs no depth.
            pos.play(pos.firstWith(other, MakesFive), color);
            const int score = -alphaBeta(other, depth, -beta, -alpha, ply + 1);
            pos.undo();
            return score;
        }
        if (pos.count(color, MakesOpenFour) > 0 && pos.count(other, MakesFour) == 0)
            return WinScore - ply - 2;
        if (depth <= 0 || pos.stones() >= BoardSize * BoardSize)
            return evaluate(color);

        TableEntry& entry = table[pos.hash() & (table.size() - 1)];
        int tableMove = -1;
        if (entry.key == pos.hash()) {
            tableMove = entry.move;
            if (entry.depth >= depth) {
                const int score = fromTable(entry.score, ply);
                if (entry.bound == Exact || (entry.bound == Lower && score >= beta) ||
                    (entry.bound == Upper && score <= alpha))
                    return score;
            }
        }
        std::vector<int> moves = candidates(color, InnerWidth);
        if (tableMove >= 0) {
            const auto found = std::find(moves.begin(), moves.end(), tableMove);
            if (found != moves.end())
                std::rotate(moves.begin(), found, found + 1);
        }
        const int startAlpha = alpha;
        int best = -Infinity;
        int bestMove = -1;
        for (std::size_t i = 0; i < moves.size(); ++i) {
            pos.play(moves[i], color);
            int score;
            if (i == 0) {
                score = -alphaBeta(other, depth - 1, -beta, -alpha, ply + 1);
            } else {
                score = -alphaBeta(other, depth - 1, -alpha - 1, -alpha, ply + 1);
                if (score > alpha && score < beta)
                    score = -alphaBeta(other, depth - 1, -beta, -alpha, ply + 1);
            }
            pos.undo();
            if (score > best) {
                best = score;
                bestMove = moves[i];
                alpha = std::max(alpha, score);
                if (alpha >= beta)
                    break;
            }
        }
        if (bestMove < 0)
            return evaluate(color);
        TableEntry& slot = table[pos.hash() & (table.size() - 1)];
        slot = {pos.hash(), toTable(best, ply), static_cast<std::int16_t>(bestMove),
                static_cast<std::int8_t>(depth),
                static_cast<std::uint8_t>(best <= startAlpha ? Upper
                                          : best >= beta     ? Lower
                                                             : Exact)};
        return best;
    }

    // Keeps the root moves after which the opponent has no forced win of this kind.
    template <typename Check> void keepSafe(std::vector<int>& moves, int color, Check&& check) {
        std::vector<int> safe;
        for (int m : moves) {
            pos.play(m, color);
            bool opponentWins = true;
            const bool finished = withinShare(0.1, [&] { opponentWins = check(); });
            pos.undo();
            if (finished && !opponentWins)
                safe.push_back(m);
        }
        if (!safe.empty())
            moves = safe;
    }

    int choose(int color) {
        const int other = opponentOf(color);
        if (pos.stones() == 0)
            return toIndex(8, 8);
        if (pos.count(color, MakesFive) > 0)
            return pos.firstWith(color, MakesFive);
        if (pos.count(other, MakesFive) > 0)
            return pos.firstWith(other, MakesFive);
        std::vector<int> moves = candidates(color, RootWidth);
        if (moves.empty())
            return -1;
        int best = moves.front();
        int win = -1;
        if (withinShare(0.2, [&] { vcf(color, limits.vcfDepth, &win); }) && win >= 0)
            return win;
        bool threatened = false;
        if (withinShare(0.1, [&] { threatened = vcf(other, limits.vcfDepth); }) && threatened)
            keepSafe(moves, color, [&] { return vcf(other, limits.vcfDepth); });
        if (limits.vctDepth > 0) {
            win = -1;
            if (withinShare(0.25, [&] { attack(color, limits.vctDepth, &win); }) && win >= 0)
                return win;
            threatened = false;
            if (withinShare(0.1, [&] { threatened = attack(other, limits.vctDepth); }) &&
                threatened)
                keepSafe(moves, color, [&] { return attack(other, limits.vctDepth); });
        }
        best = moves.front();
        for (int depth = 1; depth <= limits.maxDepth; ++depth) {
            int alpha = -Infinity;
            int bestHere = -1;
            const bool finished = withinShare(1.0, [&] {
                for (std::size_t i = 0; i < moves.size(); ++i) {
                    pos.play(moves[i], color);
                    int score;
                    if (i == 0) {
                        score = -alphaBeta(other, depth - 1, -Infinity, -alpha, 1);
                    } else {
                        score = -alphaBeta(other, depth - 1, -alpha - 1, -alpha, 1);
                        if (score > alpha)
                            score = -alphaBeta(other, depth - 1, -Infinity, -alpha, 1);
                    }
                    pos.undo();
                    if (score > alpha) {
                        alpha = score;
                        bestHere = moves[i];
                    }
                }
            });
            if (bestHere >= 0) {
                best = bestHere;
                const auto found = std::find(moves.begin(), moves.end(), best);
                std::rotate(moves.begin(), found, found + 1);
            }
            if (!finished || alpha > WinBound || alpha < -WinBound)
                break;
        }
        return best;
    }
};

Engine::Engine(int strength, std::uint64_t seed)
    : limits_(LimitsForStrength(strength)), seed_(seed) {}

Engine::~Engine() = default;

void Engine::setMemoryLimit(std::int64_t bytes) {
    memoryLimit_ = bytes;
    search_.reset();
}

std::optional<Cell> Engine::chooseMove(const Board& board, int color) {
    if (!search_) {
        std::size_t entries = std::size_t{1} << 20;
        while (memoryLimit_ > 0 && entries > 1024 &&
               static_cast<std::int64_t>(entries * sizeof(TableEntry)) > memoryLimit_ / 2)
            entries /= 2;
        search_ = std::make_unique<Search>(entries);
    }
    Search& s = *search_;
    s.pos.load(board);
    s.limits = limits_;
    s.seed = seed_;
    s.cancelled = &cancelled_;
    s.nodes = 0;
    s.nodeLimit = limits_.maxNodes > 0 ? limits_.maxNodes : INT64_MAX / 2;
    s.timed = limits_.timeMs > 0;
    s.deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limits_.timeMs);
    const int move = s.choose(color);
    lastNodes_ = s.nodes;
    if (move < 0)
        return std::nullopt;
    return Cell{columnOf(move), rowOf(move)};
}

} // namespace kelvane
