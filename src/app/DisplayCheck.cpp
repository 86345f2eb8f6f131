#include "app/DisplayCheck.h"

#include <cstdlib>

namespace kelvane {
namespace {

bool isSet(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0';
}

} // namespace

std::optional<std::string> MissingDisplayReason() {
    // A platform chosen on purpose (offscreen, a VNC server...) is the user's business.
    if (isSet("QT_QPA_PLATFORM") || isSet("DISPLAY") || isSet("WAYLAND_DISPLAY"))
        return std::nullopt;
    return "kelvane: no graphical display found (neither DISPLAY nor WAYLAND_DISPLAY is set); "
           "start it from a desktop session.";
}

} // namespace kelvane
