#pragma once

#include <QImage>

namespace kelvane::assets {

// The 84 x 20 strip of four 21 x 20 stone sprites: black, white, black with a red sheen,
// red. Each stone sits on the board colour, so an opaque copy blends into the board. A scale
// above 1 draws the same stones with that many pixels to a pixel, for sharp screens.
QImage DrawStoneStrip(int scale = 1);

} // namespace kelvane::assets
