#include "app/Player.h"

#include "app/Captions.h"
#include "app/GameController.h"
#include "app/HelpMenu.h"
#include "app/LogonFlow.h"

#include "ui/LogonDialog.h"
#include "app/Session.h"
#include "ui/MainWindow.h"

#include "Version.h"

namespace kelvane {

Player::Player(PlayerServices services, quint16 gamePort, QObject* parent)
    : QObject(parent), services_(services), frmMain_(new MainWindow),
      session_(new Session(gamePort)),
      game_(new GameController(model_, *frmMain_, *session_, services.sound, services.boxes)),
      logon_(new LogonFlow(model_, *frmMain_, *session_, *game_)),
      help_(new HelpMenu(*frmMain_, services.launcher, services.boxes, services.dialogs)) {
    Form_Load();
    MainWindow& w = *frmMain_;
    connect(&w, &MainWindow::exitRequested, this, &Player::cmdExit_Click);
    connect(&w, &MainWindow::reconnectRequested, this, &Player::cmdLink_Click);
    // While the logon dialog is open it keeps the keyboard, as a modal dialog would.
    connect(&w, &MainWindow::activatedWhileDisabled, logon_.get(), &LogonFlow::raise);
    // Ends at once: no leave message, as the link is not up while the dialog is open.
    connect(logon_.get(), &LogonFlow::endRequested, this, [this] {
        session_->socket().Close();
        endProgram();
    });
}

Player::~Player() = default;

// The main window is shown already disabled by the dialog's loading.
void Player::Main() {
    frmMain_->show();
    logon_->open();
}

void Player::Form_Load() {
    frmMain_->setWindowTitle(QString::fromLatin1(ApplicationTitle));
    frmMain_->setOuterSize(8640, 6135);
    drawCoordinateLabels();
}

void Player::drawCoordinateLabels() {
    // The labels are spaced 312 twips across and 294 down, not the grid's 315 x 300, so
    // they drift slightly towards the last column and row: that is how the board looks.
    const QPoint board = frmMain_->boardOriginTwips();
    for (int i = 1; i <= BoardSize; ++i)
        frmMain_->printAt(board.x() + 312 * i - 120, board.y() - 240, QString(QChar(64 + i)));
    for (int j = 1; j <= BoardSize; ++j)
        frmMain_->printAt(board.x() - 240, board.y() + 294 * j - 180, QString::number(j));
}

// Closing the main window does the same.
void Player::cmdExit_Click() {
    if (ended_)
        return;
    game_->leaveLink();
    endProgram();
}

void Player::cmdLink_Click() {
    if (ended_)
        return;
    game_->leaveLink();
    logon_->open();
}

void Player::endProgram() {
    ended_ = true;
    session_->end();
    logon_->hide();
    frmMain_->hide();
    services_.end.endNow();
}

} // namespace kelvane
