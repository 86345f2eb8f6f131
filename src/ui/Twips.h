#pragma once

#include <QRect>
#include <QWidget>

namespace kelvane {

// Layouts are written in twips, 1/1440 inch: 15 twips make one pixel at 96 dots per inch.
// Widgets are placed in pixels, so the layout stays the same whatever the screen's DPI.
inline constexpr int TwipsPerPixel = 15;

// Rounds to the nearest pixel, halves away from zero.
constexpr int TwipsToPixels(int twips) {
    return twips >= 0 ? (twips + TwipsPerPixel / 2) / TwipsPerPixel
                      : -((-twips + TwipsPerPixel / 2) / TwipsPerPixel);
}

// Keeps fractions, for text drawn at positions that are not whole pixels.
constexpr double TwipsToPixelsF(double twips) {
    return twips / TwipsPerPixel;
}

// A control's rectangle from its layout entry: left, top, width and height in twips.
constexpr QRect TwipsRect(int left, int top, int width, int height) {
    return QRect(TwipsToPixels(left), TwipsToPixels(top), TwipsToPixels(width),
                 TwipsToPixels(height));
}

inline void Place(QWidget* widget, int left, int top, int width, int height) {
    widget->setGeometry(TwipsRect(left, top, width, height));
}

} // namespace kelvane
