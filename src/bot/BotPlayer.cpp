#include "bot/BotPlayer.h"

#include "link/LinkError.h"

#include <QCoreApplication>

namespace kelvane {

namespace {
constexpr int NameGapMs = 400;
// A joiner names itself at once; one silent this long is dropped.
constexpr int NameWaitMs = 60'000;
// Messages are taken for this long before the event loop gets a turn, so that a flood of
// them never holds up a signal or the end of the link.
constexpr int SliceMs = 10;

// Tests shorten the wait for a name; nobody else needs to.
int nameWaitMs() {
    bool ok = false;
    const int ms = qEnvironmentVariableIntValue("KELVANE_BOT_NAME_WAIT_MS", &ok);
    return ok && ms > 0 ? ms : NameWaitMs;
}
} // namespace

BotPlayer::BotPlayer(const EngineLimits& limits, quint64 seed, quint16 port, QObject* parent)
    : QObject(parent), link_(port), engine_(DefaultStrength, seed) {
    engine_.setLimits(limits);
    // Before any game, so that the first move's clock is spent on the search.
    engine_.prepare();
    nameWait_.setSingleShot(true);
    nameWait_.setInterval(nameWaitMs());
    connect(&nameWait_, &QTimer::timeout, this, &BotPlayer::waitAgain);
    connect(&link_, &SocketLink::ConnectionRequest, this, [this](qint32 id) {
        if (model_.link() != LinkState::Waiting || ended_)
            return;
        link_.Accept(id);
        heardName_ = false;
        nameWait_.start();
        linkUp();
    });
    connect(&link_, &SocketLink::Connected, this, [this] {
        sendName(QStringLiteral("白方："));
        linkUp();
    });
    connect(&link_, &SocketLink::DataArrival, this, [this] { readLink(); });
    connect(&link_, &SocketLink::LinkLost, this, &BotPlayer::linkLost);
}

BotPlayer::~BotPlayer() {
    stopThinking();
}

void BotPlayer::host() {
    model_.setMyColor(Black);
    model_.setLink(LinkState::Waiting);
    link_.setLocalPort(link_.GamePort());
    link_.Listen();
}

void BotPlayer::join(const QString& address) {
    address_ = address;
    model_.setMyColor(White);
    model_.setLink(LinkState::Connecting);
    link_.setRemoteHost(address);
    link_.setRemotePort(link_.GamePort());
    link_.setLocalPort(0);
    try {
        link_.Connect();
    } catch (const LinkError& error) {
        throw LinkError(joinFailure(QString::fromStdString(error.what())).toStdString());
    }
}

// The link's own reason, as the game gives it, with the address it was about.
QString BotPlayer::joinFailure(const QString& reason) const {
    return QStringLiteral("连线到 %1 端口 %2 失败：%3")
        .arg(address_)
        .arg(link_.GamePort())
        .arg(reason);
}

void BotPlayer::leave() {
    if (model_.linkUp() && !ended_)
        link_.SendData(LeaveMessage());
    finish(0);
}

// Both sides start the first game, with the record at zero, as soon as the link is up.
void BotPlayer::linkUp() {
    model_.setLink(LinkState::Connected);
    newGame();
    takeMessages();
}

void BotPlayer::linkLost() {
    if (ended_)
        return;
    if (model_.link() == LinkState::Connecting) {
        problem_ = joinFailure(link_.lostReason());
        finish(1);
        return;
    }
    readLink(); // what came before the end still counts
    if (ended_)
        return;
    // A port check or a health check closes before it names itself: not the player we
    // wait for.
    if (model_.myColor() == Black && !heardName_) {
        waitAgain();
        return;
    }
    finish(model_.linkUp() ? 0 : 1);
}

// Drops whoever is connected, without a word, and takes the next joiner as the first.
void BotPlayer::waitAgain() {
    if (ended_)
        return;
    stopThinking();
    nameWait_.stop();
    link_.Close();
    reader_.reset();
    draining_ = stale_ = false;
    model_ = GameModel();
    freshGame_ = false;
    model_.setMyColor(Black);
    model_.setLink(LinkState::Waiting);
    try {
        link_.setLocalPort(link_.GamePort());
        link_.Listen();
    } catch (const LinkError& error) {
        problem_ = QString::fromStdString(error.what());
        finish(1);
    }
}

void BotPlayer::readLink() {
    if (ended_ || draining_)
        return;
    reader_.addRead(link_.GetData());
    takeMessages();
}

// Acts on the messages at hand, then thinks once about the position they leave. A flood
// is taken a slice at a time; the link is read again once it has all been taken, so that
// what waits in memory is never more than one read.
void BotPlayer::takeMessages() {
    draining_ = false;
    const QDeadlineTimer slice(SliceMs);
    for (unsigned taken = 1; !ended_; ++taken) {
        // The clock is read now and then: reading it costs more than a message.
        if (taken % 64 == 0 && slice.hasExpired()) {
            draining_ = true;
            QTimer::singleShot(0, this, [this] {
                takeMessages();
                readLink();
            });
            return;
        }
        const std::optional<WireMessage> message = reader_.takeMessage();
        if (!message)
            break;
        dispatch(*message);
    }
    if (ended_ || !stale_)
        return;
    stale_ = false;
    stopThinking();
    if (model_.myTurn())
        startThinking();
}

void BotPlayer::dispatch(const WireMessage& message) {
    switch (message.type) {
    case MessageType::Move:
        peerMove(message.column, message.row);
        return;
    case MessageType::Name:
        heardName_ = true;
        nameWait_.stop();
        if (model_.myColor() == Black)
            sendName(QStringLiteral("黑方："));
        return;
    case MessageType::NewGame:
        newGame();
        return;
    case MessageType::Leave:
        finish(0);
        return;
    case MessageType::Chat:
        return; // the computer does not talk
    }
}

// A new game on a board nobody has played on yet changes nothing: a flood of them is one.
void BotPlayer::newGame() {
    if (freshGame_)
        return;
    model_.newGame();
    freshGame_ = true;
    positionChanged();
}

// The model takes only a stone on an empty cell, on the peer's turn of an undecided game.
void BotPlayer::peerMove(int column, int row) {
    const std::optional<Placed> placed = model_.peerMove({column, row});
    if (!placed)
        return;
    freshGame_ = false;
    if (placed->wins)
        model_.recordWin(placed->color);
    positionChanged();
}

// The search under way, if any, is for a position that is gone: it is told to stop and
// its answer will be dropped; the next one starts once the messages at hand are taken.
void BotPlayer::positionChanged() {
    ++generation_;
    if (worker_.joinable())
        engine_.cancel();
    stale_ = true;
}

void BotPlayer::startThinking() {
    stopThinking();
    worker_ = std::thread([this, board = model_.board(), color = model_.myColor(),
                           generation = generation_] {
        const std::optional<Cell> move = engine_.chooseMove(board, color);
        QMetaObject::invokeMethod(
            this, [this, generation, move] { moveReady(generation, move); }, Qt::QueuedConnection);
    });
}

// Cancels the search under way, if any; its answer, should it still arrive, is dropped.
void BotPlayer::stopThinking() {
    ++generation_;
    if (!worker_.joinable())
        return;
    engine_.cancel();
    worker_.join();
    engine_.clearCancel();
}

void BotPlayer::moveReady(int generation, std::optional<Cell> move) {
    if (generation != generation_ || ended_ || !model_.myTurn() || !move)
        return;
    if (worker_.joinable())
        worker_.join();
    if (!nameGap_.hasExpired()) {
        QTimer::singleShot(nameGap_.remainingTime(), this,
                           [this, generation, move] { moveReady(generation, move); });
        return;
    }
    const std::optional<Placed> placed = model_.localMove(*move);
    if (!placed)
        return;
    freshGame_ = false;
    link_.SendData(MoveMessage(move->column, move->row));
    if (placed->wins)
        model_.recordWin(placed->color);
}

void BotPlayer::sendName(const QString& prefix) {
    link_.SendData(NameMessage(prefix + name_));
    nameGap_.setRemainingTime(NameGapMs);
}

void BotPlayer::finish(int exitCode) {
    if (ended_)
        return;
    ended_ = true;
    stopThinking();
    nameWait_.stop();
    link_.Close();
    emit finished(exitCode);
}

} // namespace kelvane
