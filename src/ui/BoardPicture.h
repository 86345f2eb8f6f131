#pragma once

#include "game/Board.h"

#include <QImage>
#include <QPointF>
#include <QWidget>

#include <optional>
#include <utility>

namespace kelvane {

// The board picture `picBoard`: the board bitmap inside a one-pixel black border, with a
// persistent image that keeps every stone copied onto it until it is cleared. Over it, what
// only this screen needs: the stone the pointer would place, the keyboard's cursor and the
// line through a five.
class BoardPicture : public QWidget {
    Q_OBJECT

public:
    explicit BoardPicture(QWidget* parent = nullptr);

    // Paints every stone of the board; `latest`, the opponent's newest stone, gets the
    // highlighted sprite. The highlight stays on the image until the next call repaints
    // that stone plainly. Empty cells are left as the picture shows them.
    void showStones(const Board& board, std::optional<Cell> latest = std::nullopt);
    // Drops every drawn stone and the five's line: the board bitmap shows again.
    void clearPicture();
    // Marks a suggested cell above the image, or none; a screen reader hears the cell.
    void setHint(std::optional<Cell> cell);
    std::optional<Cell> hint() const { return hint_; }
    // The colour a click would place now, or 0 while it is not this side's move.
    void setPreviewColor(int color);
    // A line through the five from its first stone to its last, until the picture is cleared.
    void markFive(std::pair<Cell, Cell> ends);
    // What a screen reader is told next to the cell under the cursor: the latest news.
    void announce(const QString& news);

    // The persistent image, 319 x 303 pixels, in the picture's pixel coordinates.
    const QImage& image() const { return image_; }
    Cell cursor() const { return cursor_; }
    // The colour of the stone at `cell` on the board last shown, else 0.
    int stoneAt(Cell cell) const { return board_.at(cell.column, cell.row); }
    // "H8 空", "J9 白子": a cell as a screen reader reads it.
    QString cellText(Cell cell) const;
    const QString& news() const { return news_; }

    // "H8": the column's letter, "A" to "O" from the left, and the row, 1 to 15 from the top.
    static QString CellName(Cell cell);

signals:
    // A mouse button released over the picture, or outside it after being pressed on it.
    // The position is in the picture's pixels, with (0, 0) at the bitmap's top-left corner
    // inside the border. Enter or Space report a left release in the middle of the cursor's
    // click zone.
    void mouseUp(Qt::MouseButton button, QPointF position);

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void copySprite(int stripLeft, int x, int y);
    void moveCursor(Cell cell);
    void tellCursor(int eventType);
    void showWaiting();
    QRectF cellRect(Cell cell) const;

    QImage image_;
    QImage strip_;
    std::optional<Cell> hint_;
    // The same picture for screens of two device pixels per pixel, stone for stone.
    QImage sharpImage_;
    QImage sharpStrip_;
    Board board_;
    std::optional<Cell> hovered_;
    int previewColor_ = 0;
    std::optional<std::pair<Cell, Cell>> five_;
    Cell cursor_{8, 8};
    // The cursor shows once the keyboard has been used on the board, so mouse players see
    // the board as it always was.
    bool cursorShown_ = false;
    QString news_;
};

} // namespace kelvane
