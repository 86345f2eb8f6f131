#pragma once

#include "game/Record.h"

#include <optional>

namespace kelvane {

// Whether this side's board is enabled at the start of a game. Black opens after an even
// number of decided games, white after an odd one; abandoned games count for nothing.
// No value for a colour that is neither black nor white: the board is left as it is.
std::optional<bool> OpensNewGame(int myColor, const Record& record);

} // namespace kelvane
