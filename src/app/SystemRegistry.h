#pragma once

#include "app/Services.h"

#include <memory>

namespace kelvane {

// The registry of this platform: the real one on Windows, the desktop's stand-in elsewhere.
std::unique_ptr<Registry> MakeSystemRegistry();

} // namespace kelvane
