#pragma once

#include "app/Services.h"

#include <QString>
#include <stdexcept>

namespace kelvane {

// A registry value that filled the whole buffer with no zero byte to end its text.
class RegistryReadError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The data buffer is this big; a larger value reads as missing.
inline constexpr quint32 KeyValueBufferSize = 1024;

// Reads value SubKeyRef of key KeyName under KeyRoot into KeyVal and tells whether it was
// read. A missing key or value gives false and an empty KeyVal. A string value gives its
// text, a 32-bit number its "&h" hexadecimal form, and any other type counts as read while
// KeyVal keeps the text it had. Throws RegistryReadError when no zero byte ends the data.
bool GetKeyValue(Registry& registry, RegistryKey KeyRoot, const QString& KeyName,
                 const QString& SubKeyRef, QString& KeyVal);

} // namespace kelvane
