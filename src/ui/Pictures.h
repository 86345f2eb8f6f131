#pragma once

#include <QIcon>
#include <QImage>

namespace kelvane {

// The pictures carried inside the program.
QImage BoardBitmap(); // 319 x 303, the background of `picBoard`
QImage StoneStrip();  // 84 x 20: black, white, highlighted black, highlighted white
QImage StoneStrip2x(); // 168 x 40: the same stones drawn for two device pixels per pixel
QIcon ProgramIcon();  // four stones in a square, on a transparent background

} // namespace kelvane
