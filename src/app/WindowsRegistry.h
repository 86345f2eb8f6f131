#pragma once

#ifdef _WIN32

#include "app/Services.h"

namespace kelvane {

// The system registry itself, through the ANSI calls of advapi32.
class WindowsRegistry : public Registry {
public:
    long RegOpenKeyExA(RegistryKey root, const char* subKey, quint32 options, quint32 samDesired,
                       RegistryKey* result) override;
    long RegQueryValueExA(RegistryKey key, const char* valueName, quint32* reserved, quint32* type,
                          unsigned char* data, quint32* dataSize) override;
    long RegCloseKey(RegistryKey key) override;
};

} // namespace kelvane

#endif
