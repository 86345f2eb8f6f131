#include "game/CheckFive.h"

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

} // namespace kelvane
