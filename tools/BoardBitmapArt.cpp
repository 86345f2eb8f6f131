#include "BoardBitmapArt.h"

#include <array>

namespace kelvane::assets {

namespace {

constexpr int Width = 319;
constexpr int Height = 303;
constexpr int Lines = 15;

// Palette indices. The board is a 16-colour picture; five entries are used.
enum Ink : uint {
    K = 0, // black
    B = 1, // background
    S3 = 2,
    S2 = 3,
    S1 = 4,
};

constexpr int LineX(int c) {
    return 12 + 21 * (c - 1);
}
constexpr int LineY(int r) {
    return 11 + 20 * (r - 1);
}

// A star point smoothed into the background, centred on a crossing.
constexpr std::array<std::array<uint, 9>, 9> StarPoint = {{
    {B, B, B, B, K, B, B, B, B},
    {B, B, B, S3, K, S3, B, B, B},
    {B, B, S2, S1, K, S1, S2, B, B},
    {B, S3, S1, K, K, K, S1, S3, B},
    {K, K, K, K, K, K, K, K, K},
    {B, S3, S1, K, K, K, S1, S3, B},
    {B, B, S2, S1, K, S1, S2, B, B},
    {B, B, B, S3, K, S3, B, B, B},
    {B, B, B, B, K, B, B, B, B},
}};

QList<QRgb> Palette() {
    QList<QRgb> palette(16, qRgb(0, 0, 0));
    palette[K] = qRgb(0, 0, 0);
    palette[B] = qRgb(255, 221, 120);
    palette[S3] = qRgb(239, 207, 112);
    palette[S2] = qRgb(209, 181, 98);
    palette[S1] = qRgb(142, 123, 66);
    return palette;
}

void DrawFrame(QImage& image) {
    for (int x = 0; x < Width; ++x) {
        image.setPixel(x, 0, K);
        image.setPixel(x, Height - 1, K);
    }
    for (int y = 0; y < Height; ++y) {
        image.setPixel(0, y, K);
        image.setPixel(Width - 1, y, K);
    }
}

// The outer lines get their second pixel on the outer side of the board.
void DrawGrid(QImage& image) {
    const int top = LineY(1) - 1;
    const int bottom = LineY(Lines) + 1;
    const int left = LineX(1) - 1;
    const int right = LineX(Lines) + 1;
    for (int c = 1; c <= Lines; ++c) {
        for (int y = top; y <= bottom; ++y)
            image.setPixel(LineX(c), y, K);
    }
    for (int r = 1; r <= Lines; ++r) {
        for (int x = left; x <= right; ++x)
            image.setPixel(x, LineY(r), K);
    }
    for (int y = top; y <= bottom; ++y) {
        image.setPixel(left, y, K);
        image.setPixel(right, y, K);
    }
    for (int x = left; x <= right; ++x) {
        image.setPixel(x, top, K);
        image.setPixel(x, bottom, K);
    }
}

void DrawStarPoints(QImage& image) {
    for (int c : {4, 8, 12}) {
        for (int r : {4, 8, 12}) {
            for (int dy = -4; dy <= 4; ++dy) {
                for (int dx = -4; dx <= 4; ++dx)
                    image.setPixel(LineX(c) + dx, LineY(r) + dy, StarPoint[dy + 4][dx + 4]);
            }
        }
    }
}

} // namespace

QImage DrawBoardBitmap() {
    QImage image(Width, Height, QImage::Format_Indexed8);
    image.setColorTable(Palette());
    image.fill(B);
    DrawFrame(image);
    DrawGrid(image);
    DrawStarPoints(image);
    return image;
}

} // namespace kelvane::assets
