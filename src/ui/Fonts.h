#pragma once

#include <QFont>

namespace kelvane {

// The two faces of the layouts, with substitutes for systems that lack them. Sizes are given
// in points as the layouts name them, but the fonts get the pixel size those points have at
// 96 dpi (10.5 pt = 14 px), so text fits its control whatever the screen's DPI.
QFont SongTi(double pointSize);
QFont SansSerif(double pointSize, bool bold);

// The pixel size of a point size at 96 dpi, rounded.
int PixelSizeAt96Dpi(double pointSize);

} // namespace kelvane
