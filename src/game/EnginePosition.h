#pragma once

// The engine's own board: padded so that lines never leave the array, with the shapes a
// stone would make at every empty cell kept up to date move by move, so that the search
// asks "where are the fours?" without scanning lines.

#include "game/Board.h"

#include <array>
#include <cstdint>
#include <vector>

namespace kelvane::engine {

inline constexpr int Pad = 4; // a five reaches four cells past the stone that makes it
inline constexpr int Side = BoardSize + 2 * Pad;
inline constexpr int CellCount = Side * Side;
inline constexpr int Wall = 3;
inline constexpr std::array<int, 4> Directions{1, Side, Side + 1, Side - 1};

inline constexpr int toIndex(int column, int row) {
    return (row - 1 + Pad) * Side + (column - 1 + Pad);
}
inline constexpr int columnOf(int index) {
    return index % Side - Pad + 1;
}
inline constexpr int rowOf(int index) {
    return index / Side - Pad + 1;
}

// What one line through an empty cell becomes when a stone of a colour is put there.
enum Shape : std::uint8_t { None, One, Two, OpenTwo, Three, OpenThree, Four, OpenFour, Five };

// Per-cell threat flags of one colour: what playing there makes, over all four lines.
enum ThreatFlag : std::uint8_t {
    MakesFive = 1,
    MakesOpenFour = 2, // an open four or two fours: wins unless met by fours
    MakesFour = 4,     // at least one four (set for open fours too)
    MakesOpenThree = 8,
    MakesDoubleThree = 16, // two open threes at once
    MakesFourThree = 32,   // a four and an open three at once
};
inline constexpr int FlagKinds = 6;

// The shape of one line for a colour, from the 16-bit key of its eight neighbours (two bits
// each: empty, black, white, wall).
Shape lineShape(int color, std::uint16_t key);

// What a stone would make at a cell over its four lines: a score and the threat flags.
struct CellShape {
    std::int16_t score = 0;
    std::uint8_t flags = 0;
    // What the cell adds to the judgement of the position: for the side to move, and for
    // the side that has just moved.
    std::int16_t toMove = 0;
    std::int16_t waiting = 0;
};

// The four shapes of a code, in any order: their place among all 495 such multisets, sorted
// and taken in order. Closed sums and a sorting network keep it cheap enough to fill a
// constant table of 6561 codes at compile time.
inline constexpr int multisetRank(int code) {
    int a = code % 9, b = code / 9 % 9, c = code / 81 % 9, d = code / 729 % 9;
    auto order = [](int& low, int& high) {
        if (low > high) {
            const int t = low;
            low = high;
            high = t;
        }
    };
    order(a, b);
    order(c, d);
    order(a, c);
    order(b, d);
    order(b, c);
    auto choose2 = [](int n) { return n * (n - 1) / 2; };
    auto choose3 = [](int n) { return n * (n - 1) * (n - 2) / 6; };
    auto choose4 = [](int n) { return n * (n - 1) * (n - 2) * (n - 3) / 24; };
    // Multisets before a, then before b with a, then before c with a and b, then before d.
    return choose4(12) - choose4(12 - a) + choose3(11 - a) - choose3(11 - b) + choose2(10 - b) -
           choose2(10 - c) + d - c;
}

// Indexed by the shapes of the four lines as digits of a base-9 number.
extern const std::array<CellShape, 6561> CellShapes;

class Position {
public:
    Position();
    void load(const Board& board);

    int at(int index) const { return cells_[index]; }
    bool isEmpty(int index) const { return cells_[index] == 0; }
    void play(int index, int color);
    void undo();
    // The turn passes without a stone: only the hash tells the two positions apart.
    void pass() { hash_ ^= 0x2545f4914f6cdd1dULL; }
    int stones() const { return static_cast<int>(history_.size()); }
    int lastMove() const { return history_.empty() ? -1 : history_.back(); }
    // The stone played `back` stones before the last one; back < stones().
    int recentMove(int back) const {
        return history_[history_.size() - 1 - static_cast<std::size_t>(back)];
    }

    std::uint64_t hash() const { return hash_; }
    // How much a stone of this colour would gain at this empty cell.
    int cellScore(int index, int color) const { return CellShapes[combo_[index][color - 1]].score; }
    // The shapes a stone of this colour would make at an empty cell, as in CellShapes.
    int shapeCode(int index, int color) const { return combo_[index][color - 1]; }
    std::uint8_t flags(int index, int color) const {
        return CellShapes[combo_[index][color - 1]].flags;
    }
    // How many empty cells carry a flag for a colour.
    int count(int color, ThreatFlag flag) const;
    // Sums of the cells' worth for the side to move and for the side waiting.
    int toMoveWorth(int color) const { return toMove_[color - 1]; }
    int waitingWorth(int color) const { return waiting_[color - 1]; }
    // Empty and within two cells of a stone.
    bool isNear(int index) const { return cells_[index] == 0 && near_[index] > 0; }
    // The first empty cell with the flag, -1 when none.
    int firstWith(int color, ThreatFlag flag) const;
    // Every empty cell with any of the flags.
    void collect(int color, std::uint8_t anyFlags, std::vector<int>& out) const;

    static const std::vector<int>& boardCells();

private:
    struct Undo;
    void touchNeighbours(int index, int color, Undo& saved);
    void markNear(int index, int sign);
    void rescore(int index);
    using ShapeTable = std::array<std::uint8_t, 65536>;
    void reshape(int index, int direction, const ShapeTable& shapes);
    void account(int index, int sign);

    std::array<std::uint8_t, CellCount> cells_{};
    std::array<std::array<std::uint16_t, 4>, CellCount> keys_{};
    // Per colour, the shapes of a cell's four lines as digits of a base-9 number.
    std::array<std::array<std::uint16_t, 2>, CellCount> combo_{};
    // The same shapes one by one: per colour, per direction.
    std::array<std::array<std::array<std::uint8_t, 4>, 2>, CellCount> lines_{};
    std::array<std::uint8_t, CellCount> near_{};
    std::array<std::array<int, FlagKinds>, 2> counts_{};
    std::array<int, 2> toMove_{};
    std::array<int, 2> waiting_{};
    std::uint64_t hash_ = 0;
    std::vector<int> history_;

    // What a stone changed, kept so that taking it back is a copy, not a second update: for
    // each cell along its lines, that line's key and shapes and the cell's combinations.
    struct Saved {
        std::uint16_t key;
        std::array<std::uint16_t, 2> combo;
        std::array<std::uint8_t, 2> line;
    };
    struct Undo {
        std::array<int, 2> toMove;
        std::array<int, 2> waiting;
        std::array<std::array<int, FlagKinds>, 2> counts;
        std::array<Saved, 32> cells;
    };
    std::vector<Undo> undo_;
};

} // namespace kelvane::engine
