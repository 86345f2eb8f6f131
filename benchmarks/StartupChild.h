#pragma once

#include <string_view>

namespace kelvane::bench {

// The benchmark executable started again as a child, to time a start-up from its first
// instruction: "bare" shows one plain Qt Widgets window, "game" the game's main window with
// the logon dialog in front, as the program starts. Prints "painted <peak KiB>" once every
// window has been painted, then ends.
inline constexpr std::string_view StartupChildFlag = "--startup-child";
int runStartupChild(std::string_view what, int argc, char** argv);

} // namespace kelvane::bench
