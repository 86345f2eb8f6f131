#include "link/SocketLink.h"

#include "link/AnsiCodec.h"
#include "link/LinkError.h"
#include "link/LinkLog.h"

#include <QDeadlineTimer>
#include <QNetworkInterface>
#include <QTcpServer>
#include <QTcpSocket>
#include <algorithm>
#include <limits>
#include <utility>

namespace kelvane {

namespace {

// How long Close may wait for the operating system to take the bytes still queued for a
// peer, so that a leave message sent just before the program ends is not lost.
constexpr int FlushTimeoutMs = 3000;

// What the socket takes from the system before the program has read it. A peer that sends
// faster than the game acts on its messages is held back by TCP instead of filling memory,
// and no single read is too big to act on at once. The longest line a text box holds,
// 32767 Chinese characters, is 64 KiB in GBK; a few megabytes of chat still go in a few
// reads.
constexpr qint64 ReadBufferBytes = 1024 * 1024;

LinkError linkError(const QString& what) {
    return LinkError(what.toStdString());
}

int stateOf(const QTcpSocket& socket) {
    switch (socket.state()) {
    case QAbstractSocket::UnconnectedState:
        return SocketLink::sckClosed;
    case QAbstractSocket::HostLookupState:
        return SocketLink::sckResolvingHost;
    case QAbstractSocket::ConnectingState:
        return SocketLink::sckConnecting;
    case QAbstractSocket::ConnectedState:
        return SocketLink::sckConnected;
    case QAbstractSocket::BoundState:
        return SocketLink::sckOpen;
    case QAbstractSocket::ListeningState:
        return SocketLink::sckListening;
    case QAbstractSocket::ClosingState:
        return SocketLink::sckClosing;
    }
    return SocketLink::sckError;
}

void flushToSystem(QTcpSocket& socket) {
    const QDeadlineTimer deadline(FlushTimeoutMs);
    while (socket.bytesToWrite() > 0 && socket.state() == QAbstractSocket::ConnectedState &&
           socket.waitForBytesWritten(static_cast<int>(deadline.remainingTime()))) {
    }
}

} // namespace

SocketLink::SocketLink(quint16 gamePort, QObject* parent) : QObject(parent), gamePort_(gamePort) {}

SocketLink::~SocketLink() {
    Close();
}

int SocketLink::State() const {
    if (server_ != nullptr) {
        return sckListening;
    }
    if (socket_ == nullptr) {
        return sckClosed;
    }
    if (lostState_ != sckClosed) {
        return lostState_;
    }
    return stateOf(*socket_);
}

QString SocketLink::LocalIP() const {
    const auto allInterfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface& network : allInterfaces) {
        const auto flags = network.flags();
        if (!flags.testFlag(QNetworkInterface::IsUp) ||
            !flags.testFlag(QNetworkInterface::IsRunning) ||
            flags.testFlag(QNetworkInterface::IsLoopBack)) {
            continue;
        }
        const auto entries = network.addressEntries();
        for (const QNetworkAddressEntry& entry : entries) {
            const QHostAddress ip = entry.ip();
            if (ip.protocol() == QAbstractSocket::IPv4Protocol && !ip.isLoopback()) {
                return ip.toString();
            }
        }
    }
    return QStringLiteral("127.0.0.1");
}

quint16 SocketLink::ListeningPort() const {
    return server_ != nullptr ? server_->serverPort() : 0;
}

void SocketLink::Listen() {
    Close();
    dropRequests();
    auto* server = new QTcpServer(this);
    if (!server->listen(QHostAddress::Any, localPort_)) {
        const QString reason = server->errorString();
        delete server;
        throw linkError(QStringLiteral("cannot listen on port %1: %2").arg(localPort_).arg(reason));
    }
    server_ = server;
    connect(server_, &QTcpServer::newConnection, this, &SocketLink::takeNewConnections);
    qCDebug(lcLink) << "listening on port" << server_->serverPort();
}

void SocketLink::Connect() {
    Close();
    dropRequests();
    const QString host = remoteHost_.trimmed();
    if (host.isEmpty()) {
        throw linkError(QStringLiteral("no host to connect to"));
    }
    if (remotePort_ == 0) {
        throw linkError(QStringLiteral("no port to connect to on %1").arg(host));
    }
    auto* socket = new QTcpSocket(this);
    if (localPort_ != 0 && !socket->bind(QHostAddress::Any, localPort_)) {
        const QString reason = socket->errorString();
        delete socket;
        throw linkError(QStringLiteral("cannot use local port %1: %2").arg(localPort_).arg(reason));
    }
    takeConnection(socket);
    connect(socket, &QTcpSocket::connected, this, [this] {
        qCDebug(lcLink) << "connected to" << socket_->peerAddress() << socket_->peerPort();
        emit Connected();
    });
    qCDebug(lcLink) << "connecting to" << host << remotePort_;
    socket->connectToHost(host, remotePort_);
}

void SocketLink::Accept(qint32 requestID) {
    QTcpSocket* socket = requests_.take(requestID);
    if (socket == nullptr) {
        throw linkError(QStringLiteral("no connection request %1").arg(requestID));
    }
    // One peer only: once the listener is closed the system refuses anyone else.
    stopListening();
    dropRequests();
    releaseConnection();
    takeConnection(socket);
    qCDebug(lcLink) << "accepted" << socket->peerAddress() << socket->peerPort();
    // The request may have sent bytes, or gone away, before it was accepted; nobody was
    // listening to its signals then.
    QMetaObject::invokeMethod(
        this,
        [this, accepted = QPointer<QTcpSocket>(socket)] {
            if (accepted == nullptr || accepted != socket_) {
                return;
            }
            announceData();
            if (socket_ == accepted && accepted->state() == QAbstractSocket::UnconnectedState) {
                reportLost(sckClosing);
            }
        },
        Qt::QueuedConnection);
}

void SocketLink::SendData(const QString& text) {
    if (socket_ == nullptr || socket_->state() != QAbstractSocket::ConnectedState) {
        qCDebug(lcLink) << "not connected; dropped" << text.size() << "characters";
        return;
    }
    socket_->write(toAnsi(text));
}

QByteArray SocketLink::GetData() {
    if (socket_ == nullptr) {
        return {};
    }
    const QByteArray bytes = socket_->readAll();
    bytesTaken_ += bytes.size();
    return bytes;
}

void SocketLink::Close() {
    stopListening();
    releaseConnection();
}

void SocketLink::stopListening() {
    if (server_ == nullptr) {
        return;
    }
    // We may be inside the server's own signal: delete it later.
    server_->disconnect(this);
    server_->close();
    server_->deleteLater();
    server_ = nullptr;
    qCDebug(lcLink) << "stopped listening";
}

void SocketLink::dropRequests() {
    for (QTcpSocket* request : std::as_const(requests_)) {
        request->abort();
        request->deleteLater();
    }
    requests_.clear();
}

void SocketLink::takeConnection(QTcpSocket* socket) {
    socket->setReadBufferSize(ReadBufferBytes);
    // A move is three bytes and waits for nothing: without this, TCP may hold it back
    // until the peer acknowledges what went before, which can take tens of milliseconds.
    const auto sendAtOnce = [socket] {
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    };
    if (socket->state() == QAbstractSocket::ConnectedState)
        sendAtOnce();
    else
        connect(socket, &QTcpSocket::connected, socket, sendAtOnce);
    socket_ = socket;
    lostState_ = sckClosed;
    connect(socket, &QTcpSocket::readyRead, this, &SocketLink::announceData);
    connect(socket, &QTcpSocket::disconnected, this, [this] { reportLost(sckClosing); });
    connect(socket, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError error) {
        qCDebug(lcLink) << "socket error" << error << socket_->errorString();
        reportLost(error == QAbstractSocket::RemoteHostClosedError ? sckClosing : sckError);
    });
}

void SocketLink::releaseConnection() {
    if (socket_ == nullptr) {
        return;
    }
    QTcpSocket* socket = std::exchange(socket_, nullptr);
    lostState_ = sckClosed;
    socket->disconnect(this);
    if (socket->state() == QAbstractSocket::ConnectedState) {
        flushToSystem(*socket);
        socket->disconnectFromHost();
    } else {
        socket->abort();
    }
    // Deleted later: Close may run inside one of this socket's own signals.
    if (socket->state() == QAbstractSocket::UnconnectedState) {
        socket->deleteLater();
    } else {
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    }
    qCDebug(lcLink) << "closed the connection";
}

void SocketLink::takeNewConnections() {
    // Take them all first: a handler that accepts the first one closes the server.
    QList<qint32> announced;
    while (server_ != nullptr && server_->hasPendingConnections()) {
        QTcpSocket* request = server_->nextPendingConnection();
        request->setParent(this); // outlives the server, which Close deletes
        request->setReadBufferSize(ReadBufferBytes);
        const qint32 requestID = nextRequestID_++;
        requests_.insert(requestID, request);
        announced.append(requestID);
        qCDebug(lcLink) << "connection request" << requestID << "from" << request->peerAddress();
    }
    for (qint32 requestID : std::as_const(announced)) {
        if (requests_.contains(requestID)) {
            emit ConnectionRequest(requestID);
        }
    }
}

void SocketLink::announceData() {
    const QPointer<QTcpSocket> socket = socket_;
    if (socket == nullptr) {
        return;
    }
    const qint64 available = socket->bytesAvailable();
    if (available <= 0) {
        return;
    }
    const qint64 takenBefore = bytesTaken_;
    emit DataArrival(
        static_cast<qint32>(std::min<qint64>(available, std::numeric_limits<qint32>::max())));
    // Qt does not raise readyRead again while a handler of it runs, even one that waits
    // in a nested event loop (a message box): bytes that came meanwhile would otherwise
    // lie unannounced until more arrive.
    if (socket == socket_ && socket != nullptr &&
        socket->bytesAvailable() > available - (bytesTaken_ - takenBefore)) {
        announceBufferedLater();
    }
}

void SocketLink::announceBufferedLater() {
    QMetaObject::invokeMethod(
        this,
        [this, socket = QPointer<QTcpSocket>(socket_)] {
            if (socket != nullptr && socket == socket_) {
                announceData();
            }
        },
        Qt::QueuedConnection);
}

void SocketLink::reportLost(int state) {
    if (lostState_ != sckClosed) {
        return; // the error and the disconnection of one ending are one loss
    }
    lostState_ = state;
    qCDebug(lcLink) << "link lost";
    emit LinkLost();
}

} // namespace kelvane
