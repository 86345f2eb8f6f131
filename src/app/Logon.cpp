#include "app/Captions.h"
#include "app/Player.h"

#include "link/LinkError.h"
#include "ui/BoardPicture.h"
#include "ui/LogonDialog.h"
#include "ui/MainWindow.h"

#include "Version.h"

#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace kelvane {

// Every opening starts afresh from the dialog's layout: host mode, this machine's address,
// the default name and a record of nothing.
void Player::loadLogon() {
    delete frmLogon_.data();
    frmLogon_ = new LogonDialog;
    LogonDialog& d = *frmLogon_;
    connect(d.optServer, &QRadioButton::clicked, this, &Player::optServer_Click);
    connect(d.optClient, &QRadioButton::clicked, this, &Player::optClient_Click);
    connect(d.cmdOK, &QPushButton::clicked, this, &Player::cmdOK_Click);
    connect(d.cmdEnd, &QPushButton::clicked, this, &Player::cmdEnd_Click);
    // The dialog can only be left by OK or End; a window manager that closes it anyway
    // gets End, so no disabled main window is left behind.
    connect(&d, &LogonDialog::closeRequested, this, &Player::cmdEnd_Click);
    logon_Form_Load();
}

void Player::logon_Form_Load() {
    frmLogon_->setWindowTitle(QString::fromLatin1(ApplicationTitle));
    frmMain_->setEnabled(false);
    frmLogon_->txtIP->setText(wskLink_.LocalIP());
    myColor_ = Black;
    record_.reset();
}

void Player::optServer_Click() {
    frmLogon_->labIP->setText(captions::HostAddressLabel);
    frmLogon_->txtIP->setText(wskLink_.LocalIP());
    myColor_ = Black;
}

void Player::optClient_Click() {
    frmLogon_->labIP->setText(captions::JoinAddressLabel);
    frmLogon_->txtIP->setText(captions::AnyAddress);
    myColor_ = White;
}

void Player::cmdOK_Click() {
    const QString name = frmLogon_->txtName->text();
    try {
        frmMain_->labI->setCaption(name + captions::Says);
        openLink(name);
    } catch (const LinkError&) {
        // Nothing done so far is undone; the user edits the address or ends.
        QLineEdit* address = frmLogon_->txtIP;
        address->setSelection(0, address->text().size());
        address->setFocus();
        return;
    }
    ShowRecord();
    frmMain_->show();
    frmMain_->picBoard->setEnabled(false);
    frmMain_->setEnabled(true);
    frmLogon_->hide();
    frmLogon_->deleteLater();
    frmLogon_ = nullptr;
    NewGame();
}

void Player::openLink(const QString& name) {
    reader_.reset();
    if (myColor_ == Black) {
        wskLink_.setLocalPort(wskLink_.GamePort());
        wskLink_.Listen();
        frmMain_->labBlack->setCaption(captions::BlackPrefix + name);
        frmMain_->labWhite->setCaption(QString());
        setStatus(captions::StatusWaiting);
    } else {
        wskLink_.setRemoteHost(frmLogon_->txtIP->text());
        wskLink_.setRemotePort(wskLink_.GamePort());
        wskLink_.setLocalPort(0);
        wskLink_.Connect();
        frmMain_->labBlack->setCaption(QString());
        frmMain_->labWhite->setCaption(captions::WhitePrefix + name);
        setStatus(captions::StatusConnecting);
    }
}

void Player::cmdEnd_Click() {
    // Ends at once: no leave message, as the link is not up while the dialog is open.
    wskLink_.Close();
    endProgram();
}

} // namespace kelvane
