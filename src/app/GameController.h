#pragma once

#include "app/MoveHint.h"
#include "app/Services.h"
#include "game/GameModel.h"

#include <QObject>
#include <QString>

#include <functional>

namespace kelvane {

class MainWindow;
class Session;
struct WireMessage;

// Plays the game: the player's clicks and the peer's messages go through the model, and
// the window shows what the model then says. It is the one place that decides what is sent
// and what is shown for moves, new games, names, chat and the link's state.
class GameController : public QObject {
    Q_OBJECT

public:
    GameController(GameModel& model, MainWindow& window, Session& session, MoveSound& sound,
                   MessageBoxes& boxes, QObject* parent = nullptr);

    // The player's own colour label, which the name message carries.
    void setOwnCaption(const QString& caption);
    // The link as the model now has it, with the reason it is down when there is one.
    void showLink(const QString& reason = {});
    void ShowRecord();
    void NewGame();
    // Says goodbye while connected, acts on what had arrived, then closes; whatever comes
    // after is dropped with the link.
    void leaveLink();
    // Whether the player may ask for a hint: only against the computer this window started.
    void offerHints(bool offered);

signals:
    // The link's state changed; the logon flow and the menu follow it.
    void linkChanged(LinkState state);

private:
    void afterSound(std::function<void(bool current)> then);
    void picBoard_MouseUp(Cell cell);
    void cmdNew_Click();
    void SendTalk(const QString& line);
    void dispatch(const WireMessage& message);
    void receiveMove(Cell cell);
    void receiveName(const QString& payload);
    void receiveLeave(const QString& reason = {});
    void wskLink_ConnectionRequest(qint32 requestID);
    void wskLink_Connect();
    void wskLink_LinkLost();
public:
    void setLink(LinkState state, const QString& reason = {});

private:
    void showTurn();
    void markFive(Cell last);
    void showResult(const QString& text);
    void askHint();
    void showHint(Cell cell);
    void dropHint();

    GameModel& model_;
    MainWindow& window_;
    Session& session_;
    MoveSound& sound_;
    MessageBoxes& boxes_;
    QString ownCaption_;
    // Counts new games and link changes, so that a stone whose sound was still playing
    // when the game was left is not shown in the next one.
    int generation_ = 0;
    // Shows the stone and the box of a loss whose sound is still playing.
    std::function<void()> unseenLoss_;
    MoveHint hint_;
    bool hintsOffered_ = false;
};

} // namespace kelvane
