#pragma once

#include <array>
#include <cstdint>

namespace kelvane {

inline constexpr int BoardSize = 15;

// Colours are 1 (black) and 2 (white) everywhere: in cells, MyColor, the record and on the wire.
inline constexpr int Black = 1;
inline constexpr int White = 2;

// What a cell holds: nothing, or the colour of its stone.
enum CellCode : std::int16_t {
    Empty = 0,
    BlackStone = 1,
    WhiteStone = 2,
};

inline constexpr int opponentOf(int color) {
    return color == Black ? White : Black;
}

struct Cell {
    int column = 0;
    int row = 0;
    bool operator==(const Cell&) const = default;
};

// The 15 x 15 board, addressed (column, row), both 1-based from the top-left.
class Board {
public:
    static constexpr bool contains(int column, int row) {
        return column >= 1 && column <= BoardSize && row >= 1 && row <= BoardSize;
    }

    std::int16_t at(int column, int row) const { return cells_[index(column, row)]; }
    void set(int column, int row, std::int16_t code) { cells_[index(column, row)] = code; }
    void clear() { cells_.fill(Empty); }

private:
    static constexpr int index(int column, int row) { return (column - 1) * BoardSize + (row - 1); }

    std::array<std::int16_t, BoardSize * BoardSize> cells_{};
};

} // namespace kelvane
