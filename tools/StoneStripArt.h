#pragma once

#include <QImage>

namespace kelvane::assets {

// The 84 x 20 strip of four 21 x 20 stone sprites: black, white, black with a red sheen,
// red. Each stone sits on the board colour, so an opaque copy blends into the board.
QImage DrawStoneStrip();

} // namespace kelvane::assets
