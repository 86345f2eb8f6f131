#include "bot/BotPlayer.h"

#include "game/CheckFive.h"
#include "game/Opening.h"

#include <QCoreApplication>
#include <QTimer>

namespace kelvane {

namespace {
const QString BotName = QStringLiteral("电脑");
constexpr int NameGapMs = 400;
} // namespace

BotPlayer::BotPlayer(const EngineLimits& limits, quint64 seed, quint16 port, QObject* parent)
    : QObject(parent), link_(port), engine_(DefaultStrength, seed) {
    engine_.setLimits(limits);
    connect(&link_, &SocketLink::ConnectionRequest, this, [this](qint32 id) {
        if (connected_ || ended_)
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
        finish(connected_ ? 0 : 1);
    });
}

BotPlayer::~BotPlayer() {
    stopThinking();
}

void BotPlayer::host() {
    myColor_ = Black;
    link_.setLocalPort(link_.GamePort());
    link_.Listen();
}

void BotPlayer::join(const QString& address) {
    myColor_ = White;
    link_.setRemoteHost(address);
    link_.setRemotePort(link_.GamePort());
    link_.setLocalPort(0);
    link_.Connect();
}

void BotPlayer::leave() {
    if (connected_ && !ended_)
        link_.SendData(LeaveMessage());
    finish(0);
}

// Both sides start the first game with a fresh record as soon as the link is up.
void BotPlayer::linkUp() {
    connected_ = true;
    reader_.reset();
    record_.reset();
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
        if (myColor_ == Black)
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
    board_.clear();
    decided_ = false;
    myTurn_ = OpensNewGame(myColor_, record_).value_or(false);
    if (myTurn_)
        startThinking();
}

// Only a stone on an empty cell, on the peer's turn of an undecided game, counts.
void BotPlayer::peerMove(int column, int row) {
    if (!connected_ || decided_ || myTurn_ || !Board::contains(column, row) ||
        board_.at(column, row) != Empty)
        return;
    const int peer = opponentOf(myColor_);
    board_.set(column, row, static_cast<std::int16_t>(peer));
    if (CheckFive(board_, peer) == peer) {
        record_.RecordWin(peer);
        decided_ = true;
        return;
    }
    myTurn_ = true;
    startThinking();
}

void BotPlayer::startThinking() {
    stopThinking();
    worker_ = std::thread([this, board = board_, color = myColor_, generation = generation_] {
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
    if (generation != generation_ || ended_ || !connected_ || decided_ || !myTurn_ || !move)
        return;
    if (worker_.joinable())
        worker_.join();
    if (!nameGap_.hasExpired()) {
        QTimer::singleShot(nameGap_.remainingTime(), this,
                           [this, generation, move] { moveReady(generation, move); });
        return;
    }
    board_.set(move->column, move->row, static_cast<std::int16_t>(myColor_));
    link_.SendData(MoveMessage(move->column, move->row));
    myTurn_ = false;
    if (CheckFive(board_, myColor_) == myColor_) {
        record_.RecordWin(myColor_);
        decided_ = true;
    }
}

void BotPlayer::sendName(const QString& prefix) {
    link_.SendData(NameMessage(prefix + BotName));
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
