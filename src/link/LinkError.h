#pragma once

#include <QAbstractSocket>
#include <QString>
#include <stdexcept>

namespace kelvane {

// A failure of the link that is known while a call runs (a port already in use, nothing to
// connect to). The logon dialog's OK catches it; everywhere else it ends the program.
class LinkError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Why a connection could not be made, or why it ended.
enum class LinkFailure {
    Refused,     // nobody hosts at that address
    UnknownName, // the name does not resolve
    Unreachable, // this machine has no route to that address
    NoAnswer,    // a wrong address or a closed firewall
    PeerClosed,  // the peer closed the connection
    PeerSilent,  // the peer vanished: a pulled cable, a sleeping machine
    PeerStalled, // the peer takes nothing of what we send
};

// Chosen from the socket's error code and the system's errno at the time, never from Qt's
// error text, which is translated. `wasUp`: the connection had been made.
LinkFailure linkFailure(QAbstractSocket::SocketError error, int systemError, bool wasUp);
// The failure in the player's words; `port` is the one the host's firewall must open.
QString failureReason(LinkFailure failure, quint16 port);

} // namespace kelvane
