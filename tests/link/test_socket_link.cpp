// SocketLink over real TCP on 127.0.0.1, with system-chosen ports: one host, one peer, the
// bytes they exchange, and how the link ends.

#include "link/AnsiCodec.h"
#include "link/LinkError.h"
#include "link/MessageReader.h"
#include "link/SocketLink.h"
#include "link/WireMessage.h"

#include <QDeadlineTimer>
#include <QHostAddress>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <memory>

using namespace kelvane;

namespace {

QByteArray hex(const char* text) {
    return QByteArray::fromHex(text);
}

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

// A port that nothing listens on: bound by the system, then released.
quint16 closedPort() {
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0)) {
        return 0;
    }
    const quint16 port = probe.serverPort();
    probe.close();
    return port;
}

void listenOnSystemPort(SocketLink& host) {
    host.setLocalPort(host.GamePort());
    host.Listen();
}

} // namespace

// Listens, lets `peer` connect, and accepts it. A macro, so that QTRY can end the test.
#define ACCEPT_PEER(host, peer)                                                                    \
    do {                                                                                           \
        listenOnSystemPort(host);                                                                  \
        QSignalSpy acceptRequests(&(host), &SocketLink::ConnectionRequest);                        \
        (peer).connectTo((host).ListeningPort());                                                  \
        QTRY_COMPARE(acceptRequests.count(), 1);                                                   \
        (host).Accept(acceptRequests.at(0).at(0).value<qint32>());                                 \
        QCOMPARE((host).State(), int(SocketLink::sckConnected));                                   \
        QTRY_COMPARE((peer).socket.state(), QAbstractSocket::ConnectedState);                      \
    } while (false)

class TestSocketLink : public QObject {
    Q_OBJECT

private slots:
    void hostAcceptsAndBothSidesExchangeBytes();
    void sendDataPutsExactBytesOnTheWire_data();
    void sendDataPutsExactBytesOnTheWire();
    void acceptAfterCloseInTheRequestHandler();
    void secondPeerIsRefusedAfterAccept();
    void acceptDiscardsOtherPendingRequests();
    void acceptUnknownRequestThrows();
    void bytesSentBeforeAcceptAreAnnounced();
    void requestGoneBeforeAcceptIsLost();
    void joiningSideConnectsAndSendsItsName();
    void joiningSideUsesItsLocalPort();
    void twoLinksPlayMessages();
    void closeDeliversQueuedBytesThenEndOfStream();
    void closeDeliversALongChat();
    void leaveReachesPeerWhenProgramEndsAfterClose();
    void closeInsideDataArrival();
    void bytesArrivingDuringANestedLoopAreAnnounced();
    void linkLostWhenPeerCloses();
    void linkLostWhenConnectIsRefused();
    void connectWithoutHostThrows();
    void closeIsHarmlessOnClosedLink();
    void closeStopsListening();
    void listenOnPortInUseThrows();
    void localIPIsDottedIPv4();
};

void TestSocketLink::hostAcceptsAndBothSidesExchangeBytes() {
    SocketLink host(0);
    QCOMPARE(host.GamePort(), quint16(0));
    listenOnSystemPort(host);
    QCOMPARE(host.State(), int(SocketLink::sckListening));
    QVERIFY(host.ListeningPort() != 0);

    QSignalSpy requests(&host, &SocketLink::ConnectionRequest);
    RawPeer peer;
    peer.connectTo(host.ListeningPort());
    QTRY_COMPARE(requests.count(), 1);
    host.Accept(requests.at(0).at(0).value<qint32>());
    QCOMPARE(host.State(), int(SocketLink::sckConnected));
    QCOMPARE(host.ListeningPort(), quint16(0));
    QTRY_COMPARE(peer.socket.state(), QAbstractSocket::ConnectedState);

    QSignalSpy arrivals(&host, &SocketLink::DataArrival);
    const QByteArray joinerName = hex("32B0D7B7BDA3BACDE6BCD2");
    peer.socket.write(joinerName);
    QByteArray got;
    QTRY_COMPARE(got += host.GetData(), joinerName);
    QVERIFY(arrivals.count() >= 1);
    QVERIFY(arrivals.at(0).at(0).toInt() > 0);
    QVERIFY(arrivals.at(0).at(0).toInt() <= joinerName.size());

    host.SendData(NameMessage(QStringLiteral("黑方：玩家")));
    QTRY_COMPARE(peer.received, hex("32BADAB7BDA3BACDE6BCD2"));
}

void TestSocketLink::sendDataPutsExactBytesOnTheWire_data() {
    QTest::addColumn<QString>("message");
    QTest::addColumn<QByteArray>("wire");
    QTest::newRow("move 3,12") << MoveMessage(3, 12) << hex("31030C");
    QTest::newRow("move 15,1") << MoveMessage(15, 1) << hex("310F01");
    QTest::newRow("joiner named 玩家")
        << NameMessage(QStringLiteral("白方：玩家")) << hex("32B0D7B7BDA3BACDE6BCD2");
    QTest::newRow("host named 玩家")
        << NameMessage(QStringLiteral("黑方：玩家")) << hex("32BADAB7BDA3BACDE6BCD2");
    QTest::newRow("joiner without a name")
        << NameMessage(QStringLiteral("白方：")) << hex("32B0D7B7BDA3BA");
    QTest::newRow("host without a name")
        << NameMessage(QStringLiteral("黑方：")) << hex("32BADAB7BDA3BA");
    QTest::newRow("chat 你好") << ChatMessage(QStringLiteral("你好")) << hex("35C4E3BAC3");
    QTest::newRow("empty chat") << ChatMessage(QString()) << hex("35");
    QTest::newRow("new game") << NewGameMessage() << hex("33");
    QTest::newRow("leave") << LeaveMessage() << hex("34");
    QTest::newRow("two sends back to back")
        << MoveMessage(1, 2) + NewGameMessage() << hex("31010233");
}

void TestSocketLink::sendDataPutsExactBytesOnTheWire() {
    QFETCH(QString, message);
    QFETCH(QByteArray, wire);
    SocketLink host(0);
    RawPeer peer;
    ACCEPT_PEER(host, peer);
    host.SendData(message);
    QTRY_COMPARE(peer.received, wire);
}

void TestSocketLink::acceptAfterCloseInTheRequestHandler() {
    SocketLink host(0);
    // What the host's request handler does: stop listening first, then accept.
    connect(&host, &SocketLink::ConnectionRequest, &host, [&host](qint32 requestID) {
        if (host.State() != SocketLink::sckClosed) {
            host.Close();
        }
        QCOMPARE(host.State(), int(SocketLink::sckClosed));
        host.Accept(requestID);
    });
    listenOnSystemPort(host);
    RawPeer peer;
    peer.connectTo(host.ListeningPort());
    QTRY_COMPARE(host.State(), int(SocketLink::sckConnected));

    peer.socket.write(hex("33"));
    QByteArray got;
    QTRY_COMPARE(got += host.GetData(), hex("33"));
    host.SendData(LeaveMessage());
    QTRY_COMPARE(peer.received, hex("34"));
}

void TestSocketLink::secondPeerIsRefusedAfterAccept() {
    SocketLink host(0);
    RawPeer peer;
    ACCEPT_PEER(host, peer);
    QSignalSpy requests(&host, &SocketLink::ConnectionRequest);
    const quint16 port = peer.socket.peerPort();

    RawPeer intruder;
    QSignalSpy intruderErrors(&intruder.socket, &QAbstractSocket::errorOccurred);
    QSignalSpy intruderConnected(&intruder.socket, &QAbstractSocket::connected);
    intruder.connectTo(port);
    QTRY_VERIFY(intruderErrors.count() >= 1);
    QCOMPARE(intruderErrors.at(0).at(0).value<QAbstractSocket::SocketError>(),
             QAbstractSocket::ConnectionRefusedError);
    QCOMPARE(intruderConnected.count(), 0);
    QCOMPARE(requests.count(), 0);
    // The accepted peer is unaffected.
    host.SendData(NewGameMessage());
    QTRY_COMPARE(peer.received, hex("33"));
}

void TestSocketLink::acceptDiscardsOtherPendingRequests() {
    SocketLink host(0);
    listenOnSystemPort(host);
    QSignalSpy requests(&host, &SocketLink::ConnectionRequest);
    RawPeer first;
    RawPeer second;
    first.connectTo(host.ListeningPort());
    QTRY_COMPARE(requests.count(), 1);
    second.connectTo(host.ListeningPort());
    QTRY_COMPARE(requests.count(), 2);
    const auto firstID = requests.at(0).at(0).value<qint32>();
    const auto secondID = requests.at(1).at(0).value<qint32>();
    QVERIFY(firstID != secondID);

    host.Accept(firstID);
    QTRY_COMPARE(second.socket.state(), QAbstractSocket::UnconnectedState);
    QVERIFY_THROWS_EXCEPTION(LinkError, host.Accept(secondID));
    host.SendData(LeaveMessage());
    QTRY_COMPARE(first.received, hex("34"));
    QCOMPARE(second.received, QByteArray());
}

void TestSocketLink::acceptUnknownRequestThrows() {
    SocketLink host(0);
    listenOnSystemPort(host);
    QVERIFY_THROWS_EXCEPTION(LinkError, host.Accept(12345));
    QCOMPARE(host.State(), int(SocketLink::sckListening));
}

void TestSocketLink::bytesSentBeforeAcceptAreAnnounced() {
    SocketLink host(0);
    listenOnSystemPort(host);
    QSignalSpy requests(&host, &SocketLink::ConnectionRequest);
    RawPeer peer;
    peer.connectTo(host.ListeningPort());
    QTRY_COMPARE(requests.count(), 1);
    peer.socket.write(hex("32B0D7B7BDA3BA"));
    // Let the request's socket take the bytes while nobody listens to it.
    QTRY_VERIFY([&host] {
        const auto sockets = host.findChildren<QTcpSocket*>();
        return !sockets.isEmpty() && sockets.first()->bytesAvailable() == 7;
    }());

    QSignalSpy arrivals(&host, &SocketLink::DataArrival);
    host.Accept(requests.at(0).at(0).value<qint32>());
    QTRY_COMPARE(arrivals.count(), 1);
    QCOMPARE(arrivals.at(0).at(0).toInt(), 7);
    QCOMPARE(host.GetData(), hex("32B0D7B7BDA3BA"));
}

void TestSocketLink::requestGoneBeforeAcceptIsLost() {
    SocketLink host(0);
    listenOnSystemPort(host);
    QSignalSpy requests(&host, &SocketLink::ConnectionRequest);
    RawPeer peer;
    peer.connectTo(host.ListeningPort());
    QTRY_COMPARE(requests.count(), 1);
    peer.socket.disconnectFromHost();
    QTRY_VERIFY([&host] {
        const auto sockets = host.findChildren<QTcpSocket*>();
        return !sockets.isEmpty() && sockets.first()->state() == QAbstractSocket::UnconnectedState;
    }());

    QSignalSpy lost(&host, &SocketLink::LinkLost);
    host.Accept(requests.at(0).at(0).value<qint32>());
    QTRY_COMPARE(lost.count(), 1);
    QVERIFY(host.State() != SocketLink::sckConnected);
}

void TestSocketLink::joiningSideConnectsAndSendsItsName() {
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost, 0));
    SocketLink joiner(0);
    QSignalSpy connected(&joiner, &SocketLink::Connected);
    QSignalSpy lost(&joiner, &SocketLink::LinkLost);
    joiner.setRemoteHost(QStringLiteral("127.0.0.1"));
    joiner.setRemotePort(server.serverPort());
    joiner.setLocalPort(0);
    joiner.Connect();
    QVERIFY(joiner.State() == SocketLink::sckConnecting ||
            joiner.State() == SocketLink::sckResolvingHost);
    QTRY_COMPARE(connected.count(), 1);
    QCOMPARE(joiner.State(), int(SocketLink::sckConnected));
    QTRY_VERIFY(server.hasPendingConnections());
    std::unique_ptr<QTcpSocket> hostSide(server.nextPendingConnection());

    joiner.SendData(NameMessage(QStringLiteral("白方：玩家")));
    QByteArray atHost;
    QTRY_COMPARE(atHost += hostSide->readAll(), hex("32B0D7B7BDA3BACDE6BCD2"));

    QSignalSpy arrivals(&joiner, &SocketLink::DataArrival);
    hostSide->write(hex("32BADAB7BDA3BA"));
    QTRY_VERIFY(arrivals.count() >= 1);
    QByteArray atJoiner;
    QTRY_COMPARE(atJoiner += joiner.GetData(), hex("32BADAB7BDA3BA"));
    QCOMPARE(lost.count(), 0);
}

void TestSocketLink::joiningSideUsesItsLocalPort() {
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost, 0));
    const quint16 localPort = closedPort();
    QVERIFY(localPort != 0);
    SocketLink joiner(0);
    QSignalSpy connected(&joiner, &SocketLink::Connected);
    joiner.setRemoteHost(QStringLiteral("127.0.0.1"));
    joiner.setRemotePort(server.serverPort());
    joiner.setLocalPort(localPort);
    joiner.Connect();
    QTRY_COMPARE(connected.count(), 1);
    QTRY_VERIFY(server.hasPendingConnections());
    std::unique_ptr<QTcpSocket> hostSide(server.nextPendingConnection());
    QCOMPARE(hostSide->peerPort(), localPort);
}

void TestSocketLink::twoLinksPlayMessages() {
    SocketLink host(0);
    SocketLink joiner(0);
    MessageReader hostReader;
    MessageReader joinerReader;
    QList<WireMessage> atHost;
    QList<WireMessage> atJoiner;
    connect(&host, &SocketLink::ConnectionRequest, &host, [&host](qint32 requestID) {
        host.Close();
        host.Accept(requestID);
    });
    connect(&host, &SocketLink::DataArrival, &host,
            [&] { atHost << hostReader.takeRead(host.GetData()); });
    connect(&joiner, &SocketLink::DataArrival, &joiner,
            [&] { atJoiner << joinerReader.takeRead(joiner.GetData()); });
    connect(&joiner, &SocketLink::Connected, &joiner,
            [&joiner] { joiner.SendData(NameMessage(QStringLiteral("白方：小明"))); });

    listenOnSystemPort(host);
    joiner.setRemoteHost(QStringLiteral("127.0.0.1"));
    joiner.setRemotePort(host.ListeningPort());
    joiner.Connect();
    QTRY_COMPARE(atHost.size(), 1);
    QCOMPARE(atHost[0].type, MessageType::Name);
    QCOMPARE(atHost[0].text, QStringLiteral("白方：小明"));

    host.SendData(NameMessage(QStringLiteral("黑方：小红")));
    QTRY_COMPARE(atJoiner.size(), 1);
    QCOMPARE(atJoiner[0].text, QStringLiteral("黑方：小红"));

    host.SendData(MoveMessage(8, 8));
    QTRY_COMPARE(atJoiner.size(), 2);
    QCOMPARE(atJoiner[1].type, MessageType::Move);
    QCOMPARE(atJoiner[1].column, 8);
    QCOMPARE(atJoiner[1].row, 8);

    joiner.SendData(ChatMessage(QStringLiteral("你好")));
    QTRY_COMPARE(atHost.size(), 2);
    QCOMPARE(atHost[1].type, MessageType::Chat);
    QCOMPARE(atHost[1].text, QStringLiteral("你好"));
}

void TestSocketLink::closeDeliversQueuedBytesThenEndOfStream() {
    SocketLink host(0);
    RawPeer peer;
    ACCEPT_PEER(host, peer);
    QSignalSpy lost(&host, &SocketLink::LinkLost);
    QSignalSpy peerDisconnected(&peer.socket, &QAbstractSocket::disconnected);

    // No event loop runs between the send and the close.
    host.SendData(LeaveMessage());
    host.Close();
    QCOMPARE(host.State(), int(SocketLink::sckClosed));
    QTRY_COMPARE(peerDisconnected.count(), 1);
    QCOMPARE(peer.received, hex("34"));
    QCOMPARE(lost.count(), 0);
    host.SendData(NewGameMessage()); // closed: ignored
    QCOMPARE(host.GetData(), QByteArray());
}

void TestSocketLink::closeDeliversALongChat() {
    SocketLink host(0);
    RawPeer peer;
    ACCEPT_PEER(host, peer);
    const QString line = QStringLiteral("很长的一句话。").repeated(30000);
    const QByteArray wire = toAnsi(ChatMessage(line)) + hex("34");
    QSignalSpy peerDisconnected(&peer.socket, &QAbstractSocket::disconnected);
    host.SendData(ChatMessage(line));
    host.SendData(LeaveMessage());
    host.Close();
    QTRY_COMPARE(peerDisconnected.count(), 1);
    QCOMPARE(peer.received.size(), wire.size());
    QVERIFY(peer.received == wire);
}

// Exit sends "4", closes the link and ends the program at once: no event loop runs after
// Close, so the bytes must be with the system by the time Close returns.
void TestSocketLink::leaveReachesPeerWhenProgramEndsAfterClose() {
    auto host = std::make_unique<SocketLink>(0);
    RawPeer peer;
    ACCEPT_PEER(*host, peer);
    QSignalSpy peerDisconnected(&peer.socket, &QAbstractSocket::disconnected);
    host->SendData(LeaveMessage());
    host->Close();
    host.reset();
    QTRY_COMPARE(peerDisconnected.count(), 1);
    QCOMPARE(peer.received, hex("34"));
}

void TestSocketLink::closeInsideDataArrival() {
    SocketLink host(0);
    RawPeer peer;
    ACCEPT_PEER(host, peer);
    QSignalSpy lost(&host, &SocketLink::LinkLost);
    QByteArray got;
    // The dispatcher closes the link from inside the arrival of a leave message.
    connect(&host, &SocketLink::DataArrival, &host, [&] {
        got += host.GetData();
        if (got.contains('4')) {
            host.Close();
        }
    });
    QSignalSpy peerDisconnected(&peer.socket, &QAbstractSocket::disconnected);
    peer.socket.write(hex("34"));
    QTRY_COMPARE(peerDisconnected.count(), 1);
    QCOMPARE(got, hex("34"));
    QCOMPARE(host.State(), int(SocketLink::sckClosed));
    QCOMPARE(lost.count(), 0);
    host.Close();
    QCOMPARE(lost.count(), 0);
}

// A handler that shows a modal box runs a nested event loop; bytes that arrive meanwhile
// must still be announced, or a new game sent during a loss box would be lost.
void TestSocketLink::bytesArrivingDuringANestedLoopAreAnnounced() {
    SocketLink host(0);
    RawPeer peer;
    ACCEPT_PEER(host, peer);
    QList<QByteArray> reads;
    bool waitedInside = false;
    connect(&host, &SocketLink::DataArrival, &host, [&] {
        reads << host.GetData();
        if (reads.size() > 1) {
            return;
        }
        peer.socket.write(hex("33"));
        QTcpSocket* accepted = host.findChild<QTcpSocket*>();
        QDeadlineTimer deadline(5000);
        while (accepted->bytesAvailable() == 0 && !deadline.hasExpired()) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        }
        waitedInside = accepted->bytesAvailable() > 0;
    });
    peer.socket.write(hex("31030C"));
    QTRY_COMPARE(reads.size(), 2);
    QVERIFY(waitedInside);
    QCOMPARE(reads[0], hex("31030C"));
    QCOMPARE(reads[1], hex("33"));
}

void TestSocketLink::linkLostWhenPeerCloses() {
    SocketLink host(0);
    RawPeer peer;
    ACCEPT_PEER(host, peer);
    QSignalSpy lost(&host, &SocketLink::LinkLost);
    peer.socket.write(hex("356F6B"));
    peer.socket.disconnectFromHost();
    QTRY_VERIFY(lost.count() >= 1);
    QCOMPARE(lost.count(), 1);
    QVERIFY(host.State() != SocketLink::sckConnected);
    QVERIFY(host.State() != SocketLink::sckClosed);
    // What came before the end can still be read.
    QCOMPARE(host.GetData(), hex("356F6B"));
    host.Close();
    QCOMPARE(host.State(), int(SocketLink::sckClosed));
    QCOMPARE(lost.count(), 1);
}

void TestSocketLink::linkLostWhenConnectIsRefused() {
    const quint16 port = closedPort();
    QVERIFY(port != 0);
    SocketLink joiner(0);
    QSignalSpy connected(&joiner, &SocketLink::Connected);
    QSignalSpy lost(&joiner, &SocketLink::LinkLost);
    joiner.setRemoteHost(QStringLiteral("127.0.0.1"));
    joiner.setRemotePort(port);
    joiner.Connect();
    QTRY_COMPARE(lost.count(), 1);
    QCOMPARE(connected.count(), 0);
    QCOMPARE(joiner.State(), int(SocketLink::sckError));
    joiner.Close();
    QCOMPARE(joiner.State(), int(SocketLink::sckClosed));
    QCOMPARE(lost.count(), 1);
}

void TestSocketLink::connectWithoutHostThrows() {
    SocketLink joiner(0);
    joiner.setRemotePort(5238);
    QVERIFY_THROWS_EXCEPTION(LinkError, joiner.Connect());
    joiner.setRemoteHost(QStringLiteral("   "));
    QVERIFY_THROWS_EXCEPTION(LinkError, joiner.Connect());
    QCOMPARE(joiner.State(), int(SocketLink::sckClosed));
}

void TestSocketLink::closeIsHarmlessOnClosedLink() {
    SocketLink link(0);
    QSignalSpy lost(&link, &SocketLink::LinkLost);
    link.Close();
    link.Close();
    link.SendData(LeaveMessage());
    QCOMPARE(link.GetData(), QByteArray());
    QCOMPARE(link.State(), int(SocketLink::sckClosed));
    QCOMPARE(link.ListeningPort(), quint16(0));
    QCOMPARE(lost.count(), 0);
}

void TestSocketLink::closeStopsListening() {
    SocketLink host(0);
    listenOnSystemPort(host);
    const quint16 port = host.ListeningPort();
    host.Close();
    QCOMPARE(host.State(), int(SocketLink::sckClosed));
    RawPeer late;
    QSignalSpy errors(&late.socket, &QAbstractSocket::errorOccurred);
    late.connectTo(port);
    QTRY_VERIFY(errors.count() >= 1);
    QCOMPARE(late.socket.state(), QAbstractSocket::UnconnectedState);

    // The same link can listen again.
    listenOnSystemPort(host);
    QCOMPARE(host.State(), int(SocketLink::sckListening));
}

void TestSocketLink::listenOnPortInUseThrows() {
    QTcpServer blocker;
    QVERIFY(blocker.listen(QHostAddress::Any, 0));
    SocketLink host(0);
    host.setLocalPort(blocker.serverPort());
    QCOMPARE(host.LocalPort(), blocker.serverPort());
    try {
        host.Listen();
        QFAIL("Listen on a port in use did not throw");
    } catch (const LinkError& error) {
        QVERIFY(QByteArray(error.what()).contains(QByteArray::number(blocker.serverPort())));
    }
    QCOMPARE(host.State(), int(SocketLink::sckClosed));
}

void TestSocketLink::localIPIsDottedIPv4() {
    SocketLink link(0);
    const QString ip = link.LocalIP();
    static const QRegularExpression dotted(QStringLiteral("^\\d{1,3}(\\.\\d{1,3}){3}$"));
    QVERIFY2(dotted.match(ip).hasMatch(), qPrintable(ip));
    QCOMPARE(QHostAddress(ip).protocol(), QAbstractSocket::IPv4Protocol);
}

QTEST_MAIN(TestSocketLink)
#include "test_socket_link.moc"
