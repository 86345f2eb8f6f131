// The main window on a screen of two device pixels per pixel: clicks reach the cell under
// them, and the board and its stones are drawn each pixel as a sharp 2 x 2 block.
#include "ui/BoardPicture.h"
#include "ui/MainWindow.h"

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

} // namespace

class TestHighDpi : public QObject {
    Q_OBJECT

public:
    // Before the application exists: the scale factor is read when it starts.
    static void initMain() { qputenv("QT_SCALE_FACTOR", "2"); }

private slots:
    // The first and last device pixel of every cell's click zone, 21 x 20 pixels from the
    // picture's origin, and the centre of its stone.
    void aClickAnywhereInACellLandsInThatCell() {
        MainWindow w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QCOMPARE(w.devicePixelRatioF(), qreal(Ratio));
        QList<Cell> clicked;
        connect(&w, &MainWindow::cellClicked, [&clicked](Cell cell) { clicked << cell; });
        // The picture's pixels start inside its one-pixel border.
        QWidget* picture = w.findChild<BoardPicture*>("picBoard");
        const QPoint origin = picture->mapTo(&w, QPoint(1, 1)) * Ratio;
        for (int column = 1; column <= 15; ++column) {
            for (int row = 1; row <= 15; ++row) {
                const QPoint zone = QPoint(21 * (column - 1), 20 * (row - 1)) * Ratio;
                const QPoint zoneEnd = zone + QPoint(21, 20) * Ratio - QPoint(1, 1);
                const QPoint stone = zone + QPoint(3 + 10, 2 + 10) * Ratio;
                for (QPoint at : {zone, zoneEnd, stone}) {
                    ClickAtDevicePixel(w, origin + at);
                    QCOMPARE(clicked.size(), 1);
                    const Cell cell = clicked.takeFirst();
                    QCOMPARE(QPoint(cell.column, cell.row), QPoint(column, row));
                }
            }
        }
    }

    // Nothing is smoothed, the stones included.
    void theBoardAndItsStonesAreDrawnAsCrispBlocks() {
        MainWindow w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        Board board;
        board.set(15, 15, BlackStone);
        board.set(8, 8, WhiteStone);
        w.showStones(board, Cell{15, 15});
        auto* picture = w.findChild<BoardPicture*>("picBoard");
        QVERIFY(picture->image() != BoardPicture().image());

        QImage expected(picture->size(), QImage::Format_RGB32);
        expected.fill(Qt::black);
        QPainter(&expected).drawImage(1, 1, picture->image());
        QImage blocks = expected.scaled(expected.size() * Ratio);
        blocks.setDevicePixelRatio(Ratio);
        QCOMPARE(picture->grab().toImage().convertToFormat(QImage::Format_RGB32), blocks);
    }
};

QTEST_MAIN(TestHighDpi)
#include "test_high_dpi.moc"
