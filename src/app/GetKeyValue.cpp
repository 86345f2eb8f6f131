#include "app/GetKeyValue.h"

#include <QByteArray>
#include <QtEndian>

namespace kelvane {

namespace {

QString NumberText(const QByteArray& buffer) {
    const auto number = qFromLittleEndian<quint32>(buffer.constData());
    return QStringLiteral("&h") + QString::number(number, 16).toUpper();
}

bool ReadValue(Registry& registry, RegistryKey key, const QString& SubKeyRef, QString& KeyVal) {
    QByteArray buffer(KeyValueBufferSize, '\0');
    quint32 size = KeyValueBufferSize;
    quint32 type = 0;
    const long status =
        registry.RegQueryValueExA(key, SubKeyRef.toLocal8Bit().constData(), nullptr, &type,
                                  reinterpret_cast<unsigned char*>(buffer.data()), &size);
    if (status != ErrorSuccess) {
        KeyVal.clear();
        return false;
    }
    // The text ends at the first zero byte of the whole buffer, not at the size returned:
    // the buffer started out zeroed, so only a value that fills it entirely has no end.
    const qsizetype end = buffer.indexOf('\0');
    if (end < 0)
        throw RegistryReadError("registry value has no terminating zero byte");
    switch (type) {
    case RegSz:
        KeyVal = QString::fromLocal8Bit(buffer.left(end));
        break;
    case RegDword:
        KeyVal = NumberText(buffer);
        break;
    default:
        break;
    }
    return true;
}

} // namespace

bool GetKeyValue(Registry& registry, RegistryKey KeyRoot, const QString& KeyName,
                 const QString& SubKeyRef, QString& KeyVal) {
    RegistryKey hKey = 0;
    bool result = false;
    const long status =
        registry.RegOpenKeyExA(KeyRoot, KeyName.toLocal8Bit().constData(), 0, KeyAllAccess, &hKey);
    if (status != ErrorSuccess) {
        KeyVal.clear();
    } else {
        try {
            result = ReadValue(registry, hKey, SubKeyRef, KeyVal);
        } catch (...) {
            // The error goes on to the caller, but the key is not left open.
            registry.RegCloseKey(hKey);
            throw;
        }
    }
    // Also after a failed open, with the handle still zero.
    registry.RegCloseKey(hKey);
    return result;
}

} // namespace kelvane
