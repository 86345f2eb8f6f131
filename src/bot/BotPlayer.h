#pragma once

#include "game/Engine.h"
#include "game/GameModel.h"
#include "link/MessageReader.h"
#include "link/SocketLink.h"

#include <QDeadlineTimer>
#include <QObject>

#include <optional>
#include <thread>

namespace kelvane {

// The computer on the game's link: it keeps the game's own model of board, turn, record and
// new-game parity, and thinks on a worker thread so that the link is always read.
class BotPlayer : public QObject {
    Q_OBJECT

public:
    BotPlayer(const EngineLimits& limits, quint64 seed, quint16 port, QObject* parent = nullptr);
    ~BotPlayer() override;

    // Both throw LinkError when the link cannot even be started.
    void host();
    void join(const QString& address);
    // Says goodbye when connected, closes and finishes.
    void leave();
    // The name it plays under, without the colour.
    void setName(const QString& name) { name_ = name; }

signals:
    // The link ended: the program ends with this code.
    void finished(int exitCode);

private:
    void linkUp();
    void readLink();
    void dispatch(const WireMessage& message);
    void newGame();
    void peerMove(int column, int row);
    void startThinking();
    void stopThinking();
    void moveReady(int generation, std::optional<Cell> move);
    void finish(int exitCode);
    void sendName(const QString& prefix);

    SocketLink link_;
    MessageReader reader_;
    GameModel model_;
    bool ended_ = false;
    QString name_ = QStringLiteral("电脑");
    Engine engine_;
    std::thread worker_;
    // Bumped whenever a pending move stops being wanted, so a late answer is dropped.
    int generation_ = 0;
    // The peer reads a name up to the end of whatever arrived with it, so a move sent right
    // behind our name could be swallowed by it: moves wait until this has expired.
    QDeadlineTimer nameGap_;
};

} // namespace kelvane
