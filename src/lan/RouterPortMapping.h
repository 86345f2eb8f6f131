#pragma once

#include "lan/PortMapping.h"

#include <memory>
#include <thread>

namespace kelvane {

// The port forwarded by the home router: UPnP IGD through libminiupnpc first, NAT-PMP through
// libnatpmp where no IGD answers. Every exchange with the router blocks for up to a few
// seconds, so all of them run on a thread of their own, and the answers come back through the
// event loop. Leases last an hour and are renewed every half hour, so a crash leaves nothing
// open for long.
class RouterPortMapping : public PortMapping {
    Q_OBJECT
public:
    explicit RouterPortMapping(QObject* parent = nullptr);
    // Removes a forwarding still held, waiting at most a moment for the router; past that the
    // lease ends it.
    ~RouterPortMapping() override;

    void open(quint16 port) override;
    void close() override;
    RouterAnswer answer() const override { return answer_; }
    QString outsideAddress() const override { return outside_; }

    struct Worker;

private:
    void wish(quint16 port);
    void take(int wish, RouterAnswer answer, const QString& outside);

    std::shared_ptr<Worker> worker_;
    std::thread thread_;
    quint16 wanted_ = 0;
    int wish_ = 0;
    RouterAnswer answer_ = RouterAnswer::None;
    QString outside_;
};

} // namespace kelvane
