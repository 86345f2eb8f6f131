#pragma once

#include "game/GameModel.h"
#include "lan/PortMapping.h"

#include <QHostAddress>
#include <QString>
#include <QStringList>

#include <algorithm>

namespace kelvane::captions {

// The link's state as the status line shows it.
inline const QString StatusWaiting = QStringLiteral("等待加入中");
inline const QString StatusConnecting = QStringLiteral("正在连线到主机");
inline const QString StatusConnected = QStringLiteral("连线中");
inline const QString StatusNotConnected = QStringLiteral("尚未连线");

inline QString Status(LinkState state) {
    switch (state) {
    case LinkState::Idle:
        return {};
    case LinkState::Waiting:
        return StatusWaiting;
    case LinkState::Connecting:
        return StatusConnecting;
    case LinkState::Connected:
        return StatusConnected;
    case LinkState::NotConnected:
        return StatusNotConnected;
    }
    return {};
}

inline const QString YouWon = QStringLiteral("你赢了，继续努力。");
inline const QString YouLost = QStringLiteral("你输了，要加油喔。");

// Both colour prefixes are exactly three characters: the receiver of a name strips three.
inline const QString BlackPrefix = QStringLiteral("黑方：");
inline const QString WhitePrefix = QStringLiteral("白方：");
inline constexpr int PrefixLength = 3;
inline const QString Says = QStringLiteral("说：");

// The computer names itself with its level, as 和电脑下 lists them.
inline QString ComputerName(int strength) {
    const QString levels[] = {QStringLiteral("初级"), QStringLiteral("中级"), QStringLiteral("高级")};
    return QStringLiteral("电脑（%1）").arg(levels[std::clamp(strength, 1, 3) - 1]);
}

inline const QString HostAddressLabel = QStringLiteral("你的主机IP");
inline const QString JoinAddressLabel = QStringLiteral("连线主机IP");
inline const QString AnyAddress = QStringLiteral("0.0.0.0");
inline const QString HostAddressNote = QStringLiteral("把这个地址告诉对方。这台电脑的全部地址：\n");
inline const QString JoinAddressNote =
    QStringLiteral("主机的 IPv4 或 IPv6 地址，或者它的名字（例如 name.local）");

// What the router made of forwarding the game port, as the waiting host's note says it.
inline const QString RouterAsking = QStringLiteral("正在请路由器打开端口 %1……");
inline const QString RouterOpened = QStringLiteral("家庭网络以外的朋友用这个地址加入：%1");
inline const QString RouterNone = QStringLiteral("路由器没有回应打开端口 %1 的请求");
inline const QString RouterRefused = QStringLiteral("路由器拒绝打开端口 %1");
inline const QString RouterTaken = QStringLiteral("路由器已经把端口 %1 转给网络里的另一台电脑");
inline const QString RouterShared =
    QStringLiteral("路由器的外部地址%1不是公网地址，而是网络供应商让多户人家共用的");
inline const QString OutsideCannotJoin =
    QStringLiteral("，家庭网络以外的朋友连不进来；同一网络里的朋友照样可以加入");
inline const QString OutsideByIPv6 =
    QStringLiteral("，外面的朋友可以用 IPv6 地址 %1 或者同一个 VPN 连进来。");
inline const QString OutsideByVpn = QStringLiteral("，外面的朋友可以和你加入同一个 VPN 再连进来。");

// What still works when the router does not forward the port, with the first global IPv6
// address among `own` if there is one.
inline QString OutsideStill(const QStringList& own) {
    for (const QString& entry : own) {
        const QHostAddress ip(entry.section(QChar(0xFF08), 0, 0));
        if (ip.protocol() == QAbstractSocket::IPv6Protocol && ip.isGlobal() &&
            !ip.isUniqueLocalUnicast())
            return OutsideCannotJoin + OutsideByIPv6.arg(ip.toString());
    }
    return OutsideCannotJoin + OutsideByVpn;
}

// Every address a friend can use while the host waits, best first: the router's outside
// address, then this machine's own. `own` is as SocketLink::allAddresses() gives it.
inline QString HostAddresses(RouterAnswer answer, const QString& outside, quint16 port,
                             const QStringList& own) {
    const QString number = QString::number(port);
    QString note;
    switch (answer) {
    case RouterAnswer::None:
        break;
    case RouterAnswer::Asking:
        note = RouterAsking.arg(number);
        break;
    case RouterAnswer::Opened:
        note = RouterOpened.arg(outside);
        break;
    case RouterAnswer::NoRouter:
        note = RouterNone.arg(number) + OutsideStill(own);
        break;
    case RouterAnswer::Refused:
        note = RouterRefused.arg(number) + OutsideStill(own);
        break;
    case RouterAnswer::Taken:
        note = RouterTaken.arg(number) + OutsideStill(own);
        break;
    case RouterAnswer::Shared:
        note = RouterShared.arg(outside.isEmpty() ? QString() : u' ' + outside + u' ') +
               OutsideStill(own);
        break;
    }
    if (!own.isEmpty())
        note += (note.isEmpty() ? QString() : QStringLiteral("\n")) + HostAddressNote +
                own.join(QLatin1Char('\n'));
    return note;
}

} // namespace kelvane::captions
