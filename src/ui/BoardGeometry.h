#pragma once

#include "game/Board.h"

#include <cmath>
#include <optional>

namespace kelvane {

// The board picture's pitch is 21 x 20 pixels: its cells are not square.
inline constexpr int CellWidth = 21;
inline constexpr int CellHeight = 20;

// Top-left corner, in board-picture pixels, of the sprite of a cell.
inline constexpr int CellLeft(int column) {
    return 3 + CellWidth * (column - 1);
}
inline constexpr int CellTop(int row) {
    return 2 + CellHeight * (row - 1);
}

// Left edge in the stone strip of a stone's sprite: black, white, then the same two drawn
// as the opponent's latest move.
inline constexpr int SpriteLeft(int color, bool highlighted) {
    return CellWidth * (color - 1 + (highlighted ? 2 : 0));
}

// The cell under a pointer position in board-picture pixels. The click zones start at the
// picture's origin, not at the drawing origin (3, 2), and positions just left of or above
// it still truncate into the first column or row. No cell for the strips past the 15th.
inline std::optional<Cell> CellAt(double x, double y) {
    const int column = static_cast<int>(std::trunc(x / CellWidth)) + 1;
    const int row = static_cast<int>(std::trunc(y / CellHeight)) + 1;
    if (!Board::contains(column, row))
        return std::nullopt;
    return Cell{column, row};
}

} // namespace kelvane
