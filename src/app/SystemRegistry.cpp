#include "app/SystemRegistry.h"

#ifdef _WIN32
#include "app/WindowsRegistry.h"
#else
#include "app/DesktopRegistry.h"
#endif

namespace kelvane {

std::unique_ptr<Registry> MakeSystemRegistry() {
#ifdef _WIN32
    return std::make_unique<WindowsRegistry>();
#else
    return std::make_unique<DesktopRegistry>();
#endif
}

} // namespace kelvane
