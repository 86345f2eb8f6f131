#pragma once

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QAbstractSocket>

#include "link/LinkError.h"

class QTcpServer;
class QTcpSocket;

namespace kelvane {

// Takes the place of the Winsock control `wskLink`: one TCP link to exactly one peer,
// with the control's properties, methods and events. Strings go out in the ANSI code page
// (GBK); GetData hands back the raw bytes so that they are decoded after framing.
class SocketLink : public QObject {
    Q_OBJECT

public:
    enum State {
        sckClosed = 0,
        sckOpen = 1,
        sckListening = 2,
        sckResolvingHost = 4,
        sckConnecting = 6,
        sckConnected = 7,
        sckClosing = 8,
        sckError = 9
    };

    // The program always plays on 5238; tests pass 0 so that the system picks a free port.
    explicit SocketLink(quint16 gamePort = 5238, QObject* parent = nullptr);
    ~SocketLink() override;

    quint16 GamePort() const { return gamePort_; }
    int State() const;

    // This machine's address to give a friend: the IPv4 address of the interface that
    // carries the default route, else of the first interface that is up and no container or
    // virtual machine bridge, else of any interface that is up, else "127.0.0.1".
    QString LocalIP() const;
    // Every usable address of the machine, IPv4 and IPv6, each with its interface.
    static QStringList allAddresses();
    void setLocalPort(quint16 port) { localPort_ = port; }
    quint16 LocalPort() const { return localPort_; }
    // The port actually bound by Listen (differs from LocalPort when that is 0).
    quint16 ListeningPort() const;
    void setRemoteHost(const QString& host) { remoteHost_ = host; }
    void setRemotePort(quint16 port) { remotePort_ = port; }

    // Listens on LocalPort on every address. Throws LinkError when it cannot.
    void Listen();
    // Starts connecting to RemoteHost:RemotePort and returns at once: success raises
    // Connected, a failure found later raises LinkLost, and no answer within 10 s is such a
    // failure. The host may be an IPv4 or IPv6 address, in brackets or not, or a name.
    // Throws LinkError for failures known at once.
    void Connect();
    // Never defined: it makes `&SocketLink::Connect` ambiguous, so code that takes the
    // method for the connected event fails to compile instead of connecting to nothing.
    void Connect(int) = delete;
    // Takes the connection of an announced request and stops listening: one peer only.
    void Accept(qint32 requestID);

    // Sends the text in GBK with nothing added; does nothing without a connection. A peer
    // that lets more than 1 MiB pile up, or takes nothing for the stall time, is lost.
    void SendData(const QString& text);
    // Everything received and not yet taken, raw.
    QByteArray GetData();
    // Ends listening, connecting or the connection, at once: what the system takes at once
    // still reaches the peer, the rest is given up. Harmless on a closed link.
    void Close();

    // Why the link ended or the connection could not be made, in the player's words;
    // empty after our own Close.
    QString lostReason() const { return lostReason_; }
    // The same, as a kind; meaningful only while lostReason() is not empty.
    LinkFailure lostFailure() const { return lostFailure_; }
    // Whether the peer of this connection has sent anything yet.
    bool heardFromPeer() const;
    void setStallTimeout(int ms) { stallTimeoutMs_ = ms; }

signals:
    // Host: a peer wants to join; Accept(requestID) takes it.
    void ConnectionRequest(qint32 requestID);
    // Joining side: the connection to the host is up. (The control called this event
    // Connect, like the method; C++ cannot give both one name.)
    void Connected();
    // Bytes have arrived; GetData takes them.
    void DataArrival(qint32 bytesTotal);
    // The peer closed the connection or it broke, or a connection attempt failed. Never
    // raised by our own Close.
    void LinkLost();

private:
    void stopListening();
    void dropRequests();
    void takeConnection(QTcpSocket* socket);
    void releaseConnection();
    void takeNewConnections();
    void announceData();
    void announceBufferedLater();
    void reportLost(int state);
    void abandon(LinkFailure failure);
    void setFailure(LinkFailure failure);
    LinkFailure failureOf(QAbstractSocket::SocketError error, int systemError) const;

    quint16 gamePort_;
    quint16 localPort_ = 0;
    QString remoteHost_;
    quint16 remotePort_ = 0;

    QTcpServer* server_ = nullptr;
    QTcpSocket* socket_ = nullptr;
    // A broken connection keeps its socket, so that bytes that came before the end can
    // still be read; this tells State() why it ended.
    int lostState_ = sckClosed;
    QString lostReason_;
    LinkFailure lostFailure_ = LinkFailure::PeerClosed;
    bool heardFromPeer_ = false;
    bool everConnected_ = false;
    bool startingConnect_ = false; // a failure now is thrown by Connect, not raised
    int stallTimeoutMs_;
    QTimer connectTimer_;
    QTimer stallTimer_;
    qint64 bytesTaken_ = 0;
    QHash<qint32, QTcpSocket*> requests_;
    qint32 nextRequestID_ = 1;
};

} // namespace kelvane
