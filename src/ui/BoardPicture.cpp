#include "ui/BoardPicture.h"

#include "ui/BoardGeometry.h"
#include "ui/Pictures.h"

#include <QMouseEvent>
#include <QPainter>

#include <cmath>
#include <cstring>

namespace kelvane {

namespace {

// The bitmap sits inside a flat one-pixel black border.
constexpr int BorderWidth = 1;

// Qt hands widgets the pointer rounded to whole pixels. At a device pixel ratio above 1 it
// can lie between two of them, and rounding would move every cell's click zone by a device
// pixel; the event's position in its window is exact, so the rounding is undone from it.
// An event made up by code may give that position in another frame: a difference of more
// than half a pixel is no rounding, and then the position is taken as it is.
QPointF ExactPosition(const QWidget& widget, const QMouseEvent& event) {
    const QPointF rounded = event.position();
    const QPointF error = event.scenePosition() - widget.mapTo(widget.window(), rounded);
    if (std::abs(error.x()) > 0.5 || std::abs(error.y()) > 0.5)
        return rounded;
    return rounded + error;
}

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

void BoardPicture::showStones(const Board& board, std::optional<Cell> latest) {
    for (int column = 1; column <= BoardSize; ++column) {
        for (int row = 1; row <= BoardSize; ++row) {
            const int color = board.at(column, row);
            if (color == Black || color == White)
                copySprite(SpriteLeft(color, latest == Cell{column, row}), CellLeft(column),
                           CellTop(row));
        }
    }
    update();
}

void BoardPicture::clearPicture() {
    image_ = BoardBitmap();
    update();
}

// The cell is named as the board's labels name it: column letter, then row number.
void BoardPicture::setHint(std::optional<Cell> cell) {
    if (cell == hint_)
        return;
    if (!hint_)
        describedWithoutHint_ = accessibleDescription();
    hint_ = cell;
    setAccessibleDescription(cell ? QStringLiteral("提示：%1%2")
                                        .arg(QChar(u'A' + cell->column - 1))
                                        .arg(cell->row)
                                  : describedWithoutHint_);
    update();
}

void BoardPicture::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    // Pixel art: at a device pixel ratio above 1 each pixel is repeated, never blurred.
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.fillRect(rect(), Qt::black);
    painter.drawImage(QPoint(BorderWidth, BorderWidth), image_);
    if (hint_) {
        painter.setPen(QPen(Qt::red, 2));
        painter.drawRect(QRect(BorderWidth + CellLeft(hint_->column) + 2,
                               BorderWidth + CellTop(hint_->row) + 2, CellWidth - 4, CellHeight - 4));
    }
}

void BoardPicture::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
    emit mouseUp(event->button(), ExactPosition(*this, *event) - QPointF(BorderWidth, BorderWidth));
}

} // namespace kelvane
