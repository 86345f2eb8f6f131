// The board picture: sprite copies onto its persistent image, clearing and the button-release
// signal, on a real widget under the offscreen platform. How it paints is checked, pixel by
// pixel, at twice the pixel ratio in test_high_dpi.

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

// The board bitmap with the given sprites pasted over it, each at its cell's corner.
QImage BitmapWith(std::initializer_list<std::tuple<int, int, int>> stones) {
    QImage expected = BoardBitmap();
    QPainter painter(&expected);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    for (const auto& [code, column, row] : stones)
        painter.drawImage(CellLeft(column), CellTop(row), Sprite(code));
    return expected;
}

} // namespace

class TestBoardPicture : public QObject {
    Q_OBJECT

private slots:
    void stonesReplaceWhatIsUnderThemAndNothingElse() {
        BoardPicture picture;
        QCOMPARE(picture.image(), BoardBitmap());
        picture.copySprite(SpriteLeft(BlackStone), CellLeft(1), CellTop(1));
        picture.copySprite(SpriteLeft(WhiteStone), CellLeft(15), CellTop(15));
        // The highlighted stone over the centre star point, then the plain one over it: the
        // copy is opaque, so neither the grid lines under its board-coloured corners nor
        // any red may show through.
        picture.copySprite(SpriteLeft(WhiteHighlighted), CellLeft(8), CellTop(8));
        picture.copySprite(SpriteLeft(WhiteStone), CellLeft(8), CellTop(8));
        QCOMPARE(picture.image(),
                 BitmapWith({{BlackStone, 1, 1}, {WhiteStone, 15, 15}, {WhiteStone, 8, 8}}));
    }

    void stonesStayUntilRedrawnOrCleared() {
        BoardPicture picture;
        Board board;
        board.set(5, 9, BlackHighlighted);
        DrawBoard(board, picture);
        board.set(5, 9, BlackStone);
        board.set(6, 9, WhiteStone);
        QCOMPARE(picture.image(), BitmapWith({{BlackHighlighted, 5, 9}}));
        DrawBoard(board, picture);
        QCOMPARE(picture.image(), BitmapWith({{BlackStone, 5, 9}, {WhiteStone, 6, 9}}));

        picture.clearPicture();
        QCOMPARE(picture.image(), BoardBitmap());
        picture.copySprite(SpriteLeft(BlackStone), CellLeft(2), CellTop(3));
        QCOMPARE(picture.image(), BitmapWith({{BlackStone, 2, 3}}));
    }

    void reportsReleasesInBitmapPixelsOnlyWhileEnabled() {
        BoardPicture picture;
        picture.show();
        QVERIFY(QTest::qWaitForWindowExposed(&picture));
        QSignalSpy spy(&picture, &BoardPicture::mouseUp);
        QTest::mousePress(&picture, Qt::LeftButton, Qt::NoModifier, QPoint(1, 1));
        QCOMPARE(spy.count(), 0);
        QTest::mouseRelease(&picture, Qt::LeftButton, Qt::NoModifier, QPoint(1, 1));
        QTest::mousePress(&picture, Qt::RightButton, Qt::ShiftModifier, QPoint(22, 21));
        QTest::mouseRelease(&picture, Qt::RightButton, Qt::ShiftModifier, QPoint(22, 21));
        QCOMPARE(spy.count(), 2);
        QCOMPARE(spy.at(0).at(2).toPointF(), QPointF(0, 0));
        QCOMPARE(spy.at(1).at(0).value<Qt::MouseButton>(), Qt::RightButton);
        QCOMPARE(spy.at(1).at(1).value<Qt::KeyboardModifiers>(), Qt::ShiftModifier);
        QCOMPARE(spy.at(1).at(2).toPointF(), QPointF(21, 20));
        picture.setEnabled(false);
        QTest::mouseClick(&picture, Qt::LeftButton, Qt::NoModifier, QPoint(50, 50));
        QCOMPARE(spy.count(), 2);
    }
};

QTEST_MAIN(TestBoardPicture)
#include "test_board_picture.moc"
