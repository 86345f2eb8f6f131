#include "ui/BoardPicture.h"

#include "game/BoardGeometry.h"
#include "ui/Pictures.h"

#include <QMouseEvent>
#include <QPainter>

#include <cstring>

namespace kelvane {

namespace {

// The bitmap sits inside a flat one-pixel black border.
constexpr int BorderWidth = 1;

} // namespace

BoardPicture::BoardPicture(QWidget* parent)
    : QWidget(parent), image_(BoardBitmap()), strip_(StoneStrip()) {
    setFixedSize(image_.width() + 2 * BorderWidth, image_.height() + 2 * BorderWidth);
    setFocusPolicy(Qt::StrongFocus);
    // The image covers every pixel, so Qt need not clear the background first.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

// A plain block copy, scanline by scanline: both images are 32-bit RGB, and a stone
// replaces whatever was under it.
void BoardPicture::copySprite(int stripLeft, int x, int y) {
    const QRect source = QRect(stripLeft, 0, CellWidth, CellHeight).intersected(strip_.rect());
    const QRect target = QRect(QPoint(x, y), source.size()).intersected(image_.rect());
    if (target.isEmpty())
        return;
    const int fromX = source.left() + (target.left() - x);
    const int fromY = source.top() + (target.top() - y);
    const size_t rowBytes = static_cast<size_t>(target.width()) * sizeof(QRgb);
    for (int row = 0; row < target.height(); ++row) {
        const auto* from = reinterpret_cast<const QRgb*>(strip_.constScanLine(fromY + row));
        auto* to = reinterpret_cast<QRgb*>(image_.scanLine(target.top() + row));
        std::memcpy(to + target.left(), from + fromX, rowBytes);
    }
}

void BoardPicture::refresh() {
    update();
}

void BoardPicture::clearPicture() {
    image_ = BoardBitmap();
    update();
}

void BoardPicture::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    // Pixel art: at a device pixel ratio above 1 each pixel is repeated, never blurred.
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.fillRect(rect(), Qt::black);
    painter.drawImage(QPoint(BorderWidth, BorderWidth), image_);
}

void BoardPicture::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
    emit mouseUp(event->button(), event->modifiers(),
                 event->position() - QPointF(BorderWidth, BorderWidth));
}

} // namespace kelvane
