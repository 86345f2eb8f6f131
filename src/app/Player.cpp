#include "app/Player.h"

#include "ui/BoardPicture.h"
#include "ui/LogonDialog.h"
#include "ui/MainWindow.h"

#include "Version.h"

#include <QAction>
#include <QPushButton>

namespace kelvane {

Player::Player(PlayerServices services, quint16 gamePort, QObject* parent)
    : QObject(parent), services_(services), wskLink_(gamePort), frmMain_(new MainWindow) {
    Form_Load();
    connectMainWindow();
    connectLink();
}

Player::~Player() {
    delete frmLogon_.data();
}

// The main window is shown already disabled by the dialog's loading.
void Player::Main() {
    loadLogon();
    frmMain_->show();
    showLogon();
}

void Player::showLogon() {
    frmLogon_->show();
    frmLogon_->raise();
    frmLogon_->activateWindow();
}

QString Player::status() const {
    return frmMain_->lblStatus->caption();
}

bool Player::boardTakesClicks() const {
    return frmMain_->picBoard->isEnabled();
}

void Player::Form_Load() {
    frmMain_->setWindowTitle(QString::fromLatin1(ApplicationTitle));
    frmMain_->setOuterSize(8640, 6135);
    drawCoordinateLabels();
}

void Player::drawCoordinateLabels() {
    // The labels are spaced 312 twips across and 294 down, not the grid's 315 x 300, so
    // they drift slightly towards the last column and row: that is how the board looks.
    const int left = frmMain_->picBoard->x() * 15;
    const int top = frmMain_->picBoard->y() * 15;
    for (int i = 1; i <= BoardSize; ++i)
        frmMain_->printAt(left + 312 * i - 120, top - 240, QString(QChar(64 + i)));
    for (int j = 1; j <= BoardSize; ++j)
        frmMain_->printAt(left - 240, top + 294 * j - 180, QString::number(j));
}

void Player::connectMainWindow() {
    MainWindow& w = *frmMain_;
    connect(w.picBoard, &BoardPicture::mouseUp, this, &Player::picBoard_MouseUp);
    connect(w.cmdNew, &QPushButton::clicked, this, &Player::cmdNew_Click);
    connect(w.cmdLink, &QPushButton::clicked, this, &Player::cmdLink_Click);
    connect(w.cmdExit, &QPushButton::clicked, this, &Player::cmdExit_Click);
    connect(w.cmdSend, &QPushButton::clicked, this, &Player::SendTalk);
    // Each menu item runs its button's handler, so both paths share one piece of code.
    connect(w.mnuNew, &QAction::triggered, this, &Player::cmdNew_Click);
    connect(w.mnuExit, &QAction::triggered, this, &Player::cmdExit_Click);
    connect(w.mnuLink, &QAction::triggered, this, &Player::cmdLink_Click);
    connect(w.mnuTalk, &QAction::triggered, this, &Player::SendTalk);
    connect(w.mnuContent, &QAction::triggered, this, &Player::mnuContent_Click);
    connect(w.mnuAbout, &QAction::triggered, this, &Player::mnuAbout_Click);
    connect(&w, &MainWindow::unloadRequested, this, &Player::Form_Unload);
    // While the logon dialog is open it keeps the keyboard, as a modal dialog would.
    connect(&w, &MainWindow::activatedWhileDisabled, this, [this] {
        if (frmLogon_) {
            frmLogon_->raise();
            frmLogon_->activateWindow();
        }
    });
}

void Player::connectLink() {
    connect(&wskLink_, &SocketLink::ConnectionRequest, this,
            [this](qint32 id) { whenIdle([this, id] { wskLink_ConnectionRequest(id); }); });
    connect(&wskLink_, &SocketLink::Connected, this,
            [this] { whenIdle([this] { wskLink_Connect(); }); });
    connect(&wskLink_, &SocketLink::DataArrival, this, [this](qint32 count) {
        if (readHeld_)
            return;
        readHeld_ = true;
        whenIdle([this, count] {
            readHeld_ = false;
            ReceiveMsg(count);
        });
    });
    connect(&wskLink_, &SocketLink::LinkLost, this,
            [this] { whenIdle([this] { wskLink_LinkLost(); }); });
}

void Player::endProgram() {
    ended_ = true;
    heldEvents_.clear();
    reader_.reset();
    if (frmLogon_)
        frmLogon_->hide();
    frmMain_->hide();
    services_.end.endNow();
}

} // namespace kelvane
