#include "game/CheckFive.h"

#include <algorithm>

namespace kelvane {
namespace {

bool windowMatches(const Board& board, int column, int row, int stepColumn, int stepRow,
                   int color) {
    for (int k = 0; k < 5; ++k) {
        if (board.at(column + k * stepColumn, row + k * stepRow) != color)
            return false;
    }
    return true;
}

// Scans every window of five that starts at a cell from which the step stays on the board.
bool anyWindow(const Board& board, int stepColumn, int stepRow, int color) {
    const int firstColumn = stepColumn < 0 ? 5 : 1;
    const int lastColumn = stepColumn > 0 ? BoardSize - 4 : BoardSize;
    const int lastRow = stepRow > 0 ? BoardSize - 4 : BoardSize;
    for (int column = firstColumn; column <= lastColumn; ++column) {
        for (int row = 1; row <= lastRow; ++row) {
            if (windowMatches(board, column, row, stepColumn, stepRow, color))
                return true;
        }
    }
    return false;
}

} // namespace

int CheckFive(const Board& board, int color) {
    // Both diagonals first, then verticals, then horizontals; the order only decides how
    // soon the scan stops, never the result.
    const bool found = anyWindow(board, +1, +1, color) || anyWindow(board, -1, +1, color) ||
                       anyWindow(board, 0, +1, color) || anyWindow(board, +1, 0, color);
    return found ? color : 0;
}

std::optional<std::pair<Cell, Cell>> WinningLine(const Board& board, Cell through) {
    if (!Board::contains(through.column, through.row))
        return std::nullopt;
    const int color = board.at(through.column, through.row);
    if (color != Black && color != White)
        return std::nullopt;
    constexpr Cell Steps[] = {{1, 0}, {0, 1}, {1, 1}, {-1, 1}};
    for (const Cell step : Steps) {
        const auto runEnd = [&](int sign) {
            Cell end = through;
            for (Cell next{end.column + sign * step.column, end.row + sign * step.row};
                 Board::contains(next.column, next.row) && board.at(next.column, next.row) == color;
                 next = {next.column + sign * step.column, next.row + sign * step.row})
                end = next;
            return end;
        };
        const Cell first = runEnd(-1);
        const Cell last = runEnd(+1);
        if (std::max(last.column - first.column, last.row - first.row) >= 4)
            return std::pair{first, last};
    }
    return std::nullopt;
}

} // namespace kelvane
