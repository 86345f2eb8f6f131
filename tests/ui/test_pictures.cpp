// The pictures carried inside the program, as embedded at build time: every checked pixel
// is derived here from the board's drawing rules, not from the generator.

#include "ui/Pictures.h"

#include <QSet>
#include <QTest>

#include <array>

using namespace kelvane;

namespace {

const QRgb Ink = qRgb(0, 0, 0);
const QRgb Background = qRgb(255, 221, 120);
const QRgb Brown3 = qRgb(239, 207, 112);
const QRgb Brown2 = qRgb(209, 181, 98);
const QRgb Brown1 = qRgb(142, 123, 66);

constexpr int LineX(int c) {
    return 12 + 21 * (c - 1);
}
constexpr int LineY(int r) {
    return 11 + 20 * (r - 1);
}

bool IsStarLine(int line) {
    return line == 4 || line == 8 || line == 12;
}

// Inside one of the nine 9 x 9 star point squares.
bool NearStarPoint(int x, int y) {
    for (int c : {4, 8, 12}) {
        for (int r : {4, 8, 12}) {
            if (std::abs(x - LineX(c)) <= 4 && std::abs(y - LineY(r)) <= 4)
                return true;
        }
    }
    return false;
}

QRgb Pixel(const QImage& image, int x, int y) {
    return image.pixel(x, y) | 0xff000000u;
}

QString Describe(int x, int y, QRgb actual, QRgb expected) {
    return QStringLiteral("(%1, %2): got #%3, expected #%4")
        .arg(x)
        .arg(y)
        .arg(actual & 0xffffff, 6, 16, QChar('0'))
        .arg(expected & 0xffffff, 6, 16, QChar('0'));
}

#define EXPECT_PIXEL(image, x, y, expected)                                                        \
    do {                                                                                           \
        const QRgb actual_ = Pixel(image, x, y);                                                   \
        QVERIFY2(actual_ == (expected), qPrintable(Describe(x, y, actual_, expected)));            \
    } while (false)

struct Totals {
    long long red = 0, green = 0, blue = 0;
};

// Colour totals of a sprite's stone, leaving out the board colour around it.
Totals StoneTotals(const QImage& sprite) {
    Totals totals;
    for (int y = 0; y < sprite.height(); ++y) {
        for (int x = 0; x < sprite.width(); ++x) {
            const QRgb p = Pixel(sprite, x, y);
            if (p == Background)
                continue;
            totals.red += qRed(p);
            totals.green += qGreen(p);
            totals.blue += qBlue(p);
        }
    }
    return totals;
}

bool RedDominated(const Totals& t) {
    return t.red > 2 * t.green && t.red > 2 * t.blue;
}

// Share of a sprite's stone pixels that are plainly red, so a viewer sees red at a glance.
double RedShare(const QImage& sprite) {
    int stone = 0, red = 0;
    for (int y = 0; y < sprite.height(); ++y) {
        for (int x = 0; x < sprite.width(); ++x) {
            const QRgb p = Pixel(sprite, x, y);
            if (p == Background)
                continue;
            ++stone;
            red += qRed(p) > qGreen(p) + 80 && qRed(p) > qBlue(p) + 80;
        }
    }
    return stone ? static_cast<double>(red) / stone : 0;
}

int Luminance(QRgb p) {
    return qGray(p);
}

} // namespace

class TestPictures : public QObject {
    Q_OBJECT

private slots:
    void boardHasItsSizeAndOnlyItsFiveColours();
    void boardFrameRunsAlongAllFourEdges();
    void verticalLinesHaveTheirPositionAndExtent();
    void horizontalLinesHaveTheirPositionAndExtent();
    void outerLinesAreTwoPixelsAndInnerLinesOne();
    void backgroundFillsTheCellsBetweenLines();
    void starPointMatchesItsTableCellByCell();
    void allNineStarPointsSitOnTheirCrossings();

    void stoneStripHoldsFourSpritesOnTheBoardColour();
    void spritesAreDistinctAndShowTheirColours();
    void highlightedSpritesAreRed();

    void iconIsFourStonesOnTransparency();
};

void TestPictures::boardHasItsSizeAndOnlyItsFiveColours() {
    const QImage board = BoardBitmap();
    QCOMPARE(board.size(), QSize(319, 303));
    QSet<QRgb> colours;
    for (int y = 0; y < board.height(); ++y) {
        for (int x = 0; x < board.width(); ++x)
            colours.insert(Pixel(board, x, y));
    }
    QCOMPARE(colours, (QSet<QRgb>{Ink, Background, Brown3, Brown2, Brown1}));
}

void TestPictures::boardFrameRunsAlongAllFourEdges() {
    const QImage board = BoardBitmap();
    for (int x = 0; x < 319; ++x) {
        EXPECT_PIXEL(board, x, 0, Ink);
        EXPECT_PIXEL(board, x, 302, Ink);
        if (x >= 1 && x <= 317) {
            EXPECT_PIXEL(board, x, 1, Background);
            EXPECT_PIXEL(board, x, 301, Background);
        }
    }
    for (int y = 0; y < 303; ++y) {
        EXPECT_PIXEL(board, 0, y, Ink);
        EXPECT_PIXEL(board, 318, y, Ink);
        if (y >= 1 && y <= 301) {
            EXPECT_PIXEL(board, 1, y, Background);
            EXPECT_PIXEL(board, 317, y, Background);
        }
    }
}

void TestPictures::verticalLinesHaveTheirPositionAndExtent() {
    const QImage board = BoardBitmap();
    for (int c = 1; c <= 15; ++c) {
        const int x = LineX(c);
        for (int y = 10; y <= 292; ++y)
            EXPECT_PIXEL(board, x, y, Ink);
        EXPECT_PIXEL(board, x, 9, Background);
        EXPECT_PIXEL(board, x, 293, Background);
    }
    QCOMPARE(LineX(15), 306);
}

void TestPictures::horizontalLinesHaveTheirPositionAndExtent() {
    const QImage board = BoardBitmap();
    for (int r = 1; r <= 15; ++r) {
        const int y = LineY(r);
        for (int x = 11; x <= 307; ++x)
            EXPECT_PIXEL(board, x, y, Ink);
        EXPECT_PIXEL(board, 10, y, Background);
        EXPECT_PIXEL(board, 308, y, Background);
    }
    QCOMPARE(LineY(15), 291);
}

void TestPictures::outerLinesAreTwoPixelsAndInnerLinesOne() {
    const QImage board = BoardBitmap();
    // Along the whole length of the outer lines, the second pixel lies outside the grid.
    for (int y = 10; y <= 292; ++y) {
        EXPECT_PIXEL(board, 11, y, Ink);
        EXPECT_PIXEL(board, 307, y, Ink);
    }
    for (int x = 11; x <= 307; ++x) {
        EXPECT_PIXEL(board, x, 10, Ink);
        EXPECT_PIXEL(board, x, 292, Ink);
    }
    // Mid-way between two lines the pixels beside a line are background: inside the outer
    // lines, and on both sides of each inner line.
    for (int r = 1; r < 15; ++r) {
        const int y = LineY(r) + 10;
        EXPECT_PIXEL(board, 13, y, Background);
        EXPECT_PIXEL(board, 305, y, Background);
        for (int c = 2; c <= 14; ++c) {
            EXPECT_PIXEL(board, LineX(c) - 1, y, Background);
            EXPECT_PIXEL(board, LineX(c) + 1, y, Background);
        }
    }
    for (int c = 1; c < 15; ++c) {
        const int x = LineX(c) + 10;
        EXPECT_PIXEL(board, x, 12, Background);
        EXPECT_PIXEL(board, x, 290, Background);
        for (int r = 2; r <= 14; ++r) {
            EXPECT_PIXEL(board, x, LineY(r) - 1, Background);
            EXPECT_PIXEL(board, x, LineY(r) + 1, Background);
        }
    }
}

void TestPictures::backgroundFillsTheCellsBetweenLines() {
    const QImage board = BoardBitmap();
    // The margin between the frame and the grid.
    for (int y = 1; y <= 301; ++y) {
        for (int x = 1; x <= 317; ++x) {
            const bool inGrid = x >= 11 && x <= 307 && y >= 10 && y <= 292;
            if (!inGrid)
                EXPECT_PIXEL(board, x, y, Background);
        }
    }
    // Every pixel strictly between two neighbouring lines, away from the star points.
    for (int c = 1; c < 15; ++c) {
        for (int r = 1; r < 15; ++r) {
            for (int x = LineX(c) + 1; x < LineX(c + 1); ++x) {
                for (int y = LineY(r) + 1; y < LineY(r + 1); ++y) {
                    const bool edge = x == 11 || x == 307 || y == 10 || y == 292;
                    if (!edge && !NearStarPoint(x, y))
                        EXPECT_PIXEL(board, x, y, Background);
                }
            }
        }
    }
}

void TestPictures::starPointMatchesItsTableCellByCell() {
    const QRgb K = Ink, B = Background, S3 = Brown3, S2 = Brown2, S1 = Brown1;
    const std::array<std::array<QRgb, 9>, 9> table = {{
        {B, B, B, B, K, B, B, B, B},
        {B, B, B, S3, K, S3, B, B, B},
        {B, B, S2, S1, K, S1, S2, B, B},
        {B, S3, S1, K, K, K, S1, S3, B},
        {K, K, K, K, K, K, K, K, K},
        {B, S3, S1, K, K, K, S1, S3, B},
        {B, B, S2, S1, K, S1, S2, B, B},
        {B, B, B, S3, K, S3, B, B, B},
        {B, B, B, B, K, B, B, B, B},
    }};
    const QImage board = BoardBitmap();
    // The centre star point, on the crossing of lines 8 and 8.
    QCOMPARE(LineX(8), 159);
    QCOMPARE(LineY(8), 151);
    for (int dy = -4; dy <= 4; ++dy) {
        for (int dx = -4; dx <= 4; ++dx)
            EXPECT_PIXEL(board, 159 + dx, 151 + dy, table[dy + 4][dx + 4]);
    }
}

void TestPictures::allNineStarPointsSitOnTheirCrossings() {
    const QImage board = BoardBitmap();
    for (int c = 1; c <= 15; ++c) {
        for (int r = 1; r <= 15; ++r) {
            const int x = LineX(c), y = LineY(r);
            if (IsStarLine(c) && IsStarLine(r)) {
                for (int dx = -1; dx <= 1; ++dx) {
                    for (int dy = -1; dy <= 1; ++dy)
                        EXPECT_PIXEL(board, x + dx, y + dy, Ink);
                }
                EXPECT_PIXEL(board, x - 2, y - 2, Brown2);
                EXPECT_PIXEL(board, x + 3, y + 1, Brown3);
                EXPECT_PIXEL(board, x - 1, y + 2, Brown1);
            } else if (c > 1 && c < 15 && r > 1 && r < 15) {
                // An ordinary inner crossing is a plain cross.
                EXPECT_PIXEL(board, x - 1, y - 1, Background);
                EXPECT_PIXEL(board, x + 1, y + 1, Background);
            }
        }
    }
}

void TestPictures::stoneStripHoldsFourSpritesOnTheBoardColour() {
    const QImage strip = StoneStrip();
    QCOMPARE(strip.size(), QSize(84, 20));
    for (int sprite = 0; sprite < 4; ++sprite) {
        const int left = 21 * sprite;
        EXPECT_PIXEL(strip, left, 0, Background);
        EXPECT_PIXEL(strip, left + 20, 0, Background);
        EXPECT_PIXEL(strip, left, 19, Background);
        EXPECT_PIXEL(strip, left + 20, 19, Background);
        // A disc about 20 pixels across: the middle row is mostly stone.
        int across = 0;
        for (int x = left; x < left + 21; ++x)
            across += Pixel(strip, x, 10) != Background;
        QVERIFY2(across >= 18, qPrintable(QString::number(across)));
    }
}

void TestPictures::spritesAreDistinctAndShowTheirColours() {
    const QImage strip = StoneStrip();
    for (int a = 0; a < 4; ++a) {
        for (int b = a + 1; b < 4; ++b)
            QVERIFY(strip.copy(21 * a, 0, 21, 20) != strip.copy(21 * b, 0, 21, 20));
    }
    // Lit from the upper left: the lower right of the black stone is black, and the
    // white stone is bright at its heart.
    QCOMPARE(Pixel(strip, 13, 13), Ink);
    QVERIFY(Luminance(Pixel(strip, 21 + 9, 9)) > 200);
    QVERIFY(Luminance(Pixel(strip, 21 + 6, 6)) > Luminance(Pixel(strip, 21 + 14, 14)));
    QVERIFY(!RedDominated(StoneTotals(strip.copy(0, 0, 21, 20))));
    QVERIFY(!RedDominated(StoneTotals(strip.copy(21, 0, 21, 20))));
}

void TestPictures::highlightedSpritesAreRed() {
    const QImage strip = StoneStrip();
    for (int sprite : {2, 3}) {
        const QImage image = strip.copy(21 * sprite, 0, 21, 20);
        const Totals totals = StoneTotals(image);
        QVERIFY2(RedShare(image) > 0.5, qPrintable(QString::number(RedShare(image))));
        QVERIFY2(RedDominated(totals), qPrintable(QStringLiteral("sprite %1: %2 %3 %4")
                                                      .arg(sprite)
                                                      .arg(totals.red)
                                                      .arg(totals.green)
                                                      .arg(totals.blue)));
    }
    // The highlighted black keeps a black body under its sheen; the red stone has none.
    QCOMPARE(Pixel(strip, 42 + 13, 13), Ink);
    QVERIFY(qRed(Pixel(strip, 63 + 13, 13)) > 150);
}

void TestPictures::iconIsFourStonesOnTransparency() {
    const QImage icon =
        QImage(QStringLiteral(":/pictures/icon.png")).convertToFormat(QImage::Format_ARGB32);
    QCOMPARE(icon.size(), QSize(32, 32));
    QVERIFY(icon.hasAlphaChannel());
    for (QPoint corner :
         {QPoint(0, 0), QPoint(31, 0), QPoint(0, 31), QPoint(31, 31), QPoint(16, 0), QPoint(0, 16)})
        QCOMPARE(qAlpha(icon.pixel(corner)), 0);
    // Black top-left and bottom-right, white top-right and bottom-left.
    const QPoint centres[] = {{8, 8}, {24, 24}, {24, 8}, {8, 24}};
    for (int i = 0; i < 4; ++i) {
        const QRgb p = icon.pixel(centres[i]);
        QCOMPARE(qAlpha(p), 255);
        if (i < 2)
            QVERIFY2(qGray(p) < 90, qPrintable(QString::number(qGray(p))));
        else
            QVERIFY2(qGray(p) > 180, qPrintable(QString::number(qGray(p))));
    }
    const QImage shown =
        ProgramIcon().pixmap(32, 32).toImage().convertToFormat(QImage::Format_ARGB32);
    QCOMPARE(shown.size(), QSize(32, 32));
    QCOMPARE(qAlpha(shown.pixel(0, 0)), 0);
    QCOMPARE(qAlpha(shown.pixel(8, 8)), 255);
}

QTEST_MAIN(TestPictures)
#include "test_pictures.moc"
