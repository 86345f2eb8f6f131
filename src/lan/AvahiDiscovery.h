#pragma once

#include "lan/Discovery.h"

#include <QElapsedTimer>
#include <QTimer>

#include <vector>

struct AvahiClient;
struct AvahiEntryGroup;
struct AvahiServiceBrowser;
struct AvahiServiceResolver;

namespace kelvane {

class AvahiQtPoll;

// DNS-SD through the system's Avahi daemon, on this thread's event loop. The client never
// fails for want of a daemon: it waits for one, and announcing and browsing pick up again
// whenever a daemon (re)appears.
class AvahiDiscovery : public Discovery {
    Q_OBJECT
public:
    static constexpr const char* ServiceType = "_kelvane._tcp";
    // Bounds on what strangers on the LAN can make us keep and do.
    static constexpr int MaxServices = 64;
    // Services crowded out of the list, remembered by name only, to take places that free up.
    static constexpr int MaxCrowdedOut = 1024;
    static constexpr int MaxResolvers = 8;
    // A service not resolved by then gives up its place.
    static constexpr int ResolveTimeoutMs = 3000;
    static constexpr int MaxNameLength = 63;
    static constexpr int MaxVersionLength = 32;

    explicit AvahiDiscovery(QObject* parent = nullptr);
    ~AvahiDiscovery() override;

    void announce(const QString& playerName, quint16 port) override;
    void withdraw() override;
    void startBrowsing() override;
    void stopBrowsing() override;
    QList<DiscoveredHost> hosts() const override;

private:
    // One service as seen on one interface and protocol; hosts() merges them by name.
    struct Service {
        int interface;
        int protocol;
        QByteArray name;
        QByteArray domain;
        quint64 seen = 0; // order of first sight: the smallest is the stalest
        AvahiServiceResolver* resolver = nullptr;
        qint64 askedAt = 0;
        bool resolved = false;
        DiscoveredHost host;
    };

    // The C callbacks, with Avahi's own types, live beside the implementation.
    friend struct AvahiCallbacks;

    void connectClient();
    void dropClient();
    void rename();
    void publish();
    void dropGroup();
    void browse();
    void dropBrowser();
    void clearServices();
    void admit(Service service);
    void startResolvers();
    void giveUpSlowResolvers();
    std::vector<Service>::iterator forget(std::vector<Service>::iterator it);
    void refill();
    void noteChange();
    bool running() const;

    AvahiQtPoll* poll_;
    AvahiClient* client_ = nullptr;
    AvahiEntryGroup* group_ = nullptr;
    AvahiServiceBrowser* browser_ = nullptr;
    QTimer retry_;

    bool announcing_ = false;
    QByteArray serviceName_;
    quint16 port_ = 0;
    bool browsing_ = false;
    std::vector<Service> services_;
    std::vector<Service> crowdedOut_;
    quint64 seenCount_ = 0;
    QElapsedTimer clock_;
    QTimer resolveCheck_;
    bool changePending_ = false;
};

} // namespace kelvane
