// The pictures carried inside the program, as embedded at build time: every expected pixel
// is derived here from the board's drawing rules, not from the generator.

#include "ui/Pictures.h"

#include <QHash>
#include <QSet>
#include <QTest>

using namespace kelvane;

namespace {

const QRgb K = qRgb(0, 0, 0), B = qRgb(255, 221, 120);

// The smoothed star point round its crossing: K black, 3, 2 and 1 the browns from light to
// dark, a dot the board's background.
const char* const StarPoint[9] = {
    "....K....", //
    "...3K3...", //
    "..21K12..", //
    ".31KKK13.", //
    "KKKKKKKKK", //
    ".31KKK13.", //
    "..21K12..", //
    "...3K3...", //
    "....K....", //
};

QRgb StarPixel(char c) {
    static const QHash<char, QRgb> browns{
        {'3', qRgb(239, 207, 112)}, {'2', qRgb(209, 181, 98)}, {'1', qRgb(142, 123, 66)}};
    return c == 'K' ? K : browns.value(c, B);
}

QRgb Pixel(const QImage& image, int x, int y) {
    return image.pixel(x, y) | 0xff000000u;
}

// Grid lines at x = 12 + 21 (c - 1) and y = 11 + 20 (r - 1); the outer four are doubled
// outwards, so the grid spans x = 11..307, y = 10..292.
QRgb ExpectedBoardPixel(int x, int y) {
    if (x == 0 || x == 318 || y == 0 || y == 302)
        return K;
    for (int cx : {75, 159, 243}) {
        for (int cy : {71, 151, 231}) {
            if (std::abs(x - cx) <= 4 && std::abs(y - cy) <= 4)
                return StarPixel(StarPoint[y - cy + 4][x - cx + 4]);
        }
    }
    if (x < 11 || x > 307 || y < 10 || y > 292)
        return B;
    const bool onColumn = (x - 12) % 21 == 0 || x == 11 || x == 307;
    const bool onRow = (y - 11) % 20 == 0 || y == 10 || y == 292;
    return onColumn || onRow ? K : B;
}

QString Describe(int x, int y, QRgb colour) {
    return QString("(%1, %2) #%3").arg(x).arg(y).arg(colour & 0xffffff, 6, 16, QChar('0'));
}

QImage Sprite(int index) {
    return StoneStrip().copy(21 * index, 0, 21, 20);
}

// Plainly red pixels: a stone about 20 pixels across has some 300.
int RedPixels(const QImage& sprite) {
    int red = 0;
    for (int y = 0; y < sprite.height(); ++y) {
        for (int x = 0; x < sprite.width(); ++x) {
            const QRgb p = Pixel(sprite, x, y);
            red += qRed(p) > qGreen(p) + 80 && qRed(p) > qBlue(p) + 80;
        }
    }
    return red;
}

} // namespace

class TestPictures : public QObject {
    Q_OBJECT

private slots:
    void boardBitmapFollowsItsDrawingRulesEverywhere() {
        const QImage board = BoardBitmap();
        QCOMPARE(board.size(), QSize(319, 303));
        for (int y = 0; y < board.height(); ++y) {
            for (int x = 0; x < board.width(); ++x) {
                const QRgb expected = ExpectedBoardPixel(x, y);
                if (Pixel(board, x, y) != expected)
                    QCOMPARE(Describe(x, y, Pixel(board, x, y)), Describe(x, y, expected));
            }
        }
    }

    void stoneStripHoldsFourDistinctSpritesOnTheBoardColour() {
        QCOMPARE(StoneStrip().size(), QSize(84, 20));
        QSet<QRgb> corners;
        for (int index = 0; index < 4; ++index) {
            const QImage sprite = Sprite(index);
            for (QPoint corner : {QPoint(0, 0), QPoint(20, 0), QPoint(0, 19), QPoint(20, 19)})
                corners.insert(Pixel(sprite, corner.x(), corner.y()));
            for (int other = index + 1; other < 4; ++other)
                QVERIFY(sprite != Sprite(other));
        }
        QCOMPARE(corners, QSet<QRgb>{B});
        // Black stone dark at its lower right, white stone bright at its heart, both not red;
        // the highlighted two are red at a glance.
        QCOMPARE(Pixel(Sprite(0), 13, 13), K);
        QVERIFY(qGray(Pixel(Sprite(1), 9, 9)) > 200);
        QVERIFY(RedPixels(Sprite(0)) < 20 && RedPixels(Sprite(1)) < 20);
        QVERIFY(RedPixels(Sprite(2)) > 150 && RedPixels(Sprite(3)) > 150);
    }
};

QTEST_MAIN(TestPictures)
#include "test_pictures.moc"
