#pragma once

#include "link/MessageReader.h"
#include "link/SocketLink.h"

#include <QObject>

#include <deque>
#include <functional>

namespace kelvane {

// The link to the other player as the game sees it: the socket, the framing, and the order
// in which what arrives is acted on. While the game waits for a sound or a box, whatever
// the peer sends is held and acted on afterwards, in order. Messages are acted on a few
// milliseconds' worth per turn of the event loop, so a peer's flood never holds the window.
class Session : public QObject {
    Q_OBJECT

public:
    // The program always plays on 5238; tests pass 0 so that the system picks a free port.
    explicit Session(quint16 gamePort = 5238, QObject* parent = nullptr);

    SocketLink& socket() { return wskLink_; }
    const SocketLink& socket() const { return wskLink_; }
    void SendMsg(const QString& text);
    // Forgets what arrived and was not acted on yet: it belonged to a link that is gone.
    void forgetReceived();
    // Nothing arrives any more: the program is ending.
    void end();

    // Holds the peer's messages and link events until as many releases have come.
    void hold();
    void release();
    // Runs the handler with the peer's messages and link events held.
    void runHeld(const std::function<void()>& handler);
    // Acts at once, held or not, on the messages that have arrived: what the peer said just
    // before we leave is still shown. A flood gets a turn's worth, never less than a few.
    void dispatchReceived();

    // Acts on one read of the link as if it had just arrived: the entry of the fuzz target,
    // which has no socket.
    void handleRead(const QByteArray& read);
    // True when every message and link event that has arrived has been acted on.
    bool caughtUp() const;

signals:
    void messageArrived(const WireMessage& message);
    void joinerArrived(qint32 requestID);
    void connectedToHost();
    void linkLost();

private:
    void whenIdle(std::function<void()> event);
    void runHeldEvents();
    void postHeldEvents();

    SocketLink wskLink_;
    MessageReader reader_;
    int holds_ = 0;
    bool running_ = false;
    bool posted_ = false;
    bool readHeld_ = false; // a read is held: it takes all that arrives before it runs
    bool ended_ = false;
    std::deque<std::function<void()>> heldEvents_;
};

} // namespace kelvane
