#ifdef _WIN32

#include "app/WindowsRegistry.h"

#include <windows.h>

namespace kelvane {

namespace {

HKEY Handle(RegistryKey key) {
    return reinterpret_cast<HKEY>(key);
}

} // namespace

long WindowsRegistry::RegOpenKeyExA(RegistryKey root, const char* subKey, quint32 options,
                                    quint32 samDesired, RegistryKey* result) {
    HKEY opened = nullptr;
    const LONG status = ::RegOpenKeyExA(Handle(root), subKey, options, samDesired, &opened);
    *result = reinterpret_cast<RegistryKey>(opened);
    return status;
}

long WindowsRegistry::RegQueryValueExA(RegistryKey key, const char* valueName, quint32* reserved,
                                       quint32* type, unsigned char* data, quint32* dataSize) {
    DWORD valueType = 0;
    DWORD size = dataSize ? *dataSize : 0;
    const LONG status =
        ::RegQueryValueExA(Handle(key), valueName, reinterpret_cast<LPDWORD>(reserved), &valueType,
                           data, dataSize ? &size : nullptr);
    if (type)
        *type = valueType;
    if (dataSize)
        *dataSize = size;
    return status;
}

long WindowsRegistry::RegCloseKey(RegistryKey key) {
    return ::RegCloseKey(Handle(key));
}

} // namespace kelvane

#endif
