#pragma once

#include <QImage>

namespace kelvane::assets {

// The 319 x 303 board bitmap: frame, 15 x 15 grid with a 21 x 20 pitch and nine star
// points. Indexed, so every pixel is exactly one of its palette colours.
QImage DrawBoardBitmap();

} // namespace kelvane::assets
