#pragma once

#include "app/Services.h"
#include "game/Board.h"
#include "game/BoardGeometry.h"
#include "game/Record.h"
#include "link/MessageReader.h"
#include "link/SocketLink.h"

#include "ui/LogonDialog.h"

#include <QObject>
#include <QPointer>
#include <deque>
#include <functional>
#include <memory>

namespace kelvane {

class MainWindow;
struct WireMessage;

struct PlayerServices {
    MoveSound& sound;
    MessageBoxes& boxes;
    ProgramEnd& end;
    ModalDialogs& dialogs;
    Launcher& launcher;
    Registry& registry;
};

// One player's whole program: the game state, the main window, the logon dialog and the
// link, with the handlers that tie them together. Nothing is global, so two players can
// run in one process.
class Player : public QObject {
    Q_OBJECT

public:
    explicit Player(PlayerServices services, quint16 gamePort = 5238, QObject* parent = nullptr);
    ~Player() override;

    // Start-up: the main window with the logon dialog in front of it.
    void Main();

    MainWindow& frmMain() { return *frmMain_; }
    LogonDialog* frmLogon() const { return frmLogon_; }
    SocketLink& wskLink() { return wskLink_; }
    const Board& board() const { return board_; }
    const Record& record() const { return record_; }
    int MyColor() const { return myColor_; }
    bool ended() const { return ended_; }

    // The two pieces of window state that serve as the program's flags.
    QString status() const;
    bool boardTakesClicks() const;

    // Acts on one read of the link, as if it had just arrived: the dispatcher's entry for
    // the fuzz target, which has no socket. Like every read, its messages are acted on a
    // few milliseconds' worth per turn of the event loop.
    void handleRead(const QByteArray& read);
    // True when every message and link event that has arrived has been acted on.
    bool caughtUp() const;

private:
    // Start-up and main window (Player.cpp)
    void Form_Load();
    void drawCoordinateLabels();
    void connectMainWindow();
    void connectLink();
    void endProgram();

    // Moves, new game and the record (Moves.cpp)
    void picBoard_MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers shift, QPointF position);
    int placeStone(Cell cell, int color, bool asPeerMove);
    void applyPeerMove(Cell cell);
    void DrawBoard();
    void ShowRecord();
    void RecordWin(int winner);
    void NewGame();

    // The link: messages, socket events and commands (Dispatcher.cpp, Connection.cpp)
    void SendMsg(const QString& text);
    void ReceiveMsg(qint32 byteCount);
    void dispatch(const WireMessage& message);
    void receiveName(const QString& payload);
    void receiveLeave();
    void wskLink_ConnectionRequest(qint32 requestID);
    void wskLink_Connect();
    void wskLink_LinkLost();
    void cmdExit_Click();
    void leaveLink();
    void Form_Unload();
    void cmdLink_Click();
    void cmdNew_Click();
    void setStatus(const QString& caption);
    bool connected() const;

    // Chat (Chat.cpp)
    void SendTalk();

    // Help menu and About box (Help.cpp)
    void mnuContent_Click();
    void mnuAbout_Click();

    // Logon dialog (Logon.cpp)
    void loadLogon();
    void showLogon();
    void logon_Form_Load();
    void optServer_Click();
    void optClient_Click();
    void cmdOK_Click();
    void cmdEnd_Click();
    void openLink(const QString& name);

    // Handlers that wait for a sound or a message box run nested event loops. Socket
    // events that arrive meanwhile are held and run in order once the handler is done.
    // Messages are acted on a few milliseconds' worth per turn of the event loop, so that
    // a peer's flood cannot hold the window (Dispatcher.cpp).
    void runBusy(const std::function<void()>& handler);
    void whenIdle(std::function<void()> event);
    void runHeldEvents();
    void postHeldEvents();

    PlayerServices services_;
    Board board_;
    Record record_;
    int myColor_ = Black;

    SocketLink wskLink_;
    MessageReader reader_;
    std::unique_ptr<MainWindow> frmMain_;
    QPointer<LogonDialog> frmLogon_;

    int busyDepth_ = 0;
    bool runningHeldEvents_ = false;
    bool heldEventsPosted_ = false;
    bool readHeld_ = false; // a read is held: it takes all that arrives before it runs
    std::deque<std::function<void()>> heldEvents_;
    bool ended_ = false;
};

} // namespace kelvane
