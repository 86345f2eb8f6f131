#include "bot/BotPlayer.h"

#include <QCoreApplication>
#include <QTimer>

namespace kelvane {

namespace {
constexpr int NameGapMs = 400;
} // namespace

BotPlayer::BotPlayer(const EngineLimits& limits, quint64 seed, quint16 port, QObject* parent)
    : QObject(parent), link_(port), engine_(DefaultStrength, seed) {
    engine_.setLimits(limits);
    connect(&link_, &SocketLink::ConnectionRequest, this, [this](qint32 id) {
        if (model_.link() != LinkState::Waiting || ended_)
            return;
        link_.Accept(id);
        linkUp();
    });
    connect(&link_, &SocketLink::Connected, this, [this] {
        sendName(QStringLiteral("白方："));
        linkUp();
    });
    connect(&link_, &SocketLink::DataArrival, this, [this] { readLink(); });
    connect(&link_, &SocketLink::LinkLost, this, [this] {
        readLink(); // what came before the end still counts
        finish(model_.linkUp() ? 0 : 1);
    });
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
    model_.setMyColor(White);
    model_.setLink(LinkState::Connecting);
    link_.setRemoteHost(address);
    link_.setRemotePort(link_.GamePort());
    link_.setLocalPort(0);
    link_.Connect();
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
}

void BotPlayer::readLink() {
    if (ended_)
        return;
    reader_.addRead(link_.GetData());
    while (!ended_) {
        const std::optional<WireMessage> message = reader_.takeMessage();
        if (!message)
            break;
        dispatch(*message);
    }
}

void BotPlayer::dispatch(const WireMessage& message) {
    switch (message.type) {
    case MessageType::Move:
        peerMove(message.column, message.row);
        return;
    case MessageType::Name:
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

void BotPlayer::newGame() {
    stopThinking();
    model_.newGame();
    if (model_.myTurn())
        startThinking();
}

// The model takes only a stone on an empty cell, on the peer's turn of an undecided game.
void BotPlayer::peerMove(int column, int row) {
    const std::optional<Placed> placed = model_.peerMove({column, row});
    if (!placed)
        return;
    if (placed->wins)
        model_.recordWin(placed->color);
    else
        startThinking();
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
    link_.Close();
    emit finished(exitCode);
}

} // namespace kelvane
