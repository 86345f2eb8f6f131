#pragma once

#include <QByteArray>

namespace kelvane::assets {

// The move sound, a stone set down on a wooden board, as a complete 16-bit mono WAV file.
// The same bytes on every build.
QByteArray MakeMoveSound();

} // namespace kelvane::assets
