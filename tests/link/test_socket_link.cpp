// SocketLink over real TCP on 127.0.0.1 with system-chosen ports: how a host takes its peer,
// the bytes both sides exchange, and how the link ends. A second joiner is turned away in
// tests/app/test_faults.cpp, through the whole program.

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

} // namespace

class TestSocketLink : public QObject {
    Q_OBJECT

private slots:
    void hostAndJoinerExchangeGbkBytesUntilTheHostLeaves() {
        auto host = std::make_unique<SocketLink>(0);
        SocketLink joiner(0);
        connect(host.get(), &SocketLink::ConnectionRequest, host.get(), [&host](qint32 id) {
            host->Close(); // the order the game uses
            host->Accept(id);
        });
        host->setLocalPort(host->GamePort());
        host->Listen();
        QSignalSpy hostArrivals(host.get(), &SocketLink::DataArrival);
        connect(&joiner, &SocketLink::Connected, &joiner,
                [&joiner] { joiner.SendData(NameMessage("白方：玩家")); });
        joiner.setRemoteHost("127.0.0.1");
        joiner.setRemotePort(host->ListeningPort());
        joiner.Connect();

        QByteArray atHost, atJoiner;
        QTRY_COMPARE(atHost += host->GetData(), JoinerName);
        QVERIFY(!hostArrivals.isEmpty() && hostArrivals.at(0).at(0).toInt() > 0);
        host->SendData(NameMessage("黑方：玩家"));
        QTRY_COMPARE(atJoiner += joiner.GetData(), QByteArray::fromHex("32BADAB7BDA3BACDE6BCD2"));
        // Both ends send a move at once instead of holding it until TCP's last ack.
        for (SocketLink* side : {host.get(), &joiner}) {
            auto* socket = side->findChild<QTcpSocket*>();
            QVERIFY(socket);
            QCOMPARE(socket->socketOption(QAbstractSocket::LowDelayOption).toInt(), 1);
        }

        // The program sends "4", closes and ends with no event loop in between: the bytes must
        // be with the system when Close returns; the peer keeps them and then loses the link.
        QSignalSpy hostLost(host.get(), &SocketLink::LinkLost);
        QSignalSpy joinerLost(&joiner, &SocketLink::LinkLost);
        const QString longLine = QString("很长的一句话。").repeated(30000);
        host->SendData(ChatMessage(longLine));
        host->SendData(LeaveMessage());
        host->Close();
        QCOMPARE(host->State(), int(SocketLink::sckClosed));
        // Closed: harmless to close again, and nothing more goes out.
        host->Close();
        host->SendData(NewGameMessage());
        QCOMPARE(host->GetData(), QByteArray());
        QCOMPARE(hostLost.count(), 0);
        host.reset();
        QTRY_COMPARE(joinerLost.count(), 1);
        QVERIFY(joiner.GetData() == toAnsi(ChatMessage(longLine)) + "4");
        joiner.Close();
        QCOMPARE(joinerLost.count(), 1);
    }

    // Nobody listens to a request's socket until it is accepted: what it buffered by then
    // must still be announced.
    void dataSentBeforeAcceptIsDelivered() {
        SocketLink host(0);
        host.Listen();
        QSignalSpy requests(&host, &SocketLink::ConnectionRequest);
        QTcpSocket peer;
        peer.connectToHost(QHostAddress::LocalHost, host.ListeningPort());
        QTRY_COMPARE(requests.count(), 1);
        peer.write(JoinerName);
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
