// One real player against a scripted peer on a raw socket: the exact bytes both ways, and
// what a hostile or vanishing peer can do.
#include "support/TestPlayer.h"

#include "ui/CaptionLabel.h"

#include <QAction>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

using namespace kelvane;
using namespace kelvane::testing;

namespace {

const QString Connected = QStringLiteral("连线中");
const QString NotConnected = QStringLiteral("尚未连线");

QByteArray bytes(std::initializer_list<int> values) {
    QByteArray result;
    for (int v : values)
        result.append(static_cast<char>(v));
    return result;
}

// "白方：玩家" and "黑方：玩家" in GBK, behind the name type.
const QByteArray JoinerName =
    bytes({0x32, 0xB0, 0xD7, 0xB7, 0xBD, 0xA3, 0xBA, 0xCD, 0xE6, 0xBC, 0xD2});
const QByteArray HostName =
    bytes({0x32, 0xBA, 0xDA, 0xB7, 0xBD, 0xA3, 0xBA, 0xCD, 0xE6, 0xBC, 0xD2});

// The player hosts; the test is the joining side on a raw socket.
struct HostedByPlayer {
    TestPlayer player;
    QTcpSocket peer;

    HostedByPlayer() {
        player.hostAs(QStringLiteral("玩家"));
        peer.connectToHost(QHostAddress::LocalHost, player->wskLink().ListeningPort());
    }
    bool ready() {
        return peer.state() == QAbstractSocket::ConnectedState && player->status() == Connected;
    }
    void send(const QByteArray& data) {
        peer.write(data);
        peer.flush();
    }
    // Everything the player sent until now, waiting until at least `count` bytes are here.
    QByteArray received(int count) {
        QByteArray data;
        (void)QTest::qWaitFor([&] {
            data += peer.readAll();
            return data.size() >= count;
        });
        return data;
    }
};

// The player joins; the test is the host on a raw server.
struct JoinedByPlayer {
    QTcpServer server;
    std::unique_ptr<TestPlayer> player;
    QTcpSocket* peer = nullptr;

    JoinedByPlayer() {
        server.listen(QHostAddress::LocalHost, 0);
        player = std::make_unique<TestPlayer>(server.serverPort());
        player->joinAs(QStringLiteral("玩家"));
    }
    bool ready() {
        if (!peer && server.hasPendingConnections())
            peer = server.nextPendingConnection();
        return peer && (*player)->status() == Connected;
    }
};

} // namespace

class RawPeer : public QObject {
    Q_OBJECT

private slots:
    void theJoinerSendsItsNameInGbkWhenConnected() {
        JoinedByPlayer side;
        QTRY_VERIFY(side.ready());
        QTRY_COMPARE(side.peer->bytesAvailable(), qint64(JoinerName.size()));
        QCOMPARE(side.peer->readAll(), JoinerName);
        // The completed connection does not give the joiner the turn.
        QVERIFY(!(*side.player)->boardTakesClicks());

        side.peer->write(HostName);
        QTRY_COMPARE(side.player->window().labHe->caption(), QStringLiteral("玩家说："));
        QCOMPARE(side.player->window().labBlack->caption(), QStringLiteral("黑方：玩家"));
        QTest::qWait(30);
        QCOMPARE(side.peer->bytesAvailable(), qint64(0)); // the joiner does not answer a name
    }

    void theHostAnswersANameWithItsOwn() {
        HostedByPlayer side;
        QTRY_VERIFY(side.ready());
        QVERIFY(side.player->boardTakesClicks()); // the host may move at once
        side.send(JoinerName);
        QCOMPARE(side.received(HostName.size()), HostName);
        QCOMPARE(side.player.window().labWhite->caption(), QStringLiteral("白方：玩家"));
        QCOMPARE(side.player.window().labHe->caption(), QStringLiteral("玩家说："));
    }

    void shortOrEmptyNamesGiveAnEmptyName() {
        HostedByPlayer side;
        QTRY_VERIFY(side.ready());
        side.send(bytes({0x32, 0x61, 0x62}));
        QTRY_COMPARE(side.player.window().labHe->caption(), QStringLiteral("说："));
        QCOMPARE(side.player.window().labWhite->caption(), QStringLiteral("ab"));
    }

    void movesGoOutAsThreeBytes() {
        HostedByPlayer side;
        QTRY_VERIFY(side.ready());
        side.player.clickCell(3, 12);
        QCOMPARE(side.received(3), bytes({0x31, 0x03, 0x0C}));
        QVERIFY(!side.player->boardTakesClicks());
        QCOMPARE(side.player.cell(3, 12), int(Black));
    }

    void clicksThatAreNotMovesSendNothing() {
        HostedByPlayer side;
        QTRY_VERIFY(side.ready());
        side.player.clickCell(4, 4, Qt::RightButton);
        side.player.clickCell(4, 4, Qt::MiddleButton);
        // The strips past the last line belong to no cell.
        QTest::mouseClick(side.player.window().picBoard, Qt::LeftButton, {},
                          QPoint(1 + 316, 1 + 100));
        QTest::qWait(30);
        QCOMPARE(side.peer.bytesAvailable(), qint64(0));
        QCOMPARE(side.player.sound.plays, 0);
        QVERIFY(side.player->boardTakesClicks());
    }

    void aPeersMoveArrivesAndGivesTheTurn() {
        JoinedByPlayer side;
        QTRY_VERIFY(side.ready());
        side.peer->write(bytes({0x31, 0x03, 0x0C}));
        QTRY_COMPARE(side.player->cell(3, 12), int(Black));
        QVERIFY((*side.player)->boardTakesClicks());
        QCOMPARE(side.player->sound.plays, 1);
    }

    void coalescedMessagesAreAllHandled() {
        HostedByPlayer side;
        QTRY_VERIFY(side.ready());
        side.send(bytes({0x31, 0x01, 0x01, 0x31, 0x02, 0x02, 0x35}) + "hi");
        QTRY_COMPARE(side.player.window().labHeSay->caption(), QStringLiteral("hi"));
        QCOMPARE(side.player.cell(1, 1), int(White));
        QCOMPARE(side.player.cell(2, 2), int(White));

        side.send(bytes({0x31, 0x03, 0x03, 0x33}));
        QTRY_COMPARE(side.player.sound.plays, 3);
        QTRY_COMPARE(side.player.cell(3, 3), 0); // the new game that followed cleared it
    }

    void aChatLineTakesTheRestOfItsRead() {
        HostedByPlayer side;
        QTRY_VERIFY(side.ready());
        side.send(bytes({0x35, 0x6F, 0x6B, 0x31, 0x03, 0x0C}));
        QTRY_COMPARE(side.player.window().labHeSay->caption(),
                     QStringLiteral("ok1") + QChar(3) + QChar(12));
        QCOMPARE(side.player.cell(3, 12), 0);
    }

    void splitMessagesWaitForTheirRest() {
        HostedByPlayer side;
        QTRY_VERIFY(side.ready());
        side.send(bytes({0x31}));
        QTest::qWait(30);
        side.send(bytes({0x03}));
        QTest::qWait(30);
        side.send(bytes({0x0C}));
        QTRY_COMPARE(side.player.cell(3, 12), int(White));

        // 你好 cut inside its first character.
        side.send(bytes({0x35, 0xC4}));
        QTest::qWait(30);
        side.send(bytes({0xE3, 0xBA, 0xC3}));
        QTRY_COMPARE(side.player.window().labHeSay->caption(), QStringLiteral("你好"));
    }

    void hostileInputChangesNothingItShouldNot() {
        HostedByPlayer side;
        QTRY_VERIFY(side.ready());
        for (const QByteArray& bad : {bytes({0x31, 0x00, 0x05}), bytes({0x31, 0x10, 0x01}),
                                      bytes({0x31, 0xFF, 0xFF}), bytes({0x31, 0x05, 0x00})}) {
            side.send(bad);
            QTest::qWait(10);
        }
        side.send(QByteArray("9abc3"));
        QTest::qWait(30);
        QCOMPARE(side.player.sound.plays, 0);
        for (int c = 1; c <= 15; ++c)
            for (int r = 1; r <= 15; ++r)
                QCOMPARE(side.player.cell(c, r), 0);
        QVERIFY(side.player->boardTakesClicks()); // the unknown "3" started no new game

        side.send(bytes({0x35, 0x81, 0xFF, 0x80, 0x41}));
        QTRY_VERIFY(side.player.window().labHeSay->caption().endsWith(QLatin1Char('A')));
        QCOMPARE(side.player->status(), Connected);
    }

    void megabytesOfChatNeitherCrashNorBlock() {
        HostedByPlayer side;
        QTRY_VERIFY(side.ready());
        side.send("5" + QByteArray(4 * 1024 * 1024, 'x'));
        QTRY_VERIFY(side.player.window().labHeSay->caption().startsWith(QStringLiteral("xxxx")));
        QTest::qWait(100);
        side.send(bytes({0x31, 0x07, 0x07}));
        QTRY_COMPARE(side.player.cell(7, 7), int(White));
        QCOMPARE(side.player->status(), Connected);
    }

    void aPeerThatVanishesLeavesTheLinkClosed() {
        HostedByPlayer side;
        QTRY_VERIFY(side.ready());
        side.send(bytes({0x31, 0x02})); // half a move, then gone
        side.peer.abort();
        QTRY_COMPARE(side.player->status(), NotConnected);
        QVERIFY(!side.player->boardTakesClicks());
        side.player.clickCell(5, 5);
        QCOMPARE(side.player.cell(5, 5), 0);
    }

    void aPeerThatClosesAfterAMoveStillHasItsMoveShown() {
        JoinedByPlayer side;
        QTRY_VERIFY(side.ready());
        side.peer->write(bytes({0x31, 0x08, 0x09}));
        side.peer->disconnectFromHost();
        QTRY_COMPARE((*side.player)->status(), NotConnected);
        QCOMPARE(side.player->cell(8, 9), int(Black));
        QVERIFY(!(*side.player)->boardTakesClicks());
    }

    void aRefusedConnectEndsAsNotConnected() {
        quint16 closedPort;
        {
            QTcpServer probe;
            probe.listen(QHostAddress::LocalHost, 0);
            closedPort = probe.serverPort();
        }
        TestPlayer player(closedPort);
        player.joinAs(QStringLiteral("玩家"));
        QCOMPARE(player->status(), QStringLiteral("正在连线到主机"));
        QTRY_COMPARE(player->status(), NotConnected);
        QVERIFY(!player->boardTakesClicks());
        QVERIFY(player.window().isEnabled());
    }

    void exitAndClosingSendTheLeaveByteExactlyOnce() {
        for (bool byClosing : {false, true}) {
            HostedByPlayer side;
            QTRY_VERIFY(side.ready());
            if (byClosing)
                side.player.window().close();
            else
                side.player.window().mnuExit->trigger();
            QCOMPARE(side.player.end.ends, 1);
            QTRY_COMPARE(side.peer.state(), QAbstractSocket::UnconnectedState);
            QCOMPARE(side.peer.readAll(), QByteArray("4"));
        }
    }

    void newGameAndReconnectSendOnlyWhileConnected() {
        HostedByPlayer side;
        QTRY_VERIFY(side.ready());
        QTest::mouseClick(side.player.window().cmdNew, Qt::LeftButton);
        QCOMPARE(side.received(1), QByteArray("3"));
        QTest::mouseClick(side.player.window().cmdLink, Qt::LeftButton);
        QTRY_COMPARE(side.peer.state(), QAbstractSocket::UnconnectedState);
        QCOMPARE(side.peer.readAll(), QByteArray("4"));

        // Now not connected: new game, chat, exit send nothing and touch nothing.
        QCOMPARE(side.player->status(), NotConnected);
        side.player.window().txtMsg->setText(QStringLiteral("还在吗"));
        side.player.window().mnuTalk->trigger();
        QCOMPARE(side.player.window().labISay->caption(), QString());
    }

    void dataDuringTheLossBoxWaitsUntilTheGameIsBooked() {
        HostedByPlayer side;
        QTRY_VERIFY(side.ready());
        bool boardStillShownDuringBox = false;
        side.player.boxes.whileOpen = [&](const QString&) {
            side.send(QByteArray("3")); // the peer starts a new game at once
            QTest::qWait(50);           // it arrives while the box is open
            boardStillShownDuringBox = side.player.cell(5, 1) == White;
        };
        QByteArray fiveWhite;
        for (int column = 1; column <= 5; ++column)
            fiveWhite += bytes({0x31, column, 1});
        side.send(fiveWhite);
        QTRY_COMPARE(side.player.boxes.texts, QStringList{QStringLiteral("你输了，要加油喔。")});
        QTRY_COMPARE(side.player.cell(5, 1), 0); // then the new game ran
        QVERIFY(boardStillShownDuringBox);
        QCOMPARE(side.player.window().labWhiteScore->caption(), QStringLiteral("战绩： 1胜 0败"));
        // One decided game: white opens, so the host's board stays locked.
        QVERIFY(!side.player->boardTakesClicks());
    }

    void dataDuringTheMoveSoundIsHandledAfterTheMove() {
        HostedByPlayer side;
        QTRY_VERIFY(side.ready());
        side.player.sound.whilePlaying = [&] {
            side.player.sound.whilePlaying = nullptr;
            side.send(QByteArray("3"));
            QTest::qWait(50);
        };
        side.player.clickCell(6, 6);
        QCOMPARE(side.received(3), bytes({0x31, 0x06, 0x06}));
        // The held new game ran after the move: the board is clear and black opens it.
        QTRY_COMPARE(side.player.cell(6, 6), 0);
        QVERIFY(side.player->boardTakesClicks());
    }
};

QTEST_MAIN(RawPeer)
#include "test_raw_peer.moc"
