#include "app/Session.h"

#include <QElapsedTimer>

#include <optional>

namespace kelvane {

// How long one turn of the event loop may go on acting on what has arrived before it lets
// the window paint and take clicks.
constexpr qint64 TurnBudgetNs = 5'000'000;
// What a leave acts on however busy the machine is.
constexpr int LeaveMessagesAtLeast = 16;

Session::Session(quint16 gamePort, QObject* parent) : QObject(parent), wskLink_(gamePort) {
    connect(&wskLink_, &SocketLink::ConnectionRequest, this,
            [this](qint32 id) { whenIdle([this, id] { emit joinerArrived(id); }); });
    connect(&wskLink_, &SocketLink::Connected, this,
            [this] { whenIdle([this] { emit connectedToHost(); }); });
    // One held read takes everything that arrives before it runs.
    connect(&wskLink_, &SocketLink::DataArrival, this, [this] {
        if (readHeld_)
            return;
        readHeld_ = true;
        whenIdle([this] {
            readHeld_ = false;
            reader_.addRead(wskLink_.GetData());
        });
    });
    // What the peer sent before it went is acted on first.
    connect(&wskLink_, &SocketLink::LinkLost, this, [this] {
        reader_.addRead(wskLink_.GetData());
        whenIdle([this] { emit linkLost(); });
    });
}

void Session::SendMsg(const QString& text) {
    wskLink_.SendData(text);
}

void Session::forgetReceived() {
    reader_.reset();
    heldEvents_.clear();
    readHeld_ = false;
}

void Session::end() {
    ended_ = true;
    forgetReceived();
}

void Session::hold() {
    ++holds_;
}

void Session::release() {
    if (holds_ > 0 && --holds_ == 0)
        postHeldEvents();
}

void Session::runHeld(const std::function<void()>& handler) {
    hold();
    handler();
    release();
}

void Session::dispatchReceived() {
    if (ended_)
        return;
    reader_.addRead(wskLink_.GetData());
    QElapsedTimer turn;
    turn.start();
    for (int taken = 0; taken < LeaveMessagesAtLeast || turn.nsecsElapsed() < TurnBudgetNs;
         ++taken) {
        const std::optional<WireMessage> message = reader_.takeMessage();
        if (!message)
            return;
        emit messageArrived(*message);
    }
}

void Session::handleRead(const QByteArray& read) {
    whenIdle([this, read] { reader_.addRead(read); });
}

bool Session::caughtUp() const {
    return heldEvents_.empty() && !posted_ && holds_ == 0;
}

void Session::whenIdle(std::function<void()> event) {
    if (ended_)
        return;
    heldEvents_.push_back(std::move(event));
    runHeldEvents();
}

// Steps, each the next message of what has been read, else the next held event, until
// nothing is left, something holds the link, or the turn's time is up; then the event loop
// gets its turn before the next steps. So a read of a hundred thousand moves leaves the
// window free to paint and take clicks, and whatever arrives meanwhile waits behind it.
void Session::runHeldEvents() {
    if (ended_ || holds_ > 0 || running_)
        return;
    running_ = true;
    const auto step = [this] {
        if (const std::optional<WireMessage> message = reader_.takeMessage()) {
            emit messageArrived(*message);
            return true;
        }
        if (heldEvents_.empty())
            return false;
        const auto event = std::move(heldEvents_.front());
        heldEvents_.pop_front();
        event();
        return true;
    };
    QElapsedTimer turn;
    turn.start();
    bool working = step();
    while (working && !ended_ && holds_ == 0 && turn.nsecsElapsed() < TurnBudgetNs)
        working = step();
    running_ = false;
    if (working)
        postHeldEvents();
}

void Session::postHeldEvents() {
    if (posted_ || ended_)
        return;
    posted_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            posted_ = false;
            runHeldEvents();
        },
        Qt::QueuedConnection);
}

} // namespace kelvane
