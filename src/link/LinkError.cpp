#include "link/LinkError.h"

#include <cerrno>

namespace kelvane {

LinkFailure linkFailure(QAbstractSocket::SocketError error, int systemError, bool wasUp) {
    switch (error) {
    case QAbstractSocket::ConnectionRefusedError:
        return LinkFailure::Refused;
    case QAbstractSocket::HostNotFoundError:
        return LinkFailure::UnknownName;
    case QAbstractSocket::RemoteHostClosedError:
        return LinkFailure::PeerClosed;
    default:
        break;
    }
    if (wasUp)
        return LinkFailure::PeerSilent;
    if (systemError == ENETUNREACH || systemError == EHOSTUNREACH)
        return LinkFailure::Unreachable;
    // While connecting, Qt's NetworkError stands for either errno above, or for the system's
    // own connect timeout, which is no answer.
    if (error == QAbstractSocket::NetworkError && systemError != ETIMEDOUT)
        return LinkFailure::Unreachable;
    return LinkFailure::NoAnswer;
}

QString failureReason(LinkFailure failure, quint16 port) {
    switch (failure) {
    case LinkFailure::Refused:
        return QStringLiteral("对方拒绝了连线：那里没有人在做主机。");
    case LinkFailure::UnknownName:
        return QStringLiteral("找不到这个主机名。");
    case LinkFailure::Unreachable:
        return QStringLiteral("网络不通：这台电脑到不了那个地址。");
    case LinkFailure::NoAnswer:
        break;
    case LinkFailure::PeerClosed:
        return QStringLiteral("对方断开了连线。");
    case LinkFailure::PeerSilent:
        return QStringLiteral("对方很久没有回应，连线已经断开：也许网线断了，或者对方的电脑睡着了。");
    case LinkFailure::PeerStalled:
        return QStringLiteral("对方很久不接收数据，连线已经断开。");
    }
    return QStringLiteral("主机没有回应：地址可能不对，或者对方的防火墙没有打开 TCP %1 端口。")
        .arg(port);
}

} // namespace kelvane
