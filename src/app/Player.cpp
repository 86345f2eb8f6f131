#include "app/Player.h"

#include "app/Captions.h"
#include "lan/Discovery.h"
#include "lan/PortMapping.h"
#include "app/GameController.h"
#include "app/HelpMenu.h"
#include "app/LogonFlow.h"

#include "ui/LogonDialog.h"
#include "app/Session.h"
#include "ui/MainWindow.h"

#include "Version.h"

#include <QCoreApplication>

namespace kelvane {

Player::Player(PlayerServices services, quint16 gamePort, QObject* parent)
    : QObject(parent), services_(services), frmMain_(new MainWindow),
      session_(new Session(gamePort)),
      game_(new GameController(model_, *frmMain_, *session_, services.sound, services.boxes)),
      logon_(new LogonFlow(model_, *frmMain_, *session_, *game_, services.discovery)),
      help_(new HelpMenu(*frmMain_, services.launcher, services.boxes, services.dialogs)) {
    Form_Load();
    MainWindow& w = *frmMain_;
    connect(&w, &MainWindow::exitRequested, this, &Player::cmdExit_Click);
    connect(&w, &MainWindow::reconnectRequested, this, &Player::cmdLink_Click);
    // While the logon dialog is open it keeps the keyboard, as a modal dialog would.
    connect(&w, &MainWindow::activatedWhileDisabled, logon_.get(), &LogonFlow::raise);
    connect(game_.get(), &GameController::linkChanged, this, &Player::followLink);
    if (services.ports)
        connect(services.ports, &PortMapping::answerChanged, this, &Player::showHostAddresses);
    connect(&w, &MainWindow::computerRequested, this, &Player::startComputer);
    // Ends at once: no leave message, as the link is not up while the dialog is open.
    connect(logon_.get(), &LogonFlow::endRequested, this, [this] {
        session_->socket().Close();
        endProgram();
    });
}

Player::~Player() {
    stopComputer();
    if (services_.discovery)
        services_.discovery->withdraw();
    if (services_.ports)
        services_.ports->close();
}

// The host is announced on the network while it waits for a joiner. The computer can be
// asked in then, and also while there is no link: then we host first.
void Player::followLink(LinkState state) {
    const bool waiting = state == LinkState::Waiting;
    frmMain_->setComputerAvailable(waiting || state == LinkState::NotConnected);
    game_->offerHints(state == LinkState::Connected && computerRunning());
    forwardPort(waiting);
    if (!services_.discovery)
        return;
    if (waiting)
        services_.discovery->announce(logon_->hostName(), session_->socket().ListeningPort());
    else
        services_.discovery->withdraw();
}

// Only while the host waits does the router forward the game port: the joiner accepted,
// the link left or the program ended, the forwarding goes, and the accepted link stays.
void Player::forwardPort(bool waiting) {
    if (!services_.ports)
        return;
    if (waiting)
        services_.ports->open(session_->socket().ListeningPort());
    else
        services_.ports->close();
    showHostAddresses();
}

// The waiting host's status note lists every address a friend can use, best first.
void Player::showHostAddresses() {
    if (!services_.ports || model_.link() != LinkState::Waiting)
        return;
    frmMain_->setStatusReason(
        captions::HostAddresses(services_.ports->answer(), services_.ports->outsideAddress(),
                                session_->socket().ListeningPort(), SocketLink::allAddresses()));
}

void Player::startComputer(int strength) {
    if (logon_->dialog())
        return; // the dialog decides how the next link opens
    if (model_.link() == LinkState::NotConnected && !logon_->hostAgain())
        return;
    if (model_.link() != LinkState::Waiting)
        return;
    stopComputer();
    computer_ = std::make_unique<QProcess>();
    computer_->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    computer_->start(QCoreApplication::applicationDirPath() + QStringLiteral("/kelvane-bot"),
                     {QStringLiteral("--join"), QStringLiteral("127.0.0.1"), QStringLiteral("--port"),
                      QString::number(session_->socket().ListeningPort()),
                      QStringLiteral("--strength"), QString::number(strength),
                      QStringLiteral("--name"), captions::ComputerName(strength)});
}

bool Player::computerRunning() const {
    return computer_ && computer_->state() != QProcess::NotRunning;
}

// The bot leaves with the game: no process outlives it.
void Player::stopComputer() {
    if (!computer_)
        return;
    computer_->kill();
    computer_->waitForFinished(1000);
    computer_.reset();
}

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
    stopComputer();
    logon_->open();
}

void Player::endProgram() {
    ended_ = true;
    stopComputer();
    if (services_.discovery)
        services_.discovery->withdraw();
    session_->end();
    logon_->hide();
    frmMain_->hide();
    services_.end.endNow();
}

} // namespace kelvane
