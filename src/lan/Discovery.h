#pragma once

#include <QList>
#include <QObject>
#include <QString>

namespace kelvane {

// A game found on the local network. Name and version come from whoever answered on the LAN:
// they are cut short and free of control characters, but they are still someone else's text,
// to be shown as plain text only.
struct DiscoveredHost {
    QString name;    // the hosting player's name
    QString address; // numeric IPv4 address where the host has one, else IPv6 ("fe80::1%eth0")
    quint16 port = 0;
    QString version; // the host's program version, empty if it gave none
};

// Finding games on the LAN, and being found. Nothing here fails loudly or waits for a daemon:
// without a discovery service on the machine nothing is announced and nothing is found.
class Discovery : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // Announces a game hosted by playerName on port, replacing any earlier announcement; kept
    // up until withdraw(), also across a restart of the system's discovery service.
    virtual void announce(const QString& playerName, quint16 port) = 0;
    virtual void withdraw() = 0;

    // Follows the hosts on the network until stopBrowsing(), which empties hosts().
    virtual void startBrowsing() = 0;
    virtual void stopBrowsing() = 0;
    // Sorted by name; at most a few dozen, however many hosts answer.
    virtual QList<DiscoveredHost> hosts() const = 0;

signals:
    // At most once per turn of the event loop, however many hosts came and went.
    void hostsChanged();
};

} // namespace kelvane
