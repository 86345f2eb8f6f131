#pragma once

#include <QImage>

namespace kelvane::assets {

// The program icon at size x size pixels: four stones in a square on a transparent
// background, black at the top left and bottom right, white at the other two corners.
QImage DrawProgramIcon(int size);

} // namespace kelvane::assets
