#include "link/SocketLink.h"

#include "link/AnsiCodec.h"
#include "link/LinkError.h"
#include "link/LinkLog.h"

#include <QFile>
#include <QNetworkInterface>
#include <QTcpServer>
#include <QTcpSocket>
#include <algorithm>
#include <cerrno>

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <limits>
#include <utility>

namespace kelvane {

namespace {

// Unsent data the link keeps for a peer that does not take it: ample for any game, and a
// peer that lets more pile up is not playing.
constexpr qint64 SendBufferBytes = 1024 * 1024;
// A peer that takes nothing of ours for this long is gone.
constexpr int DefaultStallTimeoutMs = 30'000;
// A join that gets no answer is given up.
constexpr int ConnectTimeoutMs = 10'000;
// A peer that has vanished without closing is noticed by the system's keepalive when the
// link is idle, and by the user timeout when our data goes unanswered: within 30 s.
constexpr int KeepAliveIdleSeconds = 10;
constexpr int KeepAliveIntervalSeconds = 5;
constexpr int KeepAliveProbes = 3;
constexpr unsigned UserTimeoutMs = 25'000;

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

void keepAlive(QTcpSocket& socket) {
    socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    socket.setSocketOption(QAbstractSocket::KeepAliveOption, 1);
#ifdef Q_OS_LINUX
    const int fd = int(socket.socketDescriptor());
    const int idle = KeepAliveIdleSeconds, interval = KeepAliveIntervalSeconds,
              probes = KeepAliveProbes;
    const unsigned userTimeout = UserTimeoutMs;
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof idle);
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval);
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &probes, sizeof probes);
    ::setsockopt(fd, IPPROTO_TCP, TCP_USER_TIMEOUT, &userTimeout, sizeof userTimeout);
#endif
}

// An address as people write it: spaces around it, an IPv6 address in brackets.
QString plainHost(QString host) {
    host = host.trimmed();
    if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']')))
        host = host.mid(1, host.size() - 2);
    return host;
}

// Interfaces of containers and virtual machines: their addresses are no use to a friend.
bool isBridge(const QString& name) {
    for (const char* prefix : {"docker", "br-", "virbr", "veth"})
        if (name.startsWith(QLatin1String(prefix)))
            return true;
    return false;
}

// The interface that carries the default IPv4 route, from the kernel's routing table.
QString defaultRouteInterface() {
    QFile routes(QStringLiteral("/proc/net/route"));
    if (!routes.open(QIODevice::ReadOnly))
        return {};
    QString best;
    qint64 bestMetric = -1;
    for (const QByteArray& line : routes.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        // Iface Destination Gateway Flags RefCnt Use Metric ...; flag 1 is "up".
        if (fields.size() < 7 || fields[1] != "00000000" || !(fields[3].toInt(nullptr, 16) & 1))
            continue;
        const qint64 metric = fields[6].toLongLong();
        if (bestMetric < 0 || metric < bestMetric)
            best = QString::fromLatin1(fields[0]), bestMetric = metric;
    }
    return best;
}

bool usable(const QNetworkInterface& network) {
    const auto flags = network.flags();
    return flags.testFlag(QNetworkInterface::IsUp) && flags.testFlag(QNetworkInterface::IsRunning) &&
           !flags.testFlag(QNetworkInterface::IsLoopBack);
}

QString firstIPv4(const QNetworkInterface& network) {
    for (const QNetworkAddressEntry& entry : network.addressEntries())
        if (entry.ip().protocol() == QAbstractSocket::IPv4Protocol && !entry.ip().isLoopback())
            return entry.ip().toString();
    return {};
}

} // namespace

SocketLink::SocketLink(quint16 gamePort, QObject* parent)
    : QObject(parent), gamePort_(gamePort), stallTimeoutMs_(DefaultStallTimeoutMs) {
    connectTimer_.setSingleShot(true);
    stallTimer_.setSingleShot(true);
    connect(&connectTimer_, &QTimer::timeout, this, [this] { abandon(LinkFailure::NoAnswer); });
    connect(&stallTimer_, &QTimer::timeout, this, [this] { abandon(LinkFailure::PeerStalled); });
}

bool SocketLink::heardFromPeer() const {
    return heardFromPeer_ || (socket_ != nullptr && socket_->bytesAvailable() > 0);
}

void SocketLink::abandon(LinkFailure failure) {
    if (socket_ == nullptr || lostState_ != sckClosed)
        return;
    setFailure(failure);
    socket_->disconnect(this);
    socket_->abort();
    reportLost(sckError);
}

LinkFailure SocketLink::failureOf(QAbstractSocket::SocketError error, int systemError) const {
    const bool wasUp = socket_ != nullptr && !connectTimer_.isActive() &&
                       socket_->state() != QAbstractSocket::ConnectingState && everConnected_;
    return linkFailure(error, systemError, wasUp);
}

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

// The address a friend should be told: that of the interface the default route leaves by,
// else of the first real interface, else of any, else loopback.
QString SocketLink::LocalIP() const {
    const auto networks = QNetworkInterface::allInterfaces();
    const QString routed = defaultRouteInterface();
    for (const QNetworkInterface& network : networks)
        if (network.name() == routed && usable(network) && !firstIPv4(network).isEmpty())
            return firstIPv4(network);
    for (bool skipBridges : {true, false})
        for (const QNetworkInterface& network : networks)
            if (usable(network) && !(skipBridges && isBridge(network.name())) &&
                !firstIPv4(network).isEmpty())
                return firstIPv4(network);
    return QStringLiteral("127.0.0.1");
}

QStringList SocketLink::allAddresses() {
    QStringList found;
    for (const QNetworkInterface& network : QNetworkInterface::allInterfaces()) {
        if (!usable(network))
            continue;
        for (const QNetworkAddressEntry& entry : network.addressEntries()) {
            // A link-local address is no use to a friend without its scope.
            const QHostAddress ip = entry.ip();
            if (ip.isLinkLocal())
                continue;
            found << QStringLiteral("%1（%2）").arg(ip.toString(), network.humanReadableName());
        }
    }
    return found;
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
        const bool taken = server->serverError() == QAbstractSocket::AddressInUseError;
        delete server;
        throw linkError(
            taken
                ? QStringLiteral("端口 %1 已经被占用：这台电脑上也许已经有一个五子棋在做主机。")
                      .arg(localPort_)
                : QStringLiteral("不能在端口 %1 上做主机：%2").arg(localPort_).arg(reason));
    }
    server_ = server;
    connect(server_, &QTcpServer::newConnection, this, &SocketLink::takeNewConnections);
    qCDebug(lcLink) << "listening on port" << server_->serverPort();
}

void SocketLink::Connect() {
    Close();
    dropRequests();
    const QString host = plainHost(remoteHost_);
    if (host.isEmpty()) {
        throw linkError(QStringLiteral("请填写主机的地址。"));
    }
    if (remotePort_ == 0) {
        throw linkError(QStringLiteral("no port to connect to on %1").arg(host));
    }
    auto* socket = new QTcpSocket(this);
    if (localPort_ != 0 && !socket->bind(QHostAddress::Any, localPort_)) {
        const QString reason = socket->errorString();
        delete socket;
        throw linkError(QStringLiteral("不能使用本机端口 %1：%2").arg(localPort_).arg(reason));
    }
    takeConnection(socket);
    connectTimer_.start(ConnectTimeoutMs);
    connect(socket, &QTcpSocket::connected, this, [this] {
        connectTimer_.stop();
        qCDebug(lcLink) << "connected to" << socket_->peerAddress() << socket_->peerPort();
        emit Connected();
    });
    qCDebug(lcLink) << "connecting to" << host << remotePort_;
    startingConnect_ = true;
    socket->connectToHost(host, remotePort_);
    startingConnect_ = false;
    // The system can turn an address down at once (no route to that network). The caller
    // does not yet count the link as connecting and would take no notice of LinkLost.
    if (lostState_ != sckClosed) {
        const QString reason = lostReason_;
        Close();
        throw linkError(reason);
    }
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
    const QByteArray bytes = toAnsi(text);
    if (socket_->bytesToWrite() + bytes.size() > SendBufferBytes) {
        abandon(LinkFailure::PeerStalled);
        return;
    }
    socket_->write(bytes);
    if (!stallTimer_.isActive())
        stallTimer_.start(stallTimeoutMs_);
}

QByteArray SocketLink::GetData() {
    if (socket_ == nullptr) {
        return {};
    }
    const QByteArray bytes = socket_->readAll();
    bytesTaken_ += bytes.size();
    heardFromPeer_ = heardFromPeer_ || !bytes.isEmpty();
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
    // A move is three bytes and waits for nothing (no Nagle delay), and a vanished peer is
    // noticed by the system.
    if (socket->state() == QAbstractSocket::ConnectedState)
        keepAlive(*socket);
    else
        connect(socket, &QTcpSocket::connected, socket, [socket] { keepAlive(*socket); });
    socket_ = socket;
    lostState_ = sckClosed;
    lostReason_.clear();
    heardFromPeer_ = false;
    everConnected_ = socket->state() == QAbstractSocket::ConnectedState;
    connect(socket, &QTcpSocket::connected, this, [this] { everConnected_ = true; });
    connect(socket, &QTcpSocket::bytesWritten, this, [this] {
        stallTimer_.stop();
        if (socket_ && socket_->bytesToWrite() > 0)
            stallTimer_.start(stallTimeoutMs_);
    });
    connect(socket, &QTcpSocket::readyRead, this, &SocketLink::announceData);
    connect(socket, &QTcpSocket::disconnected, this, [this] { reportLost(sckClosing); });
    connect(socket, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError error) {
        // Qt raises this straight after the failed call, so errno is still that call's.
        const int systemError = errno;
        qCDebug(lcLink) << "socket error" << error << systemError << socket_->errorString();
        if (lostReason_.isEmpty())
            setFailure(failureOf(error, systemError));
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
    connectTimer_.stop();
    stallTimer_.stop();
    // What the system takes at once goes out; the rest is given up rather than waited for.
    // Unread bytes are taken first, so that closing ends the stream instead of resetting it.
    socket->readAll();
    if (socket->state() == QAbstractSocket::ConnectedState)
        socket->flush();
    if (socket->state() == QAbstractSocket::ConnectedState && socket->bytesToWrite() == 0)
        socket->disconnectFromHost();
    else
        socket->abort();
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

void SocketLink::setFailure(LinkFailure failure) {
    lostFailure_ = failure;
    lostReason_ = failureReason(failure, remotePort_);
}

void SocketLink::reportLost(int state) {
    if (lostState_ != sckClosed) {
        return; // the error and the disconnection of one ending are one loss
    }
    lostState_ = state;
    connectTimer_.stop();
    stallTimer_.stop();
    if (lostReason_.isEmpty())
        setFailure(LinkFailure::PeerClosed);
    qCDebug(lcLink) << "link lost:" << lostReason_;
    if (!startingConnect_)
        emit LinkLost();
}

} // namespace kelvane
