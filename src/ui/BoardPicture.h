#pragma once

#include "game/DrawBoard.h"

#include <QImage>
#include <QPointF>
#include <QWidget>

namespace kelvane {

// The board picture `picBoard`: the board bitmap inside a one-pixel black border, with a
// persistent image that keeps every stone copied onto it until it is cleared.
class BoardPicture : public QWidget, public SpriteSurface {
    Q_OBJECT

public:
    explicit BoardPicture(QWidget* parent = nullptr);

    // Opaque copy of one 21 x 20 sprite from the stone strip to (x, y) of the image.
    void copySprite(int stripLeft, int x, int y) override;
    void refresh() override;
    // Drops every drawn stone: the board bitmap shows again.
    void clearPicture();

    // The persistent image, 319 x 303 pixels, in the picture's pixel coordinates.
    const QImage& image() const { return image_; }

signals:
    // A mouse button released over the picture, or outside it after being pressed on it.
    // The position is in the picture's pixels, with (0, 0) at the bitmap's top-left corner
    // inside the border.
    void mouseUp(Qt::MouseButton button, Qt::KeyboardModifiers shift, QPointF position);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QImage image_;
    QImage strip_;
};

} // namespace kelvane
