// SocketLink over real TCP on 127.0.0.1 with system-chosen ports: how a host takes its one
// peer, the bytes both sides exchange, and how the link ends.

#include "link/AnsiCodec.h"
#include "link/LinkError.h"
#include "link/SocketLink.h"
#include "link/WireMessage.h"

#include <QHostAddress>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <memory>

using namespace kelvane;

namespace {

const QByteArray JoinerName = QByteArray::fromHex("32B0D7B7BDA3BACDE6BCD2"); // "2白方：玩家"

// A plain socket on the other end that keeps everything it receives.
struct RawPeer {
    QTcpSocket socket;
    QByteArray received;

    RawPeer() {
        QObject::connect(&socket, &QTcpSocket::readyRead, &socket,
                         [this] { received += socket.readAll(); });
    }
    void connectTo(quint16 port) { socket.connectToHost(QHostAddress::LocalHost, port); }
};

// Listens and accepts the first request. The game's host stops listening itself before it
// accepts; Accept alone must stop it too.
void listenAndAccept(SocketLink& host, bool closeFirst = false) {
    QObject::connect(&host, &SocketLink::ConnectionRequest, &host,
                     [&host, closeFirst](qint32 requestID) {
                         if (closeFirst)
                             host.Close();
                         host.Accept(requestID);
                     });
    host.setLocalPort(host.GamePort());
    host.Listen();
}

} // namespace

// A macro, so that QTRY can end the test.
#define CONNECT_PEER(host, peer)                                                                   \
    listenAndAccept(host);                                                                         \
    (peer).connectTo((host).ListeningPort());                                                      \
    QTRY_COMPARE((host).State(), int(SocketLink::sckConnected));                                   \
    QTRY_COMPARE((peer).socket.state(), QAbstractSocket::ConnectedState)

class TestSocketLink : public QObject {
    Q_OBJECT

private slots:
    void hostAndJoinerExchangeGbkBytes() {
        SocketLink host(0);
        SocketLink joiner(0);
        listenAndAccept(host, true); // the order the game uses
        QSignalSpy hostArrivals(&host, &SocketLink::DataArrival);
        connect(&joiner, &SocketLink::Connected, &joiner,
                [&joiner] { joiner.SendData(NameMessage("白方：玩家")); });
        joiner.setRemoteHost("127.0.0.1");
        joiner.setRemotePort(host.ListeningPort());
        joiner.Connect();

        QByteArray atHost, atJoiner;
        QTRY_COMPARE(atHost += host.GetData(), JoinerName);
        QVERIFY(!hostArrivals.isEmpty() && hostArrivals.at(0).at(0).toInt() > 0);
        host.SendData(NameMessage("黑方：玩家"));
        QTRY_COMPARE(atJoiner += joiner.GetData(), QByteArray::fromHex("32BADAB7BDA3BACDE6BCD2"));
        // Both ends send a move at once instead of holding it until TCP's last ack.
        for (SocketLink* side : {&host, &joiner}) {
            auto* socket = side->findChild<QTcpSocket*>();
            QVERIFY(socket);
            QCOMPARE(socket->socketOption(QAbstractSocket::LowDelayOption).toInt(), 1);
        }
    }

    void secondJoinerIsRefused() {
        SocketLink host(0);
        RawPeer peer;
        CONNECT_PEER(host, peer);
        QSignalSpy requests(&host, &SocketLink::ConnectionRequest);
        RawPeer intruder;
        QSignalSpy intruderErrors(&intruder.socket, &QAbstractSocket::errorOccurred);
        intruder.connectTo(peer.socket.peerPort());
        QTRY_VERIFY(intruderErrors.count() >= 1);
        QCOMPARE(intruderErrors.at(0).at(0).value<QAbstractSocket::SocketError>(),
                 QAbstractSocket::ConnectionRefusedError);
        QCOMPARE(requests.count(), 0);
        host.SendData(NewGameMessage());
        QTRY_COMPARE(peer.received, QByteArray("3"));
    }

    // Nobody listens to a request's socket until it is accepted: what it buffered by then
    // must still be announced.
    void dataSentBeforeAcceptIsDelivered() {
        SocketLink host(0);
        host.Listen();
        QSignalSpy requests(&host, &SocketLink::ConnectionRequest);
        RawPeer peer;
        peer.connectTo(host.ListeningPort());
        QTRY_COMPARE(requests.count(), 1);
        peer.socket.write(JoinerName);
        QTRY_VERIFY([&host] {
            const auto sockets = host.findChildren<QTcpSocket*>();
            return !sockets.isEmpty() && sockets.first()->bytesAvailable() == JoinerName.size();
        }());
        QSignalSpy arrivals(&host, &SocketLink::DataArrival);
        host.Accept(requests.at(0).at(0).value<qint32>());
        QTRY_COMPARE(arrivals.count(), 1);
        QCOMPARE(arrivals.at(0).at(0).toInt(), JoinerName.size());
        QCOMPARE(host.GetData(), JoinerName);
    }

    // The program sends "4", closes and ends with no event loop in between: the bytes must be
    // with the system when Close returns, and the peer then sees the end of the stream.
    void closeDeliversQueuedBytesThenEndOfStream() {
        auto host = std::make_unique<SocketLink>(0);
        RawPeer peer;
        CONNECT_PEER(*host, peer);
        QSignalSpy lost(host.get(), &SocketLink::LinkLost);
        QSignalSpy peerDisconnected(&peer.socket, &QAbstractSocket::disconnected);
        const QString longLine = QString("很长的一句话。").repeated(30000);
        host->SendData(ChatMessage(longLine));
        host->SendData(LeaveMessage());
        host->Close();
        QCOMPARE(host->State(), int(SocketLink::sckClosed));
        // Closed: harmless to close again, and nothing more goes out.
        host->Close();
        host->SendData(NewGameMessage());
        QCOMPARE(host->GetData(), QByteArray());
        QCOMPARE(lost.count(), 0);
        host.reset();
        QTRY_COMPARE(peerDisconnected.count(), 1);
        QVERIFY(peer.received == toAnsi(ChatMessage(longLine)) + "4");
    }

    void linkLostWhenPeerCloses() {
        SocketLink host(0);
        RawPeer peer;
        CONNECT_PEER(host, peer);
        QSignalSpy lost(&host, &SocketLink::LinkLost);
        peer.socket.write("1\x08\x09");
        peer.socket.disconnectFromHost();
        QTRY_COMPARE(lost.count(), 1);
        QVERIFY(host.State() != SocketLink::sckConnected && host.State() != SocketLink::sckClosed);
        QCOMPARE(host.GetData(), QByteArray("1\x08\x09")); // what came before the end stays
        host.Close();
        QCOMPARE(host.State(), int(SocketLink::sckClosed));
        QCOMPARE(lost.count(), 1);
    }

    void listenOnABusyPortThrows() {
        QTcpServer blocker;
        QVERIFY(blocker.listen(QHostAddress::Any, 0));
        SocketLink host(blocker.serverPort());
        host.setLocalPort(host.GamePort());
        QVERIFY_THROWS_EXCEPTION(LinkError, host.Listen());
        QCOMPARE(host.State(), int(SocketLink::sckClosed));
    }
};

QTEST_MAIN(TestSocketLink)
#include "test_socket_link.moc"
