// The main window on a screen of two device pixels per pixel: clicks reach the cell under
// them, and the board and its stones are drawn each pixel as a sharp 2 x 2 block.

#include "game/Board.h"
#include "game/BoardGeometry.h"
#include "ui/BoardPicture.h"
#include "ui/MainWindow.h"

#include <QPainter>
#include <QSignalSpy>
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
    // The first and last device pixel of every cell's click zone, and its stone's centre.
    void aClickAnywhereInACellLandsInThatCell() {
        MainWindow w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QCOMPARE(w.devicePixelRatioF(), qreal(Ratio));
        QSignalSpy ups(w.picBoard, &BoardPicture::mouseUp);
        // The picture's pixels start inside its one-pixel border.
        const QPoint origin = w.picBoard->mapTo(&w, QPoint(1, 1)) * Ratio;
        for (int column = 1; column <= BoardSize; ++column) {
            for (int row = 1; row <= BoardSize; ++row) {
                const QPoint zone =
                    QPoint(CellWidth * (column - 1), CellHeight * (row - 1)) * Ratio;
                const QPoint zoneEnd = zone + QPoint(CellWidth, CellHeight) * Ratio;
                const QPoint stone(CellLeft(column) * Ratio + CellWidth,
                                   CellTop(row) * Ratio + CellHeight);
                for (QPoint at : {zone, zoneEnd - QPoint(1, 1), stone}) {
                    ClickAtDevicePixel(w, origin + at);
                    QCOMPARE(ups.size(), 1);
                    const QPointF position = ups.takeFirst().at(2).toPointF();
                    const auto cell = CellAt(position.x(), position.y());
                    QCOMPARE(cell ? QPoint(cell->column, cell->row) : QPoint(),
                             QPoint(column, row));
                }
            }
        }
    }

    // Nothing is smoothed, and the stones stay on the crossings the bitmap draws.
    void theBoardAndItsStonesAreDrawnAsCrispBlocks() {
        MainWindow w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.picBoard->copySprite(SpriteLeft(BlackHighlighted), CellLeft(15), CellTop(15));
        w.picBoard->copySprite(SpriteLeft(WhiteStone), CellLeft(8), CellTop(8));

        QImage expected(w.picBoard->size(), QImage::Format_RGB32);
        expected.fill(Qt::black);
        QPainter(&expected).drawImage(1, 1, w.picBoard->image());
        QImage blocks = expected.scaled(expected.size() * Ratio);
        blocks.setDevicePixelRatio(Ratio);
        QCOMPARE(w.picBoard->grab().toImage().convertToFormat(QImage::Format_RGB32), blocks);
    }
};

QTEST_MAIN(TestHighDpi)
#include "test_high_dpi.moc"
