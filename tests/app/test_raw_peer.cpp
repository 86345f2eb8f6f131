// One real player against a scripted peer on a raw socket: the exact bytes both ways, and
// what a hostile or broken peer can and cannot do.
#include "support/TestPlayer.h"

#include "ui/BoardGeometry.h"
#include "ui/BoardPicture.h"
#include "ui/Pictures.h"

#include <QtTest>

using namespace kelvane;
using namespace kelvane::testing;

namespace {

QByteArray hex(const char* text) {
    return QByteArray::fromHex(text);
}

// "白方：玩家" and "黑方：玩家" in GBK, behind the name type.
const QByteArray JoinerName = hex("32b0d7b7bda3bacde6bcd2");
const QByteArray HostName = hex("32badab7bda3bacde6bcd2");
const QString Lost = QStringLiteral("你输了，要加油喔。");

} // namespace

class RawPeer : public QObject {
    Q_OBJECT

private slots:
    // The player joins a raw host: it names itself once and answers nothing; the host's
    // move arrives with its sound before the stone; a move sent just before the host
    // closes is still shown.
    void asJoiner() {
        const quint16 port = freePort();
        TestPlayer player(port);
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost, port));
        player.joinAs(QStringLiteral("玩家"));
        QTRY_VERIFY(server.hasPendingConnections());
        std::unique_ptr<QTcpSocket> peer(server.nextPendingConnection());
        QTRY_VERIFY(player.linked());
        QTRY_COMPARE(peer->bytesAvailable(), qint64(JoinerName.size()));
        QCOMPARE(peer->readAll(), JoinerName);
        QVERIFY(!player.myTurn());

        peer->write(HostName);
        QTRY_COMPARE(player.caption("labBlack"), QStringLiteral("黑方：玩家"));
        QCOMPARE(player.caption("labHe"), QStringLiteral("玩家说："));
        peer->write(hex("31030c"));
        QTRY_COMPARE(player.cell(3, 12), int(Black));
        QTRY_VERIFY(player.myTurn());
        QCOMPARE(player.sound.plays, 1);

        player.clickCell(8, 8);
        QTRY_COMPARE(peer->bytesAvailable(), qint64(3));
        peer->readAll();
        peer->write(hex("310809"));
        peer->disconnectFromHost();
        QTRY_VERIFY(player.linkEnded());
        QCOMPARE(player.cell(8, 9), int(Black));
    }

    void theHostAnswersEachNameWithItsOwn() {
        RawJoiner side;
        QTRY_VERIFY(side.ready());
        QVERIFY(side.player.myTurn()); // the host may move at once
        side.send(JoinerName);
        QCOMPARE(side.received(HostName.size()), HostName);
        QCOMPARE(side.player.caption("labWhite"), QStringLiteral("白方：玩家"));
        QCOMPARE(side.player.caption("labHe"), QStringLiteral("玩家说："));
        // A name too short for its colour prefix gives an empty name.
        side.send("2ab");
        QCOMPARE(side.received(HostName.size()), HostName);
        QCOMPARE(side.player.caption("labHe"), QStringLiteral("说："));
        QCOMPARE(side.player.caption("labWhite"), QStringLiteral("ab"));
    }

    // Moves and chat go out as exact bytes; a right click, a click out of turn and chat
    // while not connected send nothing; each way of leaving sends "4" once.
    void bytesThatGoOut() {
        for (int way = 0; way < 3; ++way) {
            RawJoiner side;
            TestPlayer& player = side.player;
            QTRY_VERIFY(side.ready());
            player.clickCell(4, 4, Qt::RightButton);
            player.clickCell(3, 12);
            QCOMPARE(side.received(3), hex("31030c"));
            player.clickCell(5, 5);
            player.control<QLineEdit>("txtMsg")->setText(QStringLiteral("你好"));
            player.click("cmdSend");
            player.click("cmdNew");
            QCOMPARE(side.received(6), hex("35c4e3bac333"));
            if (way == 0) {
                player.click("cmdLink");
                player.click("cmdSend"); // no longer connected
            } else if (way == 1) {
                player.click("cmdExit");
            } else {
                player.window().close();
            }
            QCOMPARE(player.end.ends, way == 0 ? 0 : 1);
            QTRY_COMPARE(side.peer.state(), QAbstractSocket::UnconnectedState);
            QCOMPARE(side.peer.readAll(), QByteArray("4"));
        }
    }

    // Only a legal move of the peer counts: in its turn, onto an empty cell of the board,
    // while the game is open. Anything else brings no sound, no stone, no box and no change
    // to the record. Unknown types start nothing; the peer's leave drops what came with it.
    void onlyLegalMovesOfThePeerCount() {
        RawJoiner side;
        TestPlayer& player = side.player;
        QTRY_VERIFY(side.ready());
        player.clickCell(3, 12);
        QCOMPARE(side.received(3), hex("31030c"));
        side.send(hex("310005" "311001" "31ffff" "31030c")); // off the board, onto a stone
        side.send(hex("3961626333"));                        // an unknown type
        QVERIFY(side.caughtUp());
        QCOMPARE(player.sound.plays, 1);
        QCOMPARE(player.stones(), 1);
        // White's five in one write: each move after the first is out of turn.
        side.send(hex("310101" "310201" "310301" "310401" "310501"));
        QTRY_VERIFY(player.stones() == 2 && player.myTurn()); // the sound has ended
        player.clickCell(9, 9);
        QCOMPARE(side.received(3), hex("310909"));
        // White makes five; then a flood after the decided game.
        for (int column = 2; column <= 4; ++column) {
            side.send(QByteArray("1") + char(column) + char(1));
            QTRY_VERIFY(player.myTurn());
            player.clickCell(9, 9 + column);
            QCOMPARE(side.received(3), QByteArray("1") + char(9) + char(9 + column));
        }
        side.send(hex("310501"));
        QTRY_COMPARE(player.boxes.texts, QStringList{Lost});
        side.send(hex("310606").repeated(3000) + hex("31070734310808"));
        QTRY_VERIFY(player.linkEnded());
        QCOMPARE(player.boxes.texts, QStringList{Lost});
        QCOMPARE(player.caption("labWhiteScore"), QStringLiteral("战绩： 1胜 0败"));
        QCOMPARE(player.stones(), 10);
    }

    // The keyboard alone plays a whole game. Shift+Tab brings the focus to the board, whose
    // cursor starts at H8; the arrows, Home, End, Page Up and Page Down move it; Enter and
    // Space play there as a click would, onto a stone not at all; with each turn the board
    // takes the focus back.
    void aWholeGameByKeyboard() {
        RawJoiner side;
        TestPlayer& player = side.player;
        QTRY_VERIFY(side.ready());
        auto* board = player.control<BoardPicture>("picBoard");
        player.window().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&player.window()));
        player.control("txtMsg")->setFocus();
        const auto press = [](std::initializer_list<Qt::Key> keys, int times = 1) {
            for (int i = 0; i < times; ++i)
                for (Qt::Key key : keys)
                    QTest::keyClick(QApplication::focusWidget(), key);
        };
        press({Qt::Key_Backtab});
        QVERIFY(board->hasFocus());
        QCOMPARE(board->cursor(), (Cell{8, 8}));
        press({Qt::Key_Return});
        QCOMPARE(side.received(3), hex("310808"));
        // White answers down column A while black plays along row 8, by way of every edge.
        for (int row = 1; row <= 4; ++row) {
            side.send(QByteArray("1") + char(1) + char(row));
            QTRY_VERIFY(player.myTurn() && board->hasFocus());
            if (row == 2) {
                press({Qt::Key_Enter}); // onto the stone at I8: nothing
                press({Qt::Key_End, Qt::Key_PageUp});
                QCOMPARE(board->cursor(), (Cell{15, 1}));
                press({Qt::Key_PageDown, Qt::Key_Home});
                QCOMPARE(board->cursor(), (Cell{1, 15}));
                press({Qt::Key_Right}, 8);
                press({Qt::Key_Up}, 7);
            }
            press({Qt::Key_Right, row == 1 ? Qt::Key_Space : Qt::Key_Return});
            QCOMPARE(side.received(3), QByteArray("1") + char(8 + row) + char(8));
        }
        QCOMPARE(player.boxes.texts, QStringList{QStringLiteral("你赢了，继续努力。")});
    }

    // The window takes clicks while a move's sound plays. A new game started while the
    // peer's winning move sounds first shows its stone and the loss; leaving while our own
    // move sounds first shows what the peer said just before, and sends no move.
    void nothingIsLostToTheSound() {
        RawJoiner side;
        TestPlayer& player = side.player;
        QTRY_VERIFY(side.ready());
        const auto* picture = player.control<BoardPicture>("picBoard");
        const QRect winning(CellLeft(8), CellTop(5), CellWidth, CellHeight);
        bool stoneShown = false;
        player.boxes.whileOpen = [&](const QString&) {
            stoneShown = picture->image().copy(winning) != BoardBitmap().copy(winning);
        };
        for (char row = 1; row <= 5; ++row) {
            player.clickCell(2 * row - 1, 15);
            QCOMPARE(side.received(3), QByteArray("1") + char(2 * row - 1) + char(15));
            player.sound.lasting = row == 5;
            side.send(QByteArray("1") + char(8) + row);
            QTRY_VERIFY(row == 5 ? player.sound.playing() : player.myTurn());
        }
        player.click("cmdNew");
        QCOMPARE(player.boxes.texts, QStringList{Lost});
        QVERIFY(stoneShown);
        QCOMPARE(player.caption("labWhiteScore"), QStringLiteral("战绩： 1胜 0败"));
        QCOMPARE(side.received(1), QByteArray("3"));
        player.sound.lasting = false;
        player.sound.end();
        QCOMPARE(picture->image(), BoardBitmap());

        side.send(hex("310808")); // white opens after a decided game
        QTRY_VERIFY(player.myTurn());
        player.sound.lasting = true;
        player.clickCell(2, 2);
        side.send(hex("35c4e3bac3"));
        const auto* link = player->session().socket().findChild<QTcpSocket*>();
        QTRY_COMPARE(link->bytesAvailable(), qint64(5));
        player.click("cmdExit");
        QCOMPARE(player.caption("labHeSay"), QStringLiteral("你好"));
        QCOMPARE(player.end.ends, 1);
        QTRY_COMPARE(side.peer.state(), QAbstractSocket::UnconnectedState);
        QCOMPARE(side.peer.readAll(), QByteArray("4"));
    }
};

QTEST_MAIN(RawPeer)
#include "test_raw_peer.moc"
