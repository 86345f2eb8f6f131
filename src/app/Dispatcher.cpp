#include "app/Captions.h"
#include "app/Player.h"

#include "link/WireMessage.h"
#include "ui/BoardPicture.h"
#include "ui/MainWindow.h"

#include <QElapsedTimer>

#include <optional>

namespace kelvane {

void Player::SendMsg(const QString& text) {
    wskLink_.SendData(text);
}

// Takes everything that has arrived as one read. Its messages are acted on in order, a few
// milliseconds' worth per turn of the event loop: a move or a one-byte message is cut out
// exactly; a name or chat line takes the rest of its read.
void Player::ReceiveMsg(qint32) {
    reader_.addRead(wskLink_.GetData());
}

void Player::handleRead(const QByteArray& read) {
    whenIdle([this, read] { reader_.addRead(read); });
}

bool Player::caughtUp() const {
    return heldEvents_.empty() && !heldEventsPosted_ && busyDepth_ == 0;
}

void Player::runBusy(const std::function<void()>& handler) {
    ++busyDepth_;
    handler();
    --busyDepth_;
    if (busyDepth_ == 0)
        postHeldEvents();
}

void Player::whenIdle(std::function<void()> event) {
    if (ended_)
        return;
    heldEvents_.push_back(std::move(event));
    runHeldEvents();
}

// How long one turn of the event loop may go on acting on what has arrived before it lets
// the window paint and take clicks. A message that waits for the sound or a box ends the
// turn by itself.
constexpr qint64 TurnBudgetNs = 5'000'000;

// Steps, each the next message of what has been read, else the next held event, until
// nothing is left or the turn's time is up; then the event loop gets its turn before the
// next steps. Steps never run inside a handler that waits for a sound or a box. So a read
// of a hundred thousand moves leaves the window free to paint and take clicks, and
// whatever arrives meanwhile waits behind it in order.
void Player::runHeldEvents() {
    if (ended_ || busyDepth_ > 0 || runningHeldEvents_)
        return;
    runningHeldEvents_ = true;
    const auto step = [this] {
        if (const std::optional<WireMessage> message = reader_.takeMessage()) {
            dispatch(*message);
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
    while (working && !ended_ && turn.nsecsElapsed() < TurnBudgetNs)
        working = step();
    runningHeldEvents_ = false;
    if (working)
        postHeldEvents();
}

void Player::postHeldEvents() {
    if (heldEventsPosted_ || ended_)
        return;
    heldEventsPosted_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            heldEventsPosted_ = false;
            runHeldEvents();
        },
        Qt::QueuedConnection);
}

// After the peer's leave nothing that came with it is acted on: receiveLeave drops it with
// the link.
void Player::dispatch(const WireMessage& message) {
    switch (message.type) {
    case MessageType::Move:
        applyPeerMove(Cell{message.column, message.row});
        return;
    case MessageType::Name:
        receiveName(message.text);
        return;
    case MessageType::NewGame:
        NewGame();
        return;
    case MessageType::Leave:
        receiveLeave();
        return;
    case MessageType::Chat:
        frmMain_->labHeSay->setCaption(message.text);
        return;
    }
}

void Player::receiveName(const QString& payload) {
    // A payload too short to hold the colour prefix gives an empty name.
    frmMain_->labHe->setCaption(payload.mid(captions::PrefixLength) + captions::Says);
    if (myColor_ == Black) {
        frmMain_->labWhite->setCaption(payload);
        SendMsg(NameMessage(frmMain_->labBlack->caption()));
    } else {
        frmMain_->labBlack->setCaption(payload);
    }
}

// Whatever the peer sent after its leave goes with the link.
void Player::receiveLeave() {
    setStatus(captions::StatusNotConnected);
    frmMain_->picBoard->setEnabled(false);
    wskLink_.Close();
    reader_.reset();
}

} // namespace kelvane
