#pragma once

#include "game/Engine.h"

#include <cstdint>
#include <string>

namespace kelvane {

// Plays the Gomocup protocol on standard input and output until END or the end of input.
// Input is read on a thread of its own, so that END and a closed pipe stop a search at once.
int RunGomocup(const EngineLimits& limits, std::uint64_t seed, const std::string& about);

} // namespace kelvane
