#include "lan/RouterPortMapping.h"

#include <QHostAddress>
#include <QLoggingCategory>

#include <miniupnpc/miniupnpc.h>
#include <miniupnpc/upnpcommands.h>
#include <natpmp.h>

#include <arpa/inet.h>
#include <poll.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>

namespace kelvane {

Q_LOGGING_CATEGORY(lcRouter, "kelvane.router", QtWarningMsg)

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr int LeaseSeconds = 3600;
constexpr auto RenewAfter = std::chrono::seconds(LeaseSeconds / 2);
// Per kind of device searched for; routers answer within a second when asked so.
constexpr int DiscoverMs = 1000;
constexpr int NatPmpWaitMs = 2000;
// On the way out the removal gets one short try: the program is not kept alive for it.
constexpr int LastRemovalMs = 800;
constexpr auto ExitWait = milliseconds(1500);
// The UPnP error for a forwarding that exists already for another machine.
constexpr int ConflictInMappingEntry = 718;

// Nobody outside reaches these: private networks, the providers' shared range (RFC 6598) and
// the rest that never leave a link.
bool Unreachable(const QString& address) {
    const QHostAddress a(address);
    if (a.protocol() != QAbstractSocket::IPv4Protocol)
        return true;
    static const std::pair<const char*, int> Closed[] = {
        {"0.0.0.0", 8},      {"10.0.0.0", 8},    {"100.64.0.0", 10}, {"127.0.0.0", 8},
        {"169.254.0.0", 16}, {"172.16.0.0", 12}, {"192.168.0.0", 16}};
    return std::any_of(std::begin(Closed), std::end(Closed), [&](const auto& net) {
        return a.isInSubnet(QHostAddress(QString::fromLatin1(net.first)), net.second);
    });
}

// The answer to the NAT-PMP request just sent, waiting at most `ms` however the gateway
// behaves. Negative when there is none; a gateway that answered with an error gives one of
// the result codes, NATPMP_ERR_UNSUPPORTEDVERSION and below.
int Await(natpmp_t& natpmp, natpmpresp_t& response, int ms) {
    const auto end = Clock::now() + milliseconds(ms);
    for (;;) {
        const int read = readnatpmpresponseorretry(&natpmp, &response);
        if (read != NATPMP_TRYAGAIN)
            return read;
        const auto left = std::chrono::duration_cast<milliseconds>(end - Clock::now()).count();
        if (left <= 0)
            return NATPMP_ERR_NOGATEWAYSUPPORT;
        timeval retry{};
        getnatpmprequesttimeout(&natpmp, &retry);
        const long long untilRetry = retry.tv_sec * 1000LL + retry.tv_usec / 1000 + 1;
        pollfd socket{natpmp.s, POLLIN, 0};
        ::poll(&socket, 1,
               static_cast<int>(std::clamp(untilRetry, 1LL, static_cast<long long>(left))));
    }
}

bool GatewayAnswered(int result) {
    return result >= 0 || result <= NATPMP_ERR_UNSUPPORTEDVERSION;
}

// One forwarding as the router granted it, with what renewing and removing it takes.
struct Held {
    enum class Way { None, Upnp, NatPmp } way = Way::None;
    quint16 port = 0;
    QString outside;
    UPNPUrls urls{};
    IGDdatas data{};
    char lan[64] = {};
    natpmp_t natpmp{};
};

} // namespace

// Everything the thread works on. The owner may go before the thread ends; what they share
// is guarded by the mutex, the rest belongs to the thread.
struct RouterPortMapping::Worker {
    std::mutex mutex;
    std::condition_variable wake;
    std::condition_variable finished;
    RouterPortMapping* owner = nullptr;
    quint16 wanted = 0;
    int wish = 0;
    bool stopping = false;
    bool done = false;

    Held held;
    int handled = 0;
    Clock::time_point renewAt;

    void run();
    void report(int wish, RouterAnswer answer, const QString& outside);
    RouterAnswer map(quint16 port, QString& outside);
    bool mapUpnp(quint16 port, RouterAnswer& answer, QString& outside);
    RouterAnswer mapNatPmp(quint16 port, QString& outside);
    RouterAnswer renew();
    void remove(int waitMs);
};

// Acts on the latest wish only: a port asked for and given up meanwhile is never mapped.
void RouterPortMapping::Worker::run() {
    std::unique_lock lock(mutex);
    for (;;) {
        const auto due = [this] {
            return stopping || wish != handled || (held.port && Clock::now() >= renewAt);
        };
        if (held.port)
            wake.wait_until(lock, renewAt, due);
        else
            wake.wait(lock, due);
        const bool stop = stopping;
        const quint16 port = stop ? 0 : wanted;
        const int current = wish;
        const bool fresh = current != handled;
        handled = current;
        lock.unlock();
        if (fresh || stop) {
            if (held.port && held.port != port)
                remove(stop ? LastRemovalMs : NatPmpWaitMs);
            if (port && held.port == port) {
                report(current, RouterAnswer::Opened, held.outside);
            } else if (port) {
                QString outside;
                const RouterAnswer answer = map(port, outside);
                report(current, answer, outside);
            }
        } else if (held.port) {
            const RouterAnswer answer = renew();
            report(current, answer, held.outside);
        }
        renewAt = Clock::now() + RenewAfter;
        lock.lock();
        if (stop)
            break;
    }
    done = true;
    finished.notify_all();
}

void RouterPortMapping::Worker::report(int wish, RouterAnswer answer, const QString& outside) {
    qCDebug(lcRouter) << "answer" << int(answer) << outside;
    const std::lock_guard lock(mutex);
    if (RouterPortMapping* to = owner)
        QMetaObject::invokeMethod(
            to, [to, wish, answer, outside] { to->take(wish, answer, outside); },
            Qt::QueuedConnection);
}

RouterAnswer RouterPortMapping::Worker::map(quint16 port, QString& outside) {
    RouterAnswer answer = RouterAnswer::NoRouter;
    if (!mapUpnp(port, answer, outside))
        return mapNatPmp(port, outside);
    // A gateway that will not tell its outside address over UPnP (miniupnpd when it has only
    // a private one) may say more over NAT-PMP.
    if (answer == RouterAnswer::Refused && outside.isEmpty()) {
        const RouterAnswer other = mapNatPmp(port, outside);
        if (other != RouterAnswer::NoRouter)
            answer = other;
    }
    return answer;
}

// False when no Internet gateway answers UPnP.
bool RouterPortMapping::Worker::mapUpnp(quint16 port, RouterAnswer& answer, QString& outside) {
    int error = 0;
    UPNPDev* devices =
        upnpDiscover(DiscoverMs, nullptr, nullptr, UPNP_LOCAL_PORT_ANY, 0, 2, &error);
    if (!devices)
        return false;
    Held& h = held;
    const int igd = UPNP_GetValidIGD(devices, &h.urls, &h.data, h.lan, sizeof h.lan);
    freeUPNPDevlist(devices);
    if (igd == 0)
        return false;
    const auto forget = [&h] {
        FreeUPNPUrls(&h.urls);
        h = Held{};
    };
    if (igd == 3) { // a UPnP device, but no gateway
        forget();
        return false;
    }
    const char* control = h.urls.controlURL;
    const char* service = h.data.first.servicetype;
    char external[64] = {};
    if (UPNP_GetExternalIPAddress(control, service, external) == UPNPCOMMAND_SUCCESS)
        outside = QString::fromLatin1(external);
    const QByteArray number = QByteArray::number(port);
    char client[64] = {}, inPort[16] = {}, description[96] = {}, enabled[16] = {}, lease[32] = {};
    if (outside.isEmpty() || Unreachable(outside)) {
        answer = outside.isEmpty() ? RouterAnswer::Refused : RouterAnswer::Shared;
    } else if (UPNP_GetSpecificPortMappingEntry(control, service, number, "TCP", nullptr, client,
                                                inPort, description, enabled,
                                                lease) == UPNPCOMMAND_SUCCESS &&
               std::strcmp(client, h.lan) != 0) {
        answer = RouterAnswer::Taken;
    } else {
        const int added = UPNP_AddPortMapping(control, service, number, number, h.lan, "Kelvane",
                                              "TCP", nullptr, QByteArray::number(LeaseSeconds));
        answer = added == UPNPCOMMAND_SUCCESS      ? RouterAnswer::Opened
                 : added == ConflictInMappingEntry ? RouterAnswer::Taken
                                                   : RouterAnswer::Refused;
        qCDebug(lcRouter) << "UPnP AddPortMapping" << added << "for" << h.lan;
    }
    if (answer == RouterAnswer::Opened) {
        h.way = Held::Way::Upnp;
        h.port = port;
        h.outside = outside;
    } else {
        forget();
    }
    return true;
}

RouterAnswer RouterPortMapping::Worker::mapNatPmp(quint16 port, QString& outside) {
    natpmp_t& natpmp = held.natpmp;
    if (initnatpmp(&natpmp, 0, 0) < 0)
        return RouterAnswer::NoRouter;
    natpmpresp_t response{};
    int result = sendpublicaddressrequest(&natpmp);
    if (result >= 0)
        result = Await(natpmp, response, NatPmpWaitMs);
    RouterAnswer answer = RouterAnswer::Opened;
    if (result == NATPMP_ERR_NETWORKFAILURE) {
        answer = RouterAnswer::Shared; // the router itself has no outside address to give
    } else if (result < 0) {
        answer = GatewayAnswered(result) ? RouterAnswer::Refused : RouterAnswer::NoRouter;
    } else {
        char text[INET_ADDRSTRLEN] = {};
        inet_ntop(AF_INET, &response.pnu.publicaddress.addr, text, sizeof text);
        outside = QString::fromLatin1(text);
        if (Unreachable(outside))
            answer = RouterAnswer::Shared;
    }
    if (answer == RouterAnswer::Opened) {
        result = sendnewportmappingrequest(&natpmp, NATPMP_PROTOCOL_TCP, port, port, LeaseSeconds);
        if (result >= 0)
            result = Await(natpmp, response, NatPmpWaitMs);
        if (result < 0) {
            answer = RouterAnswer::Refused;
        } else if (response.pnu.newportmapping.mappedpublicport != port) {
            // The port outside goes to someone else; the one offered instead is no use, as
            // a joiner always knocks at the game port.
            if (sendnewportmappingrequest(&natpmp, NATPMP_PROTOCOL_TCP, port, 0, 0) >= 0)
                Await(natpmp, response, NatPmpWaitMs);
            answer = RouterAnswer::Taken;
        }
        qCDebug(lcRouter) << "NAT-PMP mapping" << result;
    }
    if (answer == RouterAnswer::Opened) {
        held.way = Held::Way::NatPmp;
        held.port = port;
        held.outside = outside;
    } else {
        closenatpmp(&natpmp);
        held = Held{};
    }
    return answer;
}

// Asking again for the same forwarding extends its lease.
RouterAnswer RouterPortMapping::Worker::renew() {
    bool renewed = false;
    if (held.way == Held::Way::Upnp) {
        const QByteArray number = QByteArray::number(held.port);
        renewed = UPNP_AddPortMapping(held.urls.controlURL, held.data.first.servicetype, number,
                                      number, held.lan, "Kelvane", "TCP", nullptr,
                                      QByteArray::number(LeaseSeconds)) == UPNPCOMMAND_SUCCESS;
    } else if (held.way == Held::Way::NatPmp) {
        natpmpresp_t response{};
        renewed = sendnewportmappingrequest(&held.natpmp, NATPMP_PROTOCOL_TCP, held.port, held.port,
                                            LeaseSeconds) >= 0 &&
                  Await(held.natpmp, response, NatPmpWaitMs) >= 0 &&
                  response.pnu.newportmapping.mappedpublicport == held.port;
    }
    if (renewed)
        return RouterAnswer::Opened;
    remove(NatPmpWaitMs);
    return RouterAnswer::Refused;
}

void RouterPortMapping::Worker::remove(int waitMs) {
    if (held.way == Held::Way::Upnp) {
        const QByteArray number = QByteArray::number(held.port);
        UPNP_DeletePortMapping(held.urls.controlURL, held.data.first.servicetype, number, "TCP",
                               nullptr);
        FreeUPNPUrls(&held.urls);
    } else if (held.way == Held::Way::NatPmp) {
        natpmpresp_t response{};
        if (sendnewportmappingrequest(&held.natpmp, NATPMP_PROTOCOL_TCP, held.port, 0, 0) >= 0)
            Await(held.natpmp, response, waitMs);
        closenatpmp(&held.natpmp);
    }
    qCDebug(lcRouter) << "removed";
    held = Held{};
}

RouterPortMapping::RouterPortMapping(QObject* parent)
    : PortMapping(parent), worker_(std::make_shared<Worker>()) {
    worker_->owner = this;
}

RouterPortMapping::~RouterPortMapping() {
    if (!thread_.joinable())
        return;
    bool finished = false;
    {
        std::unique_lock lock(worker_->mutex);
        worker_->owner = nullptr;
        worker_->stopping = true;
        worker_->wake.notify_all();
        finished = worker_->finished.wait_for(lock, ExitWait, [this] { return worker_->done; });
    }
    // A thread still talking to a slow router keeps what it works on alive by itself.
    if (finished)
        thread_.join();
    else
        thread_.detach();
}

void RouterPortMapping::open(quint16 port) {
    wish(port);
}

void RouterPortMapping::close() {
    wish(0);
}

void RouterPortMapping::wish(quint16 port) {
    if (port == wanted_)
        return;
    wanted_ = port;
    ++wish_;
    answer_ = port ? RouterAnswer::Asking : RouterAnswer::None;
    outside_.clear();
    if (port && !thread_.joinable())
        thread_ = std::thread([worker = worker_] { worker->run(); });
    {
        const std::lock_guard lock(worker_->mutex);
        worker_->wanted = port;
        worker_->wish = wish_;
    }
    worker_->wake.notify_all();
    emit answerChanged();
}

void RouterPortMapping::take(int wish, RouterAnswer answer, const QString& outside) {
    if (wish != wish_)
        return; // an answer to what the host no longer wants
    answer_ = answer;
    outside_ = outside;
    emit answerChanged();
}

} // namespace kelvane
