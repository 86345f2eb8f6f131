#pragma once

#include "game/Board.h"

#include <optional>
#include <utility>

namespace kelvane {

// Returns color when that colour has five or more in a row in any direction, else 0.
int CheckFive(const Board& board, int color);

// The two end stones of the run of five or more through the stone at `through`, so that the
// winning line can be marked; nothing when that stone makes no five.
std::optional<std::pair<Cell, Cell>> WinningLine(const Board& board, Cell through);

} // namespace kelvane
