#pragma once

#include <QObject>
#include <QString>

namespace kelvane {

// What the router made of the request to forward the game port to this machine.
enum class RouterAnswer {
    None,     // nothing asked for, or the host stopped waiting
    Asking,   // looking for the router, or waiting for its answer
    Opened,   // the port is forwarded: friends outside join at outsideAddress()
    NoRouter, // no router answered, neither UPnP IGD nor NAT-PMP
    Refused,  // a router answered but would not forward the port
    Taken,    // the router already forwards the port to another machine, and keeps doing so
    Shared,   // the router's own outside address is private or shared among the provider's homes
};

// Forwarding the game port on the home router while the host waits for a joiner, so that a
// friend outside the home network can join. Nothing here waits or fails loudly: the answer
// comes later, through answerChanged().
class PortMapping : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // Asks the router to forward TCP `port` on its outside address to the same port here, with
    // a short lease renewed until close(). Asking again for the same port changes nothing.
    virtual void open(quint16 port) = 0;
    // Removes the forwarding this machine asked for; answer() is None at once.
    virtual void close() = 0;

    virtual RouterAnswer answer() const = 0;
    // The router's outside address as it told it, with Opened and Shared; else empty.
    virtual QString outsideAddress() const = 0;

signals:
    void answerChanged();
};

} // namespace kelvane
