// Broken links over loopback: a peer process killed outright, a peer gone after half a
// move, a connect that is refused, and joiners the host did not take. After each, the link
// state and the board must agree, and nothing of the broken link may leak into the next.
#include "support/TestPlayer.h"
#include "test_faults_peer.h"

#include "ui/CaptionLabel.h"

#include <QAction>
#include <QApplication>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

using namespace kelvane;
using namespace kelvane::testing;

namespace {

const QString Connected = QStringLiteral("连线中");
const QString NotConnected = QStringLiteral("尚未连线");
const QString Connecting = QStringLiteral("正在连线到主机");

// Name messages in GBK: the peer's "白方：对手" or "黑方：对手", the player's "...玩家".
const QByteArray JoinerNameHex = "32b0d7b7bda3bab6d4cad6";
const QByteArray HostNameHex = "32badab7bda3bab6d4cad6";
const QByteArray PlayerAsJoinerName = QByteArray::fromHex("32b0d7b7bda3bacde6bcd2");
const QByteArray PlayerAsHostName = QByteArray::fromHex("32badab7bda3bacde6bcd2");

int stonesOn(TestPlayer& player) {
    int stones = 0;
    for (int c = 1; c <= 15; ++c)
        for (int r = 1; r <= 15; ++r)
            stones += player.cell(c, r) != 0;
    return stones;
}

// What must hold once a link has ended, whoever ended it.
bool endedCleanly(TestPlayer& player) {
    return player->status() == NotConnected && !player->boardTakesClicks() &&
           player->wskLink().State() == SocketLink::sckClosed && player->caughtUp();
}

// The player hosts on a system port and a raw socket joins.
struct HostAndRawJoiner {
    TestPlayer player;
    QTcpSocket peer;
    quint16 port = 0; // where the host listened
    explicit HostAndRawJoiner(quint16 gamePort = 0) : player(gamePort) {
        player.hostAs(QStringLiteral("玩家"));
        port = player->wskLink().ListeningPort();
        peer.connectToHost(QHostAddress::LocalHost, port);
    }
    bool ready() {
        return peer.state() == QAbstractSocket::ConnectedState && player->status() == Connected;
    }
    void send(const QByteArray& data) {
        peer.write(data);
        peer.flush();
    }
};

void reconnectAsHost(TestPlayer& player) {
    QTest::mouseClick(player.window().cmdLink, Qt::LeftButton);
    player.hostAs(QStringLiteral("玩家"));
}

} // namespace

class Faults : public QObject {
    Q_OBJECT

private slots:
    void aJoinersProcessKilledMidGameLeavesTheHostNotConnected() {
        TestPlayer host;
        host.hostAs(QStringLiteral("玩家"));
        PeerProcess peer;
        QVERIFY(peer.started());
        QVERIFY(peer.run("join " + QByteArray::number(host->wskLink().ListeningPort())));
        QVERIFY(peer.run("send " + JoinerNameHex));
        QVERIFY(peer.run("read 11"));
        QCOMPARE(peer.reply(), "read " + PlayerAsHostName.toHex());
        QTRY_COMPARE(host->status(), Connected);
        QCOMPARE(host.window().labWhite->caption(), QStringLiteral("白方：对手"));

        host.clickCell(8, 8);
        QVERIFY(peer.run("read 3"));
        QCOMPARE(peer.reply(), QByteArray("read 310808"));
        // The peer answers, then dies in the middle of its next move.
        QVERIFY(peer.run("send 310909"));
        QTRY_COMPARE(host.cell(9, 9), int(White));
        QVERIFY(host->boardTakesClicks());
        QVERIFY(peer.run("send 310a"));
        QVERIFY(peer.killHard());

        QTRY_VERIFY(endedCleanly(host));
        QCOMPARE(host.cell(8, 8), int(Black));
        QCOMPARE(host.cell(9, 9), int(White));
        QCOMPARE(stonesOn(host), 2); // the half move was not placed
        QCOMPARE(host.sound.plays, 2);
        host.clickCell(3, 3);
        QCOMPARE(host.cell(3, 3), 0);
        QCOMPARE(host.end.ends, 0);
        QVERIFY(host.window().isEnabled());
    }

    void aHostsProcessKilledMidGameLeavesTheJoinerNotConnected() {
        PeerProcess peer;
        QVERIFY(peer.started());
        peer.command("host");
        const QByteArray portLine = peer.answer();
        QVERIFY2(portLine.startsWith("port "), portLine.constData());
        TestPlayer joiner(quint16(portLine.mid(5).toUInt()));
        joiner.joinAs(QStringLiteral("玩家"));
        QCOMPARE(peer.answer(), QByteArray("ok"));
        QTRY_COMPARE(joiner->status(), Connected);
        QVERIFY(peer.run("read 11"));
        QCOMPARE(peer.reply(), "read " + PlayerAsJoinerName.toHex());
        QVERIFY(peer.run("send " + HostNameHex));
        QVERIFY(peer.run("send 310707"));
        QTRY_COMPARE(joiner.cell(7, 7), int(Black));
        QTRY_COMPARE(joiner.window().labBlack->caption(), QStringLiteral("黑方：对手"));
        QVERIFY(joiner->boardTakesClicks());

        QVERIFY(peer.killHard());
        QTRY_VERIFY(endedCleanly(joiner));
        QCOMPARE(joiner.cell(7, 7), int(Black));
        joiner.clickCell(8, 8);
        QCOMPARE(joiner.cell(8, 8), 0);
    }

    // Half a move, then an orderly close: the held byte must neither be placed nor wait to
    // be completed by the first bytes of the next link.
    void halfAMoveThenCloseLeavesNothingForTheNextLink() {
        const quint16 port = freePort();
        HostAndRawJoiner side(port);
        QTRY_VERIFY(side.ready());
        side.send(QByteArray::fromHex("3105"));
        QTest::qWait(20);
        side.peer.disconnectFromHost();
        QTRY_VERIFY(endedCleanly(side.player));
        QCOMPARE(stonesOn(side.player), 0);
        QCOMPARE(side.player.sound.plays, 0);

        reconnectAsHost(side.player);
        QCOMPARE(side.player->status(), QStringLiteral("等待加入中"));
        QTcpSocket next;
        next.connectToHost(QHostAddress::LocalHost, port);
        QTRY_COMPARE(side.player->status(), Connected);
        // Completing the old move would put a stone at (5, 7), then one at (2, 2).
        next.write(QByteArray::fromHex("07310202"));
        next.flush();
        QTest::qWait(50);
        QTRY_VERIFY(side.player->caughtUp());
        QCOMPARE(stonesOn(side.player), 0);
        next.write(QByteArray::fromHex("310303"));
        QTRY_COMPARE(side.player.cell(3, 3), int(White));
        QCOMPARE(stonesOn(side.player), 1);
    }

    // Moves are three bytes: both ends send them at once instead of letting TCP gather
    // them while an acknowledgement is outstanding, which stalls a move by tens of ms.
    void bothEndsSendSmallMessagesAtOnce() {
        const quint16 port = freePort();
        TestPlayer host(port);
        host.hostAs(QStringLiteral("玩家"));
        TestPlayer joiner(port);
        joiner.joinAs(QStringLiteral("玩家"));
        QTRY_COMPARE(host->status(), Connected);
        QTRY_COMPARE(joiner->status(), Connected);
        for (TestPlayer* side : {&host, &joiner}) {
            const auto sockets = (*side)->wskLink().findChildren<QTcpSocket*>();
            QCOMPARE(sockets.size(), 1);
            QCOMPARE(sockets.first()->socketOption(QAbstractSocket::LowDelayOption).toInt(), 1);
        }
    }

    // A refused connect ends as not connected; its failure must not later close the link
    // that the next logon opens.
    void aRefusedConnectDoesNotHauntTheNextLink() {
        const quint16 port = freePort();
        TestPlayer joiner(port);
        joiner.joinAs(QStringLiteral("玩家"));
        QTRY_VERIFY(endedCleanly(joiner));

        QTcpServer host;
        QVERIFY(host.listen(QHostAddress::LocalHost, port));
        QTest::mouseClick(joiner.window().cmdLink, Qt::LeftButton);
        joiner.joinAs(QStringLiteral("玩家"));
        QTRY_VERIFY(host.hasPendingConnections());
        std::unique_ptr<QTcpSocket> peer(host.nextPendingConnection());
        QTRY_COMPARE(joiner->status(), Connected);
        QByteArray got;
        QTRY_COMPARE(got += peer->readAll(), PlayerAsJoinerName);
        QTest::qWait(100);
        QCOMPARE(joiner->status(), Connected);
        peer->write(QByteArray::fromHex("310404"));
        QTRY_COMPARE(joiner.cell(4, 4), int(Black));
        QCOMPARE(peer->readAll(), QByteArray()); // one name only
    }

    // A joiner that comes while the host is connected is not let in: it gets not one byte,
    // and nothing it sends reaches the game.
    void aSecondJoinerGetsNothingAndChangesNothing() {
        HostAndRawJoiner side;
        QTRY_VERIFY(side.ready());
        side.send(QByteArray::fromHex(JoinerNameHex));
        QByteArray hostName;
        QTRY_COMPARE(hostName += side.peer.readAll(), PlayerAsHostName);
        side.send(QByteArray::fromHex("310505"));
        QTRY_COMPARE(side.player.cell(5, 5), int(White));

        QTcpSocket intruder;
        intruder.connectToHost(QHostAddress::LocalHost, side.port);
        if (intruder.waitForConnected(1000))
            intruder.write(QByteArray::fromHex("34310101") + "3");
        QTRY_COMPARE(intruder.state(), QAbstractSocket::UnconnectedState);
        QCOMPARE(intruder.bytesAvailable(), 0);
        QTest::qWait(50);

        QCOMPARE(side.player->status(), Connected);
        QCOMPARE(side.player.cell(5, 5), int(White));
        QCOMPARE(side.player.cell(1, 1), 0);
        QCOMPARE(stonesOn(side.player), 1);
        QCOMPARE(side.player.window().labWhite->caption(), QStringLiteral("白方：对手"));
        QVERIFY(side.player->boardTakesClicks());
        side.player.clickCell(6, 6);
        QByteArray move;
        QTRY_COMPARE(move += side.peer.readAll(), QByteArray::fromHex("310606"));
    }

    // Two joiners at once while the host listens: one is taken, the other is dropped
    // before it hears anything, and what it sent is never acted on.
    void ofTwoJoinersAtOnceOneIsTakenAndTheOtherGetsNothing() {
        TestPlayer host;
        host.hostAs(QStringLiteral("玩家"));
        const quint16 port = host->wskLink().ListeningPort();
        QTcpSocket first, second;
        first.connectToHost(QHostAddress::LocalHost, port);
        second.connectToHost(QHostAddress::LocalHost, port);
        QVERIFY(first.waitForConnected(5000));
        QVERIFY(second.waitForConnected(5000));
        // Both speak before the host's event loop has seen either of them.
        first.write(QByteArray::fromHex("32b0d7b7bda3ba61"));  // 白方：a
        second.write(QByteArray::fromHex("32b0d7b7bda3ba62")); // 白方：b
        QVERIFY(first.waitForBytesWritten(1000));
        QVERIFY(second.waitForBytesWritten(1000));

        QTRY_COMPARE(host->status(), Connected);
        QTRY_VERIFY(first.bytesAvailable() > 0 || second.bytesAvailable() > 0);
        QTRY_VERIFY(first.state() == QAbstractSocket::UnconnectedState ||
                    second.state() == QAbstractSocket::UnconnectedState);
        QTcpSocket& taken = first.state() == QAbstractSocket::ConnectedState ? first : second;
        QTcpSocket& dropped = &taken == &first ? second : first;
        const QString takenName = &taken == &first ? QStringLiteral("a") : QStringLiteral("b");
        QCOMPARE(dropped.readAll(), QByteArray());
        QTRY_COMPARE(host.window().labWhite->caption(), QStringLiteral("白方：") + takenName);
        QCOMPARE(host.window().labHe->caption(), takenName + QStringLiteral("说："));
        QCOMPARE(taken.state(), QAbstractSocket::ConnectedState);
    }
};

int main(int argc, char* argv[]) {
    int peerExit = 0;
    if (runAsPeerIfAsked(peerExit))
        return peerExit;
    QApplication app(argc, argv);
    Faults faults;
    return QTest::qExec(&faults, argc, argv);
}

#include "test_faults.moc"
