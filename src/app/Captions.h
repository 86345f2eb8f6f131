#pragma once

#include "game/GameModel.h"

#include <QString>

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

} // namespace kelvane::captions
