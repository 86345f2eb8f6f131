#include "app/DisplayCheck.h"

#include <cstdlib>
#include <filesystem>
#include <regex>

namespace kelvane {
namespace {

const char* valueOf(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' ? value : nullptr;
}

// A local X display (":0", "unix:1.0") has its socket in /tmp/.X11-unix; a remote one is
// left for Qt to reach.
bool localXServerMissing(const std::string& display) {
    static const std::regex local(R"(^(unix)?:(\d+)(\.\d+)?$)");
    std::smatch match;
    if (!std::regex_match(display, match, local))
        return false;
    std::error_code ignored;
    return !std::filesystem::exists("/tmp/.X11-unix/X" + match[2].str(), ignored);
}

} // namespace

std::optional<std::string> MissingDisplayReason() {
    // A platform chosen on purpose (offscreen, VNC...) or Wayland is the user's business.
    if (valueOf("QT_QPA_PLATFORM") != nullptr || valueOf("WAYLAND_DISPLAY") != nullptr)
        return std::nullopt;
    const char* display = valueOf("DISPLAY");
    if (display == nullptr)
        return "kelvane: no graphical display found (DISPLAY is not set); start it from a "
               "desktop session.";
    if (localXServerMissing(display))
        return "kelvane: the display " + std::string(display) +
               " is not running; start the game from a desktop session.";
    return std::nullopt;
}

} // namespace kelvane
