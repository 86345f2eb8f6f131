// The main window on a screen of two device pixels per pixel: clicks reach the cell under
// them, and the board, its stones and the coordinate labels are drawn where they belong,
// each pixel as a sharp 2 x 2 block.

#include "game/Board.h"
#include "game/BoardGeometry.h"
#include "game/DrawBoard.h"
#include "ui/BoardPicture.h"
#include "ui/MainWindow.h"
#include "ui/Pictures.h"
#include "ui/Twips.h"

#include <QPainter>
#include <QSignalSpy>
#include <QtTest>

using namespace kelvane;

namespace {

constexpr qreal Ratio = 2;
// The picture's pixels start inside its one-pixel border.
const QPointF PictureOrigin(1, 1);

// A mouse press and release as the platform reports them: at a device pixel, which is a
// fraction of a pixel in the window's own coordinates.
class DevicePixelMouse {
public:
    explicit DevicePixelMouse(QWidget& window) : window_(window) {}

    void click(QPointF local) {
        QWindow* handle = window_.windowHandle();
        const QPointF global = local + window_.mapToGlobal(QPoint(0, 0));
        send(handle, local, global, Qt::LeftButton, QEvent::MouseButtonPress);
        send(handle, local, global, Qt::NoButton, QEvent::MouseButtonRelease);
    }

private:
    void send(QWindow* handle, QPointF local, QPointF global, Qt::MouseButtons state,
              QEvent::Type type) {
        // Far apart in time, so no two clicks make a double click.
        timestamp_ += 10000;
        qt_handleMouseEvent(handle, local, global, state, Qt::LeftButton, type, Qt::NoModifier,
                            timestamp_);
    }

    QWidget& window_;
    int timestamp_ = 0;
};

// The device pixel at `devicePixel`, as a point in window pixels.
QPointF AtDevicePixel(QPoint devicePixel) {
    return QPointF(devicePixel) / Ratio;
}

// The first and the last device pixel of a cell's click zone, and the middle of its stone.
struct CellPoints {
    QPointF firstPixel;
    QPointF lastPixel;
    QPointF stoneCentre;
};

CellPoints PointsOf(const MainWindow& w, int column, int row) {
    const QPointF origin = w.picBoard->mapTo(&w, QPointF(0, 0)) + PictureOrigin;
    const QPoint deviceOrigin = (origin * Ratio).toPoint();
    const QPoint zoneStart(CellWidth * (column - 1), CellHeight * (row - 1));
    const QPoint zoneEnd(CellWidth * column, CellHeight * row);
    const QPointF stone(CellLeft(column) + CellWidth / 2.0, CellTop(row) + CellHeight / 2.0);
    return {AtDevicePixel(deviceOrigin + zoneStart * Ratio),
            AtDevicePixel(deviceOrigin + zoneEnd * Ratio - QPoint(1, 1)), origin + stone};
}

// The picture as it is meant to look at one pixel per pixel: the image in a black border.
QImage PictureAtOnePixel(const BoardPicture& picture) {
    QImage expected(picture.size(), QImage::Format_RGB32);
    expected.fill(Qt::black);
    QPainter(&expected).drawImage(PictureOrigin, picture.image());
    return expected;
}

// Where the grab differs from `expected` with each pixel made a Ratio x Ratio block.
QString FirstDifference(const QImage& grabbed, const QImage& expected) {
    const QImage scaled = expected.scaled(expected.size() * Ratio);
    if (grabbed.size() != scaled.size())
        return QString("size %1x%2").arg(grabbed.width()).arg(grabbed.height());
    for (int y = 0; y < scaled.height(); ++y)
        for (int x = 0; x < scaled.width(); ++x)
            if (grabbed.pixel(x, y) != scaled.pixel(x, y))
                return QString("device pixel (%1, %2)").arg(x).arg(y);
    return QString();
}

// The smallest rectangle around the pixels that differ from the background.
QRect Ink(const QImage& image, QRgb background) {
    QRect ink;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != background)
                ink |= QRect(x, y, 1, 1);
    return ink;
}

void ShowExposed(QWidget& window) {
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
}

} // namespace

class TestHighDpi : public QObject {
    Q_OBJECT

public:
    // Before the application exists: the scale factor is read when it starts.
    static void initMain() { qputenv("QT_SCALE_FACTOR", "2"); }

private slots:
    void initTestCase() {
        MainWindow w;
        ShowExposed(w);
        QCOMPARE(w.devicePixelRatioF(), Ratio);
    }

    void aClickAnywhereInACellLandsInThatCell() {
        MainWindow w;
        ShowExposed(w);
        DevicePixelMouse mouse(w);
        QSignalSpy ups(w.picBoard, &BoardPicture::mouseUp);
        for (int column = 1; column <= BoardSize; ++column) {
            for (int row = 1; row <= BoardSize; ++row) {
                const CellPoints points = PointsOf(w, column, row);
                for (QPointF point : {points.stoneCentre, points.firstPixel, points.lastPixel}) {
                    ups.clear();
                    mouse.click(point);
                    QCOMPARE(ups.size(), 1);
                    const auto position = ups.first().at(2).toPointF();
                    const auto cell = CellAt(position.x(), position.y());
                    QVERIFY2(cell && cell->column == column && cell->row == row,
                             qPrintable(QString("click at (%1, %2) meant for cell (%3, %4)")
                                            .arg(position.x())
                                            .arg(position.y())
                                            .arg(column)
                                            .arg(row)));
                }
            }
        }
    }

    // Every pixel of the board and of its stones is a 2 x 2 block of one colour, at twice its
    // place: nothing is smoothed, and the stones stay on the crossings the bitmap draws.
    void theBoardAndItsStonesAreDrawnCrisp() {
        MainWindow w;
        ShowExposed(w);
        Board board;
        board.set(1, 1, BlackStone);
        board.set(8, 8, WhiteStone);
        board.set(15, 15, BlackHighlighted);
        board.set(4, 12, WhiteHighlighted);
        DrawBoard(board, *w.picBoard);

        const QPixmap grabbed = w.picBoard->grab();
        QCOMPARE(grabbed.devicePixelRatio(), Ratio);
        const QImage image = grabbed.toImage().convertToFormat(QImage::Format_RGB32);
        const QString difference = FirstDifference(image, PictureAtOnePixel(*w.picBoard));
        QVERIFY2(difference.isEmpty(), qPrintable(difference));
    }

    // Text printed beside the board keeps its place next to the board, at twice the pixels.
    void coordinateLabelsStayBesideTheBoard() {
        MainWindow w;
        const QPointF atTwips(w.picBoard->x() * TwipsPerPixel + 192,
                              w.picBoard->y() * TwipsPerPixel - 240);
        w.printAt(atTwips.x(), atTwips.y(), "H");
        ShowExposed(w);

        QWidget* client = w.centralWidget();
        const QRect board = QRect(w.picBoard->mapTo(client, QPoint(0, 0)), w.picBoard->size());
        const QRectF text(atTwips / TwipsPerPixel, QSizeF(client->fontMetrics().size(0, "H")));
        const QRect area = text.toAlignedRect().united(board).adjusted(-2, -2, 2, 2);
        const QImage image = client->grab(area).toImage().convertToFormat(QImage::Format_RGB32);
        QCOMPARE(image.size(), area.size() * Ratio);

        const QRgb background = client->palette().color(QPalette::Window).rgb();
        const QRect textDevice = text.translated(-area.topLeft()).toAlignedRect();
        const QRect letter = Ink(
            image.copy(QRect(textDevice.topLeft() * Ratio, textDevice.size() * Ratio)), background);
        QVERIFY(!letter.isEmpty());
        // The board's black border starts exactly at twice its place in the window.
        const QPoint boardCorner = (board.topLeft() - area.topLeft()) * Ratio;
        QCOMPARE(QColor(image.pixel(boardCorner)), QColor(Qt::black));
        QCOMPARE(QColor(image.pixel(boardCorner - QPoint(1, 1))), QColor(background));
        // Everything drawn above the board is the letter, inside its printed place.
        const QImage above = image.copy(0, 0, image.width(), boardCorner.y());
        const QRect allInk = Ink(above, background);
        QVERIFY(QRect(textDevice.topLeft() * Ratio, textDevice.size() * Ratio).contains(allInk));
    }
};

QTEST_MAIN(TestHighDpi)
#include "test_high_dpi.moc"
