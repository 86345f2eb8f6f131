#include "lan/AvahiDiscovery.h"

#include "Version.h"
#include "lan/AvahiQtPoll.h"

#include <QHostAddress>
#include <QLoggingCategory>

#include <avahi-client/client.h>
#include <avahi-client/lookup.h>
#include <avahi-client/publish.h>
#include <avahi-common/alternative.h>
#include <avahi-common/error.h>
#include <avahi-common/malloc.h>

#include <net/if.h>

#include <algorithm>

Q_LOGGING_CATEGORY(lcDiscovery, "kelvane.discovery", QtInfoMsg)

namespace kelvane {

namespace {

// How long to wait before trying the system bus again when it could not be reached at all.
// A missing daemon needs no retry: the client waits for it by itself.
constexpr int RetryMs = 5000;
// More of a TXT value is never looked at.
constexpr size_t MaxTxtValueBytes = 256;

// Network text without control and formatting characters (bidi overrides among them, which
// could make one name look like another), cut to maxLength characters.
QString Clean(const QString& text, int maxLength) {
    QString out;
    int kept = 0;
    for (const char32_t c : text.toUcs4()) {
        if (kept == maxLength)
            break;
        switch (QChar::category(c)) {
        case QChar::Other_Control:
        case QChar::Other_Format:
        case QChar::Other_Surrogate:
        case QChar::Separator_Line:
        case QChar::Separator_Paragraph:
            continue;
        default:
            out += QString::fromUcs4(&c, 1);
            ++kept;
        }
    }
    return out.trimmed();
}

// A DNS-SD instance name is one DNS label: at most 63 bytes of UTF-8.
QByteArray OwnServiceName(const QString& playerName) {
    QList<uint> chars = Clean(playerName, AvahiDiscovery::MaxNameLength).toUcs4();
    QByteArray name;
    while (!chars.isEmpty()) {
        name = QString::fromUcs4(reinterpret_cast<const char32_t*>(chars.constData()), chars.size())
                   .toUtf8();
        if (name.size() <= 63)
            break;
        chars.removeLast();
    }
    return name.isEmpty() ? QByteArray(ApplicationTitle) : name;
}

QByteArray VersionTxt() {
    return QStringLiteral("version=%1.%2.%3")
        .arg(VersionMajor)
        .arg(VersionMinor)
        .arg(VersionRevision)
        .toUtf8();
}

bool IsIPv4(const QString& address) {
    return !address.contains(u':');
}

// Link-local IPv6 addresses are only usable with the interface they were found on.
QString AddressText(const AvahiAddress* address, AvahiIfIndex interface) {
    char text[AVAHI_ADDRESS_STR_MAX] = {};
    avahi_address_snprint(text, sizeof text, address);
    QHostAddress host(QString::fromLatin1(text));
    char ifName[IF_NAMESIZE] = {};
    if (host.protocol() == QAbstractSocket::IPv6Protocol && host.isLinkLocal() && interface > 0 &&
        if_indextoname(static_cast<unsigned>(interface), ifName))
        host.setScopeId(QString::fromLatin1(ifName));
    return host.toString();
}

QString TxtVersion(AvahiStringList* txt) {
    AvahiStringList* entry = avahi_string_list_find(txt, "version");
    char* key = nullptr;
    char* value = nullptr;
    size_t size = 0;
    if (!entry || avahi_string_list_get_pair(entry, &key, &value, &size) < 0)
        return {};
    const QString version =
        value ? QString::fromUtf8(value, static_cast<qsizetype>(std::min(size, MaxTxtValueBytes)))
              : QString();
    avahi_free(key);
    avahi_free(value);
    return Clean(version, AvahiDiscovery::MaxVersionLength);
}

} // namespace

struct AvahiCallbacks {
    static void client(AvahiClient* c, AvahiClientState state, void* data) {
        auto* self = static_cast<AvahiDiscovery*>(data);
        // Called before avahi_client_new() returns, too.
        self->client_ = c;
        switch (state) {
        case AVAHI_CLIENT_S_RUNNING:
            self->publish();
            self->browse();
            break;
        case AVAHI_CLIENT_S_COLLISION:
        case AVAHI_CLIENT_S_REGISTERING:
            // The daemon is renaming the machine: our records go, and come back when it runs.
            self->dropGroup();
            break;
        case AVAHI_CLIENT_FAILURE: {
            // The daemon went away (or the bus did). A new client waits for the next daemon;
            // the old one is freed outside its own callback.
            const int error = avahi_client_errno(c);
            qCDebug(lcDiscovery) << "Avahi client failed:" << avahi_strerror(error);
            QMetaObject::invokeMethod(
                self,
                [self, c, error] {
                    if (self->client_ != c)
                        return;
                    self->dropClient();
                    if (error == AVAHI_ERR_DISCONNECTED)
                        self->connectClient();
                    else
                        self->retry_.start();
                },
                Qt::QueuedConnection);
            break;
        }
        case AVAHI_CLIENT_CONNECTING:
            qCDebug(lcDiscovery) << "No Avahi daemon yet; waiting for one";
            break;
        }
    }

    static void group(AvahiEntryGroup* g, AvahiEntryGroupState state, void* data) {
        auto* self = static_cast<AvahiDiscovery*>(data);
        if (self->group_ != g)
            return;
        if (state == AVAHI_ENTRY_GROUP_ESTABLISHED) {
            qCDebug(lcDiscovery) << "Announced as" << self->serviceName_;
        } else if (state == AVAHI_ENTRY_GROUP_COLLISION) {
            self->rename();
            self->publish();
        } else if (state == AVAHI_ENTRY_GROUP_FAILURE) {
            qCDebug(lcDiscovery) << "Announcement failed:"
                                 << avahi_strerror(avahi_client_errno(self->client_));
            QMetaObject::invokeMethod(
                self,
                [self, g] {
                    if (self->group_ == g)
                        self->dropGroup();
                },
                Qt::QueuedConnection);
        }
    }

    static void browse(AvahiServiceBrowser* b, AvahiIfIndex interface, AvahiProtocol protocol,
                       AvahiBrowserEvent event, const char* name, const char*, const char* domain,
                       AvahiLookupResultFlags, void* data) {
        auto* self = static_cast<AvahiDiscovery*>(data);
        if (self->browser_ != b)
            return;
        if (event == AVAHI_BROWSER_FAILURE) {
            qCDebug(lcDiscovery) << "Browsing failed";
            QMetaObject::invokeMethod(
                self,
                [self, b] {
                    if (self->browser_ == b)
                        self->dropBrowser();
                },
                Qt::QueuedConnection);
            return;
        }
        if ((event != AVAHI_BROWSER_NEW && event != AVAHI_BROWSER_REMOVE) || !name || !domain)
            return;
        const auto same = [&](const AvahiDiscovery::Service& s) {
            return s.interface == interface && s.protocol == protocol && s.name == name &&
                   s.domain == domain;
        };
        auto& services = self->services_;
        auto& crowd = self->crowdedOut_;
        auto it = std::find_if(services.begin(), services.end(), same);
        if (event == AVAHI_BROWSER_REMOVE) {
            crowd.erase(std::remove_if(crowd.begin(), crowd.end(), same), crowd.end());
            if (it != services.end()) {
                self->forget(it);
                self->refill();
            }
            return;
        }
        if (it != services.end() || std::any_of(crowd.begin(), crowd.end(), same))
            return;
        qCDebug(lcDiscovery) << "Seen" << name
                             << (protocol == AVAHI_PROTO_INET6 ? "on IPv6" : "on IPv4");
        self->admit({interface, protocol, name, domain, ++self->seenCount_, nullptr, 0, false, {}});
    }

    static void resolve(AvahiServiceResolver* r, AvahiIfIndex interface, AvahiProtocol,
                        AvahiResolverEvent event, const char* name, const char*, const char*,
                        const char*, const AvahiAddress* address, uint16_t port,
                        AvahiStringList* txt, AvahiLookupResultFlags, void* data) {
        auto* self = static_cast<AvahiDiscovery*>(data);
        auto it = std::find_if(self->services_.begin(), self->services_.end(),
                               [r](auto& s) { return s.resolver == r; });
        if (it == self->services_.end())
            return;
        // One answer is all we ask of a resolver.
        avahi_service_resolver_free(r);
        it->resolver = nullptr;
        const QString shownName =
            name ? Clean(QString::fromUtf8(name), AvahiDiscovery::MaxNameLength) : QString();
        if (event == AVAHI_RESOLVER_FOUND && address && !shownName.isEmpty()) {
            it->resolved = true;
            it->host = {shownName, AddressText(address, interface), port, TxtVersion(txt)};
            self->noteChange();
            self->startResolvers();
        } else {
            // Its place goes to another; it is asked again only if it is announced anew.
            qCDebug(lcDiscovery) << "Could not resolve" << it->name;
            self->forget(it);
            self->refill();
        }
    }
};

AvahiDiscovery::AvahiDiscovery(QObject* parent) : Discovery(parent), poll_(new AvahiQtPoll(this)) {
    retry_.setSingleShot(true);
    retry_.setInterval(RetryMs);
    connect(&retry_, &QTimer::timeout, this, &AvahiDiscovery::connectClient);
    clock_.start();
    resolveCheck_.setInterval(ResolveTimeoutMs / 6);
    connect(&resolveCheck_, &QTimer::timeout, this, &AvahiDiscovery::giveUpSlowResolvers);
}

AvahiDiscovery::~AvahiDiscovery() {
    // Freeing the client frees its entry group, browser and resolvers, and so withdraws.
    if (client_)
        avahi_client_free(client_);
}

void AvahiDiscovery::announce(const QString& playerName, quint16 port) {
    announcing_ = true;
    serviceName_ = OwnServiceName(playerName);
    port_ = port;
    if (client_)
        publish();
    else
        connectClient();
}

void AvahiDiscovery::withdraw() {
    announcing_ = false;
    dropGroup();
}

void AvahiDiscovery::startBrowsing() {
    browsing_ = true;
    if (client_)
        browse();
    else
        connectClient();
}

void AvahiDiscovery::stopBrowsing() {
    browsing_ = false;
    dropBrowser();
}

QList<DiscoveredHost> AvahiDiscovery::hosts() const {
    // A host is seen once per interface and protocol; show it once, by IPv4 where it has it.
    QList<DiscoveredHost> hosts;
    for (const Service& s : services_) {
        if (!s.resolved)
            continue;
        auto same = std::find_if(hosts.begin(), hosts.end(),
                                 [&](const DiscoveredHost& h) { return h.name == s.host.name; });
        if (same == hosts.end())
            hosts.append(s.host);
        else if (!IsIPv4(same->address) && IsIPv4(s.host.address))
            *same = s.host;
    }
    std::sort(hosts.begin(), hosts.end(), [](const DiscoveredHost& a, const DiscoveredHost& b) {
        const int byName = a.name.compare(b.name, Qt::CaseInsensitive);
        return byName != 0 ? byName < 0 : a.address < b.address;
    });
    return hosts;
}

void AvahiDiscovery::connectClient() {
    if (client_ || (!announcing_ && !browsing_))
        return;
    int error = 0;
    AvahiClient* c = avahi_client_new(poll_->poll(), AVAHI_CLIENT_NO_FAIL, &AvahiCallbacks::client,
                                      this, &error);
    client_ = c;
    if (!c) {
        qCDebug(lcDiscovery) << "No Avahi client:" << avahi_strerror(error);
        retry_.start();
    }
}

void AvahiDiscovery::dropClient() {
    if (client_)
        avahi_client_free(client_);
    client_ = nullptr;
    group_ = nullptr;
    browser_ = nullptr;
    for (Service& s : services_)
        s.resolver = nullptr;
    clearServices();
}

bool AvahiDiscovery::running() const {
    return client_ && avahi_client_get_state(client_) == AVAHI_CLIENT_S_RUNNING;
}

void AvahiDiscovery::rename() {
    char* alternative = avahi_alternative_service_name(serviceName_.constData());
    qCDebug(lcDiscovery) << "Name" << serviceName_ << "taken; trying" << alternative;
    serviceName_ = alternative;
    avahi_free(alternative);
}

void AvahiDiscovery::publish() {
    if (!announcing_ || !running())
        return;
    if (group_)
        avahi_entry_group_reset(group_);
    else if (!(group_ = avahi_entry_group_new(client_, &AvahiCallbacks::group, this)))
        return;
    const QByteArray txt = VersionTxt();
    // Another service of ours may hold the name already; a handful of renames settle that.
    for (int attempt = 0; attempt < 16; ++attempt) {
        int result = avahi_entry_group_add_service(group_, AVAHI_IF_UNSPEC, AVAHI_PROTO_UNSPEC,
                                                   AvahiPublishFlags(0), serviceName_.constData(),
                                                   ServiceType, nullptr, nullptr, port_,
                                                   txt.constData(), nullptr);
        if (result == AVAHI_ERR_COLLISION) {
            rename();
            continue;
        }
        if (result >= 0)
            result = avahi_entry_group_commit(group_);
        if (result < 0) {
            qCWarning(lcDiscovery) << "Cannot announce the game:" << avahi_strerror(result);
            dropGroup();
        }
        return;
    }
    dropGroup();
}

void AvahiDiscovery::dropGroup() {
    if (group_)
        avahi_entry_group_free(group_);
    group_ = nullptr;
}

void AvahiDiscovery::browse() {
    if (!browsing_ || browser_ || !running())
        return;
    browser_ =
        avahi_service_browser_new(client_, AVAHI_IF_UNSPEC, AVAHI_PROTO_UNSPEC, ServiceType,
                                  nullptr, AvahiLookupFlags(0), &AvahiCallbacks::browse, this);
    if (!browser_)
        qCDebug(lcDiscovery) << "Cannot browse:" << avahi_strerror(avahi_client_errno(client_));
}

void AvahiDiscovery::dropBrowser() {
    for (Service& s : services_) {
        if (s.resolver)
            avahi_service_resolver_free(s.resolver);
        s.resolver = nullptr;
    }
    if (browser_)
        avahi_service_browser_free(browser_);
    browser_ = nullptr;
    clearServices();
}

void AvahiDiscovery::clearServices() {
    const bool shown = std::any_of(services_.begin(), services_.end(),
                                   [](const Service& s) { return s.resolved; });
    services_.clear();
    crowdedOut_.clear();
    resolveCheck_.stop();
    if (shown)
        noteChange();
}

// A newly seen service always gets a place: when the list is full the stalest entry makes
// room, so a crowd of strangers cannot keep a real host out.
void AvahiDiscovery::admit(Service service) {
    const auto bySeen = [](const Service& a, const Service& b) { return a.seen < b.seen; };
    if (services_.size() >= size_t(MaxServices)) {
        auto stalest = std::min_element(services_.begin(), services_.end(), bySeen);
        qCDebug(lcDiscovery) << "Crowded out:" << stalest->name;
        // Remembered as not yet asked, to be asked afresh when it gets a place again.
        Service out = *stalest;
        out.resolver = nullptr;
        out.resolved = false;
        forget(stalest);
        crowdedOut_.push_back(std::move(out));
        if (crowdedOut_.size() > size_t(MaxCrowdedOut))
            crowdedOut_.erase(std::min_element(crowdedOut_.begin(), crowdedOut_.end(), bySeen));
    }
    services_.push_back(std::move(service));
    startResolvers();
}

// Places that free up go to the services crowded out, newest first.
void AvahiDiscovery::refill() {
    while (services_.size() < size_t(MaxServices) && !crowdedOut_.empty()) {
        auto newest =
            std::max_element(crowdedOut_.begin(), crowdedOut_.end(),
                             [](const Service& a, const Service& b) { return a.seen < b.seen; });
        services_.push_back(std::move(*newest));
        crowdedOut_.erase(newest);
    }
    startResolvers();
}

// Resolvers run a few at a time, newest service first: a host that has just appeared does not
// wait behind a crowd that may never answer.
void AvahiDiscovery::startResolvers() {
    int active = int(std::count_if(services_.begin(), services_.end(),
                                   [](const Service& s) { return s.resolver; }));
    while (active < MaxResolvers && running()) {
        auto next = services_.end();
        for (auto it = services_.begin(); it != services_.end(); ++it)
            if (!it->resolved && !it->resolver &&
                (next == services_.end() || it->seen > next->seen))
                next = it;
        if (next == services_.end())
            break;
        // The address is asked in the family the service was seen on, as Avahi publishes it.
        next->resolver = avahi_service_resolver_new(
            client_, next->interface, next->protocol, next->name.constData(), ServiceType,
            next->domain.constData(), next->protocol, AvahiLookupFlags(0), &AvahiCallbacks::resolve,
            this);
        next->askedAt = clock_.elapsed();
        if (next->resolver)
            ++active;
        else
            forget(next);
    }
    if (active == 0)
        resolveCheck_.stop();
    else if (!resolveCheck_.isActive())
        resolveCheck_.start();
}

void AvahiDiscovery::giveUpSlowResolvers() {
    bool gaveUp = false;
    for (auto it = services_.begin(); it != services_.end();) {
        if (it->resolver && clock_.elapsed() - it->askedAt >= ResolveTimeoutMs) {
            qCDebug(lcDiscovery) << "No answer from" << it->name;
            it = forget(it);
            gaveUp = true;
        } else {
            ++it;
        }
    }
    if (gaveUp)
        refill();
}

std::vector<AvahiDiscovery::Service>::iterator
AvahiDiscovery::forget(std::vector<Service>::iterator it) {
    if (it->resolver)
        avahi_service_resolver_free(it->resolver);
    if (it->resolved)
        noteChange();
    return services_.erase(it);
}

void AvahiDiscovery::noteChange() {
    if (changePending_)
        return;
    changePending_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            changePending_ = false;
            emit hostsChanged();
        },
        Qt::QueuedConnection);
}

} // namespace kelvane
