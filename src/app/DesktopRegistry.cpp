#include "app/DesktopRegistry.h"

#include <QFile>
#include <QStandardPaths>

#include <cstring>

namespace kelvane {

namespace {

// The one key there is; any handle but zero would do.
constexpr RegistryKey ToolKey = 0x5157;

const char* const ToolKeyPath = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
const char* const ToolValueName = "PATH";

// Key paths and value names are compared without regard to case, as the registry does.
bool SameName(const char* name, const char* expected) {
    return name != nullptr && QString::fromLatin1(name).compare(QString::fromLatin1(expected),
                                                                Qt::CaseInsensitive) == 0;
}

QString FindSystemInfoProgram() {
    for (const QString& program : DesktopRegistry::SystemInfoPrograms) {
        const QString path = QStandardPaths::findExecutable(program);
        if (!path.isEmpty())
            return path;
    }
    return {};
}

} // namespace

const QStringList DesktopRegistry::SystemInfoPrograms = {QStringLiteral("hardinfo"),
                                                         QStringLiteral("gnome-system-monitor"),
                                                         QStringLiteral("kinfocenter")};

long DesktopRegistry::RegOpenKeyExA(RegistryKey root, const char* subKey, quint32, quint32,
                                    RegistryKey* result) {
    if (result == nullptr)
        return ErrorInvalidHandle;
    if (root != HkeyLocalMachine || !SameName(subKey, ToolKeyPath))
        return ErrorFileNotFound;
    const QString program = FindSystemInfoProgram();
    if (program.isEmpty())
        return ErrorFileNotFound;
    toolPath_ = QFile::encodeName(program);
    toolPath_.append('\0');
    ++openKeys_;
    *result = ToolKey;
    return ErrorSuccess;
}

long DesktopRegistry::RegQueryValueExA(RegistryKey key, const char* valueName, quint32*,
                                       quint32* type, unsigned char* data, quint32* dataSize) {
    if (key != ToolKey || openKeys_ == 0 || dataSize == nullptr)
        return ErrorInvalidHandle;
    if (!SameName(valueName, ToolValueName))
        return ErrorFileNotFound;
    const auto size = static_cast<quint32>(toolPath_.size());
    const quint32 room = *dataSize;
    *dataSize = size;
    if (type != nullptr)
        *type = RegSz;
    if (data == nullptr)
        return ErrorSuccess; // the caller only asked for the size
    if (size > room)
        return ErrorMoreData;
    std::memcpy(data, toolPath_.constData(), size);
    return ErrorSuccess;
}

long DesktopRegistry::RegCloseKey(RegistryKey key) {
    if (key != ToolKey || openKeys_ == 0)
        return ErrorInvalidHandle;
    --openKeys_;
    return ErrorSuccess;
}

} // namespace kelvane
