#pragma once

#include "game/Board.h"

#include <QImage>
#include <QPointF>
#include <QWidget>

#include <optional>

namespace kelvane {

// The board picture `picBoard`: the board bitmap inside a one-pixel black border, with a
// persistent image that keeps every stone copied onto it until it is cleared.
class BoardPicture : public QWidget {
    Q_OBJECT

public:
    explicit BoardPicture(QWidget* parent = nullptr);

    // Paints every stone of the board; `latest`, the opponent's newest stone, gets the
    // highlighted sprite. The highlight stays on the image until the next call repaints
    // that stone plainly. Empty cells are left as the picture shows them.
    void showStones(const Board& board, std::optional<Cell> latest = std::nullopt);
    // Drops every drawn stone: the board bitmap shows again.
    void clearPicture();
    // Marks a suggested cell above the image, or none; a screen reader hears the cell.
    void setHint(std::optional<Cell> cell);
    std::optional<Cell> hint() const { return hint_; }

    // The persistent image, 319 x 303 pixels, in the picture's pixel coordinates.
    const QImage& image() const { return image_; }

signals:
    // A mouse button released over the picture, or outside it after being pressed on it.
    // The position is in the picture's pixels, with (0, 0) at the bitmap's top-left corner
    // inside the border.
    void mouseUp(Qt::MouseButton button, QPointF position);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void copySprite(int stripLeft, int x, int y);

    QImage image_;
    QImage strip_;
    std::optional<Cell> hint_;
    QString describedWithoutHint_;
};

} // namespace kelvane
