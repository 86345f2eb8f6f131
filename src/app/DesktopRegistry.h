#pragma once

#include "app/Services.h"

#include <QByteArray>
#include <QStringList>

namespace kelvane {

// A stand-in for the system registry where there is none. It holds one key, the place
// where the system-information tool is recorded, and answers its value "PATH" with the
// first of the desktop's system-information programs found on PATH. Every other key and
// value is missing, and so is that key when no such program is installed.
class DesktopRegistry : public Registry {
public:
    // The programs tried, in order of preference.
    static const QStringList SystemInfoPrograms;

    long RegOpenKeyExA(RegistryKey root, const char* subKey, quint32 options, quint32 samDesired,
                       RegistryKey* result) override;
    long RegQueryValueExA(RegistryKey key, const char* valueName, quint32* reserved, quint32* type,
                          unsigned char* data, quint32* dataSize) override;
    long RegCloseKey(RegistryKey key) override;

private:
    // The program's path as a zero-terminated string in the system code page; looked up
    // when the key is opened, so a program installed meanwhile is found.
    QByteArray toolPath_;
    int openKeys_ = 0;
};

} // namespace kelvane
