// The board picture on a screen of two device pixels per pixel: a click anywhere in a cell
// lands in that cell, and the stones are drawn as sharp as the text, the opponent's latest
// stone highlighted until the next showing.
#include "ui/BoardPicture.h"
#include "ui/MainWindow.h"
#include "ui/Pictures.h"

#include <QPainter>
#include <QtTest>

using namespace kelvane;

namespace {

constexpr int Ratio = 2;

// A left click as the platform reports it: at a device pixel, which is a fraction of a pixel
// in the window's own coordinates. Far apart in time, so no two clicks make a double click.
void ClickAtDevicePixel(QWidget& window, QPoint devicePixel) {
    static ulong time = 0;
    const QPointF local = QPointF(devicePixel) / Ratio;
    const QPointF global = local + window.mapToGlobal(QPoint(0, 0));
    for (const auto& [buttons, type] :
         {std::pair{Qt::MouseButtons(Qt::LeftButton), QEvent::MouseButtonPress},
          std::pair{Qt::MouseButtons(), QEvent::MouseButtonRelease}})
        qt_handleMouseEvent(window.windowHandle(), local, global, buttons, Qt::LeftButton, type,
                            Qt::NoModifier, time += 10000);
}

// The board bitmap with sprites of the stone strip over it: {strip x, column, row}. The strip
// holds black, white, highlighted black and highlighted white, 21 pixels apart. At scale 2
// the board's pixels are doubled and the stones come from the strip drawn at 2x.
QImage BitmapWith(std::initializer_list<std::tuple<int, int, int>> sprites, int scale = 1) {
    QImage expected = BoardBitmap().scaled(BoardBitmap().size() * scale);
    const QImage strip = scale == 1 ? StoneStrip() : StoneStrip2x();
    QPainter painter(&expected);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    for (const auto& [stripX, column, row] : sprites)
        painter.drawImage(QPoint(3 + 21 * (column - 1), 2 + 20 * (row - 1)) * scale,
                          strip.copy(stripX * scale, 0, 21 * scale, 20 * scale));
    return expected;
}
} // namespace

class TestHighDpi : public QObject {
    Q_OBJECT

public:
    // Before the application exists: the scale factor is read when it starts.
    static void initMain() { qputenv("QT_SCALE_FACTOR", "2"); }

private slots:
    // The first and last device pixel of every cell's click zone, 21 x 20 pixels from the
    // picture's origin inside its border, and the middle of its stone.
    void aClickAnywhereInACellLandsInThatCell() {
        MainWindow w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QCOMPARE(w.devicePixelRatioF(), qreal(Ratio));
        QList<QPoint> clicked;
        connect(&w, &MainWindow::cellClicked,
                [&](Cell cell) { clicked << QPoint(cell.column, cell.row); });
        const QPoint origin = w.findChild<QWidget*>("picBoard")->mapTo(&w, QPoint(1, 1)) * Ratio;
        for (int column = 1; column <= 15; ++column) {
            for (int row = 1; row <= 15; ++row) {
                const QPoint zone = QPoint(21 * (column - 1), 20 * (row - 1)) * Ratio;
                for (QPoint at : {zone, zone + QPoint(41, 39), zone + QPoint(26, 24)}) {
                    ClickAtDevicePixel(w, origin + at);
                    QCOMPARE(std::exchange(clicked, {}), QList<QPoint>{QPoint(column, row)});
                }
            }
        }
    }

    // The stones are drawn for the screen's two device pixels, the board's own pixels doubled,
    // nothing smoothed. A highlighted stone is drawn plainly by the next showing; a stone
    // gone from the board stays drawn until the picture is cleared.
    void theStonesAreCrispAndTheLatestIsHighlightedUntilTheNextShowing() {
        MainWindow w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        auto* picture = w.findChild<BoardPicture*>("picBoard");
        Board board;
        board.set(15, 15, BlackStone);
        board.set(8, 8, WhiteStone);
        w.showStones(board, Cell{15, 15});
        QImage framed(picture->size() * Ratio, QImage::Format_RGB32);
        framed.fill(Qt::black);
        QPainter(&framed).drawImage(Ratio, Ratio, BitmapWith({{42, 15, 15}, {21, 8, 8}}, Ratio));
        framed.setDevicePixelRatio(Ratio);
        QCOMPARE(picture->grab().toImage().convertToFormat(QImage::Format_RGB32), framed);

        board.set(8, 8, Empty);
        board.set(9, 8, WhiteStone);
        w.showStones(board, Cell{9, 8});
        QCOMPARE(picture->image(), BitmapWith({{0, 15, 15}, {21, 8, 8}, {63, 9, 8}}));
        w.clearBoard();
        QCOMPARE(picture->image(), BoardBitmap());
    }
};

QTEST_MAIN(TestHighDpi)
#include "test_high_dpi.moc"
