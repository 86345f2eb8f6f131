#include "StoneStripArt.h"

#include <QColor>

#include <algorithm>
#include <cmath>
#include <vector>

namespace kelvane::assets {

namespace {

constexpr int SpriteWidth = 21;
constexpr int SpriteHeight = 20;
constexpr QRgb BoardColour = qRgb(255, 221, 120);

// The stone is centred on its grid crossing, which lies on the sprite's pixel (9, 9).
constexpr double CentreX = 9.5;
constexpr double CentreY = 9.5;
constexpr double Radius = 9.6;

// Where the light falls on a stone: a broad lit side plus a glossy spot, both at the upper
// left. The mix of the two picks the tone from the stone's ramp.
struct Lighting {
    double diffuse;  // weight of the broad shading
    double spot;     // weight of the glossy spot
    double spotSize; // radius of the spot, as a fraction of the stone's radius
};

struct StoneStyle {
    std::vector<QRgb> ramp; // darkest to brightest
    Lighting light;
    std::vector<QRgb> rim; // the lower-right edge, outermost pixel last
};

// Surface of a unit sphere seen from above, lit from the upper left.
double Brightness(double u, double v, const Lighting& light) {
    const double w = std::sqrt(std::max(0.0, 1.0 - u * u - v * v));
    const double lx = -0.4, ly = -0.45, lz = 0.8;
    const double norm = std::sqrt(lx * lx + ly * ly + lz * lz);
    const double lambert = std::max(0.0, (u * lx + v * ly + w * lz) / norm);
    const double du = u + 0.38, dv = v + 0.42;
    const double spot = std::max(0.0, 1.0 - std::sqrt(du * du + dv * dv) / light.spotSize);
    return std::clamp(light.diffuse * lambert + light.spot * spot * spot, 0.0, 1.0);
}

// Two neighbouring tones of the ramp in a checkerboard where the shade falls between them.
QRgb Dithered(const std::vector<QRgb>& ramp, double t, int x, int y) {
    const double position = t * static_cast<double>(ramp.size() - 1);
    const int low = static_cast<int>(std::floor(position));
    const double fraction = position - low;
    const int high = std::min(low + 1, static_cast<int>(ramp.size()) - 1);
    if (fraction < 0.3)
        return ramp[low];
    if (fraction > 0.7)
        return ramp[high];
    return ((x + y) & 1) ? ramp[high] : ramp[low];
}

double DistanceFromCentre(double x, double y) {
    return std::hypot(x - CentreX, y - CentreY);
}

// Positions are the middles of pixels in sprite units: at a scale of 2 the sprite has four
// pixels where the plain one has one, and the rim stays one sprite unit wide.
bool InsideStone(double x, double y) {
    return DistanceFromCentre(x, y) <= Radius;
}

// How far along the lower-right edge a point is: 1 straight down-right, 0 at the sides.
double LowerRightness(double x, double y) {
    const double dx = x - CentreX, dy = y - CentreY;
    const double length = std::hypot(dx, dy);
    return length == 0 ? 0 : (dx + dy) / (length * std::sqrt(2.0));
}

// A body point on the edge of the stone, facing down or right.
bool OnLowerRightEdge(double x, double y) {
    return InsideStone(x, y) && (!InsideStone(x + 1, y) || !InsideStone(x, y + 1)) &&
           LowerRightness(x, y) > 0.05;
}

QRgb RimColour(const StoneStyle& style, double x, double y) {
    const double along = LowerRightness(x, y);
    const int steps = static_cast<int>(style.rim.size());
    const int index = std::clamp(static_cast<int>(along * steps), 0, steps - 1);
    return style.rim[index];
}

QRgb StonePixel(const StoneStyle& style, int x, int y, int scale) {
    const double atX = (x + 0.5) / scale, atY = (y + 0.5) / scale;
    if (!InsideStone(atX, atY))
        return BoardColour;
    if (OnLowerRightEdge(atX, atY))
        return RimColour(style, atX, atY);
    const double u = (atX - CentreX) / Radius;
    const double v = (atY - CentreY) / Radius;
    return Dithered(style.ramp, Brightness(u, v, style.light), x, y);
}

void DrawSprite(QImage& strip, int index, const StoneStyle& style, int scale) {
    for (int y = 0; y < SpriteHeight * scale; ++y) {
        for (int x = 0; x < SpriteWidth * scale; ++x)
            strip.setPixel(index * SpriteWidth * scale + x, y, StonePixel(style, x, y, scale));
    }
}

// A black stone: a dark body with a small glossy spot in greys.
StoneStyle BlackStone() {
    return {{qRgb(0, 0, 0), qRgb(0, 0, 0), qRgb(75, 75, 75), qRgb(130, 130, 130),
             qRgb(210, 210, 210), qRgb(235, 235, 235), qRgb(255, 255, 255)},
            {0.15, 1.0, 0.55},
            {qRgb(120, 105, 61)}};
}

// A white stone: cream and white, greying towards the lower right.
StoneStyle WhiteStone() {
    return {{qRgb(130, 130, 130), qRgb(175, 175, 175), qRgb(234, 233, 208), qRgb(234, 233, 208),
             qRgb(255, 255, 255)},
            {0.9, 0.3, 0.45},
            {qRgb(120, 105, 61), qRgb(103, 103, 103), qRgb(75, 75, 75)}};
}

// The opponent's latest black stone: a wide red sheen over the black body.
StoneStyle BlackStoneHighlighted() {
    return {{qRgb(0, 0, 0), qRgb(175, 0, 0), qRgb(232, 3, 3), qRgb(255, 72, 72),
             qRgb(255, 113, 113), qRgb(255, 155, 155)},
            {0.1, 1.0, 1.0},
            {qRgb(223, 0, 0)}};
}

// The opponent's latest white stone: a red stone, pink where the light falls.
StoneStyle WhiteStoneHighlighted() {
    return {{qRgb(175, 0, 0), qRgb(206, 0, 0), qRgb(232, 3, 3), qRgb(255, 30, 30),
             qRgb(255, 110, 69), qRgb(255, 155, 155)},
            {0.95, 0.35, 0.55},
            {qRgb(223, 0, 0)}};
}

} // namespace

QImage DrawStoneStrip(int scale) {
    QImage strip(4 * SpriteWidth * scale, SpriteHeight * scale, QImage::Format_RGB32);
    DrawSprite(strip, 0, BlackStone(), scale);
    DrawSprite(strip, 1, WhiteStone(), scale);
    DrawSprite(strip, 2, BlackStoneHighlighted(), scale);
    DrawSprite(strip, 3, WhiteStoneHighlighted(), scale);
    return strip;
}

} // namespace kelvane::assets
