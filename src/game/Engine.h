#pragma once

// The computer player: freestyle five in a row on the 15 x 15 board, no forbidden moves.
// It looks for tactics first (five, blocking a four, a win by continuous fours, and where its
// limits ask for it a win by threes and fours) and otherwise runs an alpha-beta search over
// pattern scores.
//
// Threats are followed inside the alpha-beta search too: where the opponent threatens an
// open four only the answers that meet it are tried, and a lone answer costs no depth, so
// that a sequence of threats that leaves no choice is followed to its end. Depth is bought
// by pruning: late moves are searched shallower, a node deep in the tree tries only its
// best few moves, and a quiet node far past either bound is taken at its judgement. At the
// leaves a quick search looks for wins by fours that keep making new threats near the last
// one (leafVcfDepth).
//
// With no time cap every limit is a node count and a depth, so that a search is replayed
// exactly for a given seed; the time cap makes the search fit the clock instead.

#include "game/Board.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>

namespace kelvane {

struct EngineLimits {
    int maxDepth = 10;         // plies of the alpha-beta search
    std::int64_t maxNodes = 0; // whole move, tactics included
    // Wall-clock milliseconds from the call of chooseMove to its return, 0 for none. It
    // binds: the search stops within a millisecond or two of it on an unloaded core, and
    // does not start a deeper pass it could not finish.
    int timeMs = 0;
    int vcfDepth = 12;    // attacker moves, at the root
    int vctDepth = 5;     // attacker moves, at the root
    int leafVcfDepth = 6; // attacker moves of the quick search at the leaves; 0: none
    int width = 20;       // moves tried at a node that no threat forces
    int replyWidth = 0;   // the same at the root and at its answers, when wider
    // Nodes for checking, after the search, that the chosen move leaves the opponent no win
    // by fours; 0: no check.
    std::int64_t guardNodes = 0;
};

inline constexpr int WeakestStrength = 1;
inline constexpr int DefaultStrength = 2;
inline constexpr int StrongestStrength = 3;

EngineLimits LimitsForStrength(int strength);

class Engine {
public:
    explicit Engine(int strength = DefaultStrength, std::uint64_t seed = 0);
    ~Engine();

    EngineLimits limits() const { return limits_; }
    void setLimits(const EngineLimits& limits) { limits_ = limits; }
    void setSeed(std::uint64_t seed) { seed_ = seed; }
    // Shrinks the transposition table to fit in about this many bytes.
    void setMemoryLimit(std::int64_t bytes);
    // Sets up the search's tables now rather than in the first move, whose clock they would
    // otherwise eat: a first touch of their memory takes tens of milliseconds.
    void prepare();

    // The move for `color` on this board; no cell when the board is full. Any cell code of
    // the board counts as that colour's stone.
    std::optional<Cell> chooseMove(const Board& board, int color);

    // Makes a running chooseMove, or the next one, return soon with the best move it has
    // found; thread-safe. Stays in force until clearCancel.
    void cancel() { cancelled_.store(true); }
    void clearCancel() { cancelled_.store(false); }

    // Nodes visited by the last chooseMove.
    std::int64_t lastNodes() const { return lastNodes_; }

private:
    class Search;

    EngineLimits limits_;
    std::uint64_t seed_;
    std::int64_t memoryLimit_ = 0;
    std::atomic<bool> cancelled_{false};
    std::int64_t lastNodes_ = 0;
    std::unique_ptr<Search> search_;
};

} // namespace kelvane
