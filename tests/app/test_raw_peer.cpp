// One real player against a scripted peer on a raw socket: the exact bytes both ways, and
// what a hostile or vanishing peer can do.
#include "support/TestPlayer.h"

#include "ui/CaptionLabel.h"

#include <QAction>
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

} // namespace

class RawPeer : public QObject {
    Q_OBJECT

private slots:
    // The player joins a raw host. A refused connect first ends the link cleanly, and must not
    // later close the next one. Then it names itself once, waits for the host's move, and a
    // move sent just before the host closes is still shown.
    void asJoiner() {
        const quint16 port = freePort();
        TestPlayer player(port);
        player.joinAs(QStringLiteral("玩家"));
        QTRY_VERIFY(player.linkEnded());
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost, port));
        QTest::mouseClick(player.window().cmdLink, Qt::LeftButton);
        player.joinAs(QStringLiteral("玩家"));
        QTRY_VERIFY(server.hasPendingConnections());
        std::unique_ptr<QTcpSocket> peer(server.nextPendingConnection());
        QTRY_VERIFY(player.linked());
        QTRY_COMPARE(peer->bytesAvailable(), qint64(JoinerName.size()));
        QCOMPARE(peer->readAll(), JoinerName);
        QVERIFY(!player->boardTakesClicks());

        peer->write(HostName);
        QTRY_COMPARE(player.window().labBlack->caption(), QStringLiteral("黑方：玩家"));
        QCOMPARE(player.window().labHe->caption(), QStringLiteral("玩家说："));
        peer->write(hex("31030c"));
        QTRY_COMPARE(player.cell(3, 12), int(Black));
        QVERIFY(player->boardTakesClicks());
        QCOMPARE(player.sound.plays, 1);
        QTest::qWait(100);
        QCOMPARE(peer->bytesAvailable(), qint64(0)); // the joiner answers neither
        QVERIFY(player.linked());

        peer->write(hex("310809"));
        peer->disconnectFromHost();
        QTRY_VERIFY(player.unlinked());
        QCOMPARE(player.cell(8, 9), int(Black));
        QVERIFY(!player->boardTakesClicks());
    }

    void theHostAnswersEachNameWithItsOwn() {
        RawJoiner side;
        QTRY_VERIFY(side.ready());
        QVERIFY(side.player->boardTakesClicks()); // the host may move at once
        side.send(JoinerName);
        QCOMPARE(side.received(HostName.size()), HostName);
        QCOMPARE(side.player.window().labWhite->caption(), QStringLiteral("白方：玩家"));
        QCOMPARE(side.player.window().labHe->caption(), QStringLiteral("玩家说："));
        // A name too short for its colour prefix gives an empty name.
        side.send("2ab");
        QCOMPARE(side.received(HostName.size()), HostName);
        QCOMPARE(side.player.window().labHe->caption(), QStringLiteral("说："));
        QCOMPARE(side.player.window().labWhite->caption(), QStringLiteral("ab"));
    }

    // A left click on a free cell in one's turn sends a move; the chat line goes out in GBK.
    void movesAndChatGoOutAsExactBytes() {
        RawJoiner side;
        QTRY_VERIFY(side.ready());
        side.player.clickCell(4, 4, Qt::RightButton);
        QVERIFY(side.silent());
        QVERIFY(side.player.stones().isEmpty());

        side.player.clickCell(3, 12);
        QCOMPARE(side.received(3), hex("31030c"));
        QCOMPARE(side.player.cell(3, 12), int(Black));
        QCOMPARE(side.player.sound.plays, 1);
        QVERIFY(!side.player->boardTakesClicks());
        side.player.clickCell(5, 5);
        QVERIFY(side.silent());
        side.player.window().txtMsg->setText(QStringLiteral("你好"));
        side.player.window().mnuTalk->trigger();
        QCOMPARE(side.received(5), hex("35c4e3bac3"));
    }

    void hostileInputChangesNothingItShouldNot() {
        RawJoiner side;
        QTRY_VERIFY(side.ready());
        // A stone on the board and white to move, so that a new game would show.
        side.player.clickCell(3, 12);
        QCOMPARE(side.received(3), hex("31030c"));
        // Coordinates 0, 16 and 255, and an unknown type whose "3" must not start a game.
        for (const char* bad : {"310005", "311001", "31ffff", "310500", "3961626333"}) {
            side.send(hex(bad));
            QTest::qWait(10);
        }
        QTest::qWait(30);
        QCOMPARE(side.player.sound.plays, 1);
        QCOMPARE(side.player.stones(), QList<QPoint>{QPoint(3, 12)});
        QVERIFY(!side.player->boardTakesClicks());

        side.send("5" + QByteArray(4 * 1024 * 1024, 'x'));
        QTRY_VERIFY(side.player.window().labHeSay->caption().startsWith("xxxx"));
        QTest::qWait(100);
        side.send(hex("310707"));
        QTRY_COMPARE(side.player.cell(7, 7), int(White));
        QVERIFY(side.player.linked());
        // The peer's leave drops what came with it.
        side.send(hex("34310101"));
        QTRY_VERIFY(side.player.unlinked());
        QTest::qWait(30);
        QCOMPARE(side.player.stones(), (QList<QPoint>{{3, 12}, {7, 7}}));
        QVERIFY(!side.player->boardTakesClicks());
    }

    // A new game sends "3"; each way of leaving sends "4" once, and chat goes out no more.
    void newGameAndLeavingSendOneByteEach() {
        for (int way = 0; way < 4; ++way) {
            RawJoiner side;
            QTRY_VERIFY(side.ready());
            MainWindow& window = side.player.window();
            QTest::mouseClick(window.cmdNew, Qt::LeftButton);
            if (way == 0) {
                QTest::mouseClick(window.cmdLink, Qt::LeftButton);
                window.txtMsg->setText(QStringLiteral("还在吗")); // no longer connected
                window.mnuTalk->trigger();
                QCOMPARE(window.labISay->caption(), QString());
            }
            if (way % 2 == 1)
                window.mnuExit->trigger();
            if (way >= 2)
                window.close();
            QCOMPARE(side.player.end.ends, way == 0 ? 0 : 1);
            QTRY_COMPARE(side.peer.state(), QAbstractSocket::UnconnectedState);
            QCOMPARE(side.peer.readAll(), QByteArray("34"));
        }
    }

    void dataDuringTheLossBoxWaitsUntilTheGameIsBooked() {
        RawJoiner side;
        QTRY_VERIFY(side.ready());
        bool fiveShownDuringBox = false;
        side.player.boxes.whileOpen = [&](const QString&) {
            side.send("3"); // the peer starts a new game at once
            QTest::qWait(50);
            fiveShownDuringBox = side.player.cell(5, 1) == White;
        };
        side.send(hex("310101310201310301310401310501"));
        QTRY_COMPARE(side.player.boxes.texts, QStringList{QStringLiteral("你输了，要加油喔。")});
        QTRY_VERIFY(side.player.stones().isEmpty()); // then the new game ran
        QVERIFY(fiveShownDuringBox);
        QCOMPARE(side.player.window().labWhiteScore->caption(), QStringLiteral("战绩： 1胜 0败"));
        QVERIFY(!side.player->boardTakesClicks()); // one decided game: white opens
    }

    // While the sound plays, a second click is ignored and what arrives waits its turn.
    void dataDuringTheMoveSoundIsHandledAfterTheMove() {
        RawJoiner side;
        QTRY_VERIFY(side.ready());
        side.player.sound.whilePlaying = [&] {
            side.player.sound.whilePlaying = nullptr;
            side.player.clickCell(2, 2);
            side.send("3");
            QTest::qWait(50);
        };
        side.player.clickCell(6, 6);
        QCOMPARE(side.received(3), hex("310606"));
        QTRY_COMPARE(side.player.cell(6, 6), 0); // the held new game ran after the move
        QVERIFY(side.player->boardTakesClicks());
        QCOMPARE(side.player.sound.plays, 1);
        QVERIFY(side.silent());
    }
};

QTEST_MAIN(RawPeer)
#include "test_raw_peer.moc"
