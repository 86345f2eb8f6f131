// The board picture: sprite copies onto its persistent image, clearing, painting and the
// button-release signal, on a real widget under the offscreen platform.

#include "ui/BoardPicture.h"

#include "game/Board.h"
#include "game/BoardGeometry.h"
#include "game/DrawBoard.h"
#include "ui/Pictures.h"

#include <QPainter>
#include <QSignalSpy>
#include <QTest>

using namespace kelvane;

namespace {

QImage Sprite(int code) {
    return StoneStrip().copy(SpriteLeft(code), 0, CellWidth, CellHeight);
}

QImage Area(const QImage& image, int x, int y) {
    return image.copy(x, y, CellWidth, CellHeight);
}

// The image equals the board bitmap everywhere outside the given rectangle.
bool BitmapOutside(const QImage& image, const QRect& drawn) {
    const QImage bitmap = BoardBitmap();
    for (int y = 0; y < bitmap.height(); ++y) {
        for (int x = 0; x < bitmap.width(); ++x) {
            if (!drawn.contains(x, y) && image.pixel(x, y) != bitmap.pixel(x, y))
                return false;
        }
    }
    return true;
}

bool Opaque(const QImage& image) {
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(image.pixel(x, y)) != 255)
                return false;
        }
    }
    return true;
}

} // namespace

class TestBoardPicture : public QObject {
    Q_OBJECT

private slots:
    void hasTheBitmapInsideAOnePixelBorder();
    void takesFocusByTabAndClick();
    void copiesSpritesOntoTheCellsPixelExact();
    void stoneReplacesWhatWasUnderIt();
    void highlightStaysUntilRedrawnPlain();
    void clearingRestoresTheBitmap();
    void paintsTheBorderAndTheImage();
    void staysCrispAtTwiceThePixelRatio();
    void reportsReleasesInBitmapPixels();
    void disabledPictureReportsNothing();
};

void TestBoardPicture::hasTheBitmapInsideAOnePixelBorder() {
    BoardPicture picture;
    QCOMPARE(picture.size(), QSize(321, 305));
    QCOMPARE(picture.minimumSize(), QSize(321, 305));
    QCOMPARE(picture.maximumSize(), QSize(321, 305));
    QCOMPARE(picture.image().size(), QSize(319, 303));
    QCOMPARE(picture.image(), BoardBitmap());
}

void TestBoardPicture::takesFocusByTabAndClick() {
    BoardPicture picture;
    QVERIFY(picture.focusPolicy() & Qt::TabFocus);
    QVERIFY(picture.focusPolicy() & Qt::ClickFocus);
}

void TestBoardPicture::copiesSpritesOntoTheCellsPixelExact() {
    BoardPicture picture;
    picture.copySprite(SpriteLeft(BlackStone), CellLeft(1), CellTop(1));
    QCOMPARE(QPoint(CellLeft(1), CellTop(1)), QPoint(3, 2));
    QCOMPARE(Area(picture.image(), 3, 2), Sprite(BlackStone));

    picture.copySprite(SpriteLeft(WhiteStone), CellLeft(15), CellTop(15));
    QCOMPARE(QPoint(CellLeft(15), CellTop(15)), QPoint(297, 282));
    QCOMPARE(Area(picture.image(), 297, 282), Sprite(WhiteStone));

    QVERIFY(Opaque(picture.image()));
    // Nothing else on the board changed.
    QImage expected = BoardBitmap();
    {
        QPainter painter(&expected);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.drawImage(3, 2, Sprite(BlackStone));
        painter.drawImage(297, 282, Sprite(WhiteStone));
    }
    QCOMPARE(picture.image(), expected);
}

void TestBoardPicture::stoneReplacesWhatWasUnderIt() {
    BoardPicture picture;
    const int x = CellLeft(8), y = CellTop(8);
    picture.copySprite(SpriteLeft(WhiteHighlighted), x, y);
    QCOMPARE(Area(picture.image(), x, y), Sprite(WhiteHighlighted));
    // The star point under the stone is gone, and the plain stone leaves no red behind.
    picture.copySprite(SpriteLeft(WhiteStone), x, y);
    QCOMPARE(Area(picture.image(), x, y), Sprite(WhiteStone));
    QVERIFY(BitmapOutside(picture.image(), QRect(x, y, CellWidth, CellHeight)));
}

void TestBoardPicture::highlightStaysUntilRedrawnPlain() {
    BoardPicture picture;
    Board board;
    board.set(5, 9, BlackHighlighted);
    DrawBoard(board, picture);
    board.set(5, 9, BlackStone);
    QCOMPARE(Area(picture.image(), CellLeft(5), CellTop(9)), Sprite(BlackHighlighted));

    board.set(6, 9, WhiteStone);
    DrawBoard(board, picture);
    QCOMPARE(Area(picture.image(), CellLeft(5), CellTop(9)), Sprite(BlackStone));
    QCOMPARE(Area(picture.image(), CellLeft(6), CellTop(9)), Sprite(WhiteStone));
}

void TestBoardPicture::clearingRestoresTheBitmap() {
    BoardPicture picture;
    Board board;
    for (int column = 1; column <= BoardSize; ++column) {
        for (int row = 1; row <= BoardSize; ++row)
            board.set(column, row, static_cast<std::int16_t>(1 + (column + row) % 4));
    }
    DrawBoard(board, picture);
    QVERIFY(picture.image() != BoardBitmap());
    picture.clearPicture();
    QCOMPARE(picture.image(), BoardBitmap());
    // The cleared picture takes stones again.
    picture.copySprite(SpriteLeft(BlackStone), CellLeft(2), CellTop(3));
    QCOMPARE(Area(picture.image(), CellLeft(2), CellTop(3)), Sprite(BlackStone));
}

void TestBoardPicture::paintsTheBorderAndTheImage() {
    BoardPicture picture;
    picture.copySprite(SpriteLeft(WhiteStone), CellLeft(4), CellTop(4));
    const QImage shown = picture.grab().toImage().convertToFormat(QImage::Format_RGB32);
    QCOMPARE(shown.size(), QSize(321, 305));
    for (int x = 0; x < 321; ++x) {
        QCOMPARE(shown.pixel(x, 0), qRgb(0, 0, 0));
        QCOMPARE(shown.pixel(x, 304), qRgb(0, 0, 0));
    }
    for (int y = 0; y < 305; ++y) {
        QCOMPARE(shown.pixel(0, y), qRgb(0, 0, 0));
        QCOMPARE(shown.pixel(320, y), qRgb(0, 0, 0));
    }
    QCOMPARE(shown.copy(1, 1, 319, 303), picture.image());
}

void TestBoardPicture::staysCrispAtTwiceThePixelRatio() {
    BoardPicture picture;
    picture.copySprite(SpriteLeft(BlackHighlighted), CellLeft(3), CellTop(3));
    QImage shown(642, 610, QImage::Format_RGB32);
    shown.setDevicePixelRatio(2);
    shown.fill(Qt::green);
    picture.render(&shown);
    const QImage& image = picture.image();
    // Every picture pixel becomes a 2 x 2 block of exactly its colour: no smoothing.
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const int dx = 2 * (x + 1), dy = 2 * (y + 1);
            const QRgb expected = image.pixel(x, y);
            if (shown.pixel(dx, dy) != expected || shown.pixel(dx + 1, dy) != expected ||
                shown.pixel(dx, dy + 1) != expected || shown.pixel(dx + 1, dy + 1) != expected)
                QFAIL(qPrintable(QStringLiteral("blurred at (%1, %2)").arg(x).arg(y)));
        }
    }
    QCOMPARE(shown.pixel(0, 0), qRgb(0, 0, 0));
    QCOMPARE(shown.pixel(641, 609), qRgb(0, 0, 0));
}

void TestBoardPicture::reportsReleasesInBitmapPixels() {
    BoardPicture picture;
    picture.show();
    QVERIFY(QTest::qWaitForWindowExposed(&picture));
    QSignalSpy spy(&picture, &BoardPicture::mouseUp);

    QTest::mousePress(&picture, Qt::LeftButton, Qt::NoModifier, QPoint(1, 1));
    QCOMPARE(spy.count(), 0);
    QTest::mouseRelease(&picture, Qt::LeftButton, Qt::NoModifier, QPoint(1, 1));
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).value<Qt::MouseButton>(), Qt::LeftButton);
    QCOMPARE(spy.at(0).at(1).value<Qt::KeyboardModifiers>(), Qt::NoModifier);
    QCOMPARE(spy.at(0).at(2).toPointF(), QPointF(0, 0));

    QTest::mousePress(&picture, Qt::RightButton, Qt::ShiftModifier, QPoint(22, 21));
    QTest::mouseRelease(&picture, Qt::RightButton, Qt::ShiftModifier, QPoint(22, 21));
    QCOMPARE(spy.count(), 2);
    QCOMPARE(spy.at(1).at(0).value<Qt::MouseButton>(), Qt::RightButton);
    QCOMPARE(spy.at(1).at(1).value<Qt::KeyboardModifiers>(), Qt::ShiftModifier);
    QCOMPARE(spy.at(1).at(2).toPointF(), QPointF(21, 20));
    // The released position falls in cell (2, 2) of the click zones.
    const auto cell = CellAt(spy.at(1).at(2).toPointF().x(), spy.at(1).at(2).toPointF().y());
    QVERIFY(cell.has_value());
    QCOMPARE(cell->column, 2);
    QCOMPARE(cell->row, 2);
}

void TestBoardPicture::disabledPictureReportsNothing() {
    BoardPicture picture;
    picture.show();
    QVERIFY(QTest::qWaitForWindowExposed(&picture));
    QSignalSpy spy(&picture, &BoardPicture::mouseUp);
    picture.setEnabled(false);
    QTest::mousePress(&picture, Qt::LeftButton, Qt::NoModifier, QPoint(50, 50));
    QTest::mouseRelease(&picture, Qt::LeftButton, Qt::NoModifier, QPoint(50, 50));
    QCOMPARE(spy.count(), 0);
    // Enabled again, the same click is reported: the silence came from the disabled state.
    picture.setEnabled(true);
    QTest::mousePress(&picture, Qt::LeftButton, Qt::NoModifier, QPoint(50, 50));
    QTest::mouseRelease(&picture, Qt::LeftButton, Qt::NoModifier, QPoint(50, 50));
    QCOMPARE(spy.count(), 1);
}

QTEST_MAIN(TestBoardPicture)
#include "test_board_picture.moc"
