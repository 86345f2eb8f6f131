#pragma once

#include "app/Services.h"
#include "game/GameModel.h"

#include <QObject>
#include <QProcess>
#include <memory>

namespace kelvane {

class GameController;
class HelpMenu;
class LogonFlow;
class MainWindow;
class Session;

class Discovery;
class PortMapping;

struct PlayerServices {
    MoveSound& sound;
    MessageBoxes& boxes;
    ProgramEnd& end;
    ModalDialogs& dialogs;
    Launcher& launcher;
    // Hosts announced and found on the network; none where there is no such service.
    Discovery* discovery = nullptr;
    // The game port forwarded by the home router while the host waits; none without.
    PortMapping* ports = nullptr;
};

// One player's whole program: the model, the windows, the link and the parts that tie them
// together. Nothing is global, so two players can run in one process.
class Player : public QObject {
    Q_OBJECT

public:
    explicit Player(PlayerServices services, quint16 gamePort = 5238, QObject* parent = nullptr);
    ~Player() override;

    // Start-up: the main window with the logon dialog in front of it.
    void Main();

    const GameModel& model() const { return model_; }
    MainWindow& window() { return *frmMain_; }
    LogonFlow& logon() { return *logon_; }
    Session& session() { return *session_; }
    bool ended() const { return ended_; }

private:
    void Form_Load();
    void drawCoordinateLabels();
    void cmdExit_Click();
    void cmdLink_Click();
    void endProgram();
    void followLink(LinkState state);
    void forwardPort(bool waiting);
    void showHostAddresses();
    void startComputer(int strength);
    void stopComputer();
    bool computerRunning() const;

    PlayerServices services_;
    GameModel model_;
    std::unique_ptr<MainWindow> frmMain_;
    std::unique_ptr<Session> session_;
    std::unique_ptr<GameController> game_;
    std::unique_ptr<LogonFlow> logon_;
    std::unique_ptr<HelpMenu> help_;
    // The computer opponent, a kelvane-bot process that joins over loopback.
    std::unique_ptr<QProcess> computer_;
    bool ended_ = false;
};

} // namespace kelvane
