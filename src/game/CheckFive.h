#pragma once

#include "game/Board.h"

namespace kelvane {

// Returns color when that colour has five or more in a row in any direction, else 0.
int CheckFive(const Board& board, int color);

} // namespace kelvane
