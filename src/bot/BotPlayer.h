#pragma once

#include "game/Engine.h"
#include "game/GameModel.h"
#include "link/MessageReader.h"
#include "link/SocketLink.h"

#include <QDeadlineTimer>
#include <QObject>
#include <QTimer>

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
    // Why the program ends with a failure, in the player's words; empty otherwise.
    QString problem() const { return problem_; }

signals:
    // The link ended: the program ends with this code.
    void finished(int exitCode);

private:
    void linkUp();
    void linkLost();
    void waitAgain();
    void readLink();
    void takeMessages();
    void dispatch(const WireMessage& message);
    void newGame();
    void peerMove(int column, int row);
    void positionChanged();
    void startThinking();
    void stopThinking();
    void moveReady(int generation, std::optional<Cell> move);
    void finish(int exitCode);
    void sendName(const QString& prefix);
    QString joinFailure(const QString& reason) const;

    SocketLink link_;
    MessageReader reader_;
    GameModel model_;
    QString address_;
    QString problem_;
    bool ended_ = false;
    QString name_ = QStringLiteral("电脑");
    // Messages of an earlier read are still being taken, a slice at a time.
    bool draining_ = false;
    // The position changed since the last search began: one search for where it ends up.
    bool stale_ = false;
    bool heardName_ = false;
    // No stone has been placed since the last new game.
    bool freshGame_ = false;
    // A joiner that connects and never names itself is not a player.
    QTimer nameWait_;
    Engine engine_;
    std::thread worker_;
    // Bumped whenever a pending move stops being wanted, so a late answer is dropped.
    int generation_ = 0;
    // The peer reads a name up to the end of whatever arrived with it, so a move sent right
    // behind our name could be swallowed by it: moves wait until this has expired.
    QDeadlineTimer nameGap_;
};

} // namespace kelvane
