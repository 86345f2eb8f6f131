#pragma once

#include <optional>
#include <string>

namespace kelvane {

// Why the program cannot open a window here, or nothing when a display is likely there.
// Checked before Qt starts, which would otherwise abort with a long message.
std::optional<std::string> MissingDisplayReason();

} // namespace kelvane
