// The board picture: the embedded pictures against the board's drawing rules, every expected
// pixel derived here rather than from the generator, and the stones copied onto its
// persistent image. How it paints is checked at twice the pixel ratio in test_high_dpi.

#include "ui/BoardPicture.h"

#include "game/Board.h"
#include "game/BoardGeometry.h"
#include "game/DrawBoard.h"
#include "ui/Pictures.h"

#include <QHash>
#include <QPainter>
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

QRgb Pixel(const QImage& image, int x, int y) {
    return image.pixel(x, y) | 0xff000000u;
}

// Grid lines at x = 12 + 21 (c - 1) and y = 11 + 20 (r - 1); the outer four are doubled
// outwards, so the grid spans x = 11..307, y = 10..292.
QRgb ExpectedBoardPixel(int x, int y) {
    static const QHash<char, QRgb> star{
        {'K', K}, {'3', qRgb(239, 207, 112)}, {'2', qRgb(209, 181, 98)}, {'1', qRgb(142, 123, 66)}};
    if (x == 0 || x == 318 || y == 0 || y == 302)
        return K;
    for (int cx : {75, 159, 243})
        for (int cy : {71, 151, 231})
            if (std::abs(x - cx) <= 4 && std::abs(y - cy) <= 4)
                return star.value(StarPoint[y - cy + 4][x - cx + 4], B);
    if (x < 11 || x > 307 || y < 10 || y > 292)
        return B;
    const bool onColumn = (x - 12) % 21 == 0 || x == 11 || x == 307;
    const bool onRow = (y - 11) % 20 == 0 || y == 10 || y == 292;
    return onColumn || onRow ? K : B;
}

QImage Sprite(int code) {
    return StoneStrip().copy(21 * (code - 1), 0, 21, 20);
}

// Plainly red pixels: a stone about 20 pixels across has some 300.
int RedPixels(const QImage& sprite) {
    int red = 0;
    for (int y = 0; y < sprite.height(); ++y)
        for (int x = 0; x < sprite.width(); ++x) {
            const QRgb p = Pixel(sprite, x, y);
            red += qRed(p) > qGreen(p) + 80 && qRed(p) > qBlue(p) + 80;
        }
    return red;
}

// The board bitmap with the given sprites pasted over it, each at its cell's corner.
QImage BitmapWith(std::initializer_list<std::tuple<int, int, int>> stones) {
    QImage expected = BoardBitmap();
    QPainter painter(&expected);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    for (const auto& [code, column, row] : stones)
        painter.drawImage(3 + 21 * (column - 1), 2 + 20 * (row - 1), Sprite(code));
    return expected;
}

} // namespace

class TestBoardPicture : public QObject {
    Q_OBJECT

private slots:
    void boardBitmapFollowsItsDrawingRulesEverywhere() {
        const QImage board = BoardBitmap();
        QCOMPARE(board.size(), QSize(319, 303));
        for (int y = 0; y < board.height(); ++y)
            for (int x = 0; x < board.width(); ++x)
                if (Pixel(board, x, y) != ExpectedBoardPixel(x, y))
                    QFAIL(qPrintable(QString("(%1, %2) is #%3")
                                         .arg(x)
                                         .arg(y)
                                         .arg(Pixel(board, x, y) & 0xffffff, 6, 16, QChar('0'))));
    }

    // Black stone dark at its lower right, white stone bright at its heart, both not red;
    // the highlighted two are red at a glance. Every corner shows the board.
    void stoneStripHoldsFourSpritesOnTheBoardColour() {
        QCOMPARE(StoneStrip().size(), QSize(84, 20));
        for (int code = BlackStone; code <= WhiteHighlighted; ++code)
            for (QPoint corner : {QPoint(0, 0), QPoint(20, 0), QPoint(0, 19), QPoint(20, 19)})
                QCOMPARE(Pixel(Sprite(code), corner.x(), corner.y()), B);
        QCOMPARE(Pixel(Sprite(BlackStone), 13, 13), K);
        QVERIFY(qGray(Pixel(Sprite(WhiteStone), 9, 9)) > 200);
        QVERIFY(RedPixels(Sprite(BlackStone)) < 20 && RedPixels(Sprite(WhiteStone)) < 20);
        QVERIFY(RedPixels(Sprite(BlackHighlighted)) > 150);
        QVERIFY(RedPixels(Sprite(WhiteHighlighted)) > 150);
    }

    // A drawn board stays until it is drawn again or cleared. The plain stone drawn over the
    // highlighted one on the centre star point replaces it: the copy is opaque, so neither the
    // grid under its board-coloured corners nor any red shows.
    void stonesReplaceWhatIsUnderThemAndStayUntilRedrawnOrCleared() {
        BoardPicture picture;
        QCOMPARE(picture.image(), BoardBitmap());
        Board board;
        board.set(1, 1, BlackStone);
        board.set(15, 15, WhiteStone);
        board.set(8, 8, WhiteHighlighted);
        DrawBoard(board, picture);
        board.set(8, 8, WhiteStone);
        board.set(9, 8, BlackHighlighted);
        QCOMPARE(picture.image(),
                 BitmapWith({{BlackStone, 1, 1}, {WhiteStone, 15, 15}, {WhiteHighlighted, 8, 8}}));
        DrawBoard(board, picture);
        QCOMPARE(picture.image(), BitmapWith({{BlackStone, 1, 1},
                                              {WhiteStone, 15, 15},
                                              {WhiteStone, 8, 8},
                                              {BlackHighlighted, 9, 8}}));
        picture.clearPicture();
        QCOMPARE(picture.image(), BoardBitmap());
    }
};

QTEST_MAIN(TestBoardPicture)
#include "test_board_picture.moc"
