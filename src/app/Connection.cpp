#include "app/Captions.h"
#include "app/Player.h"

#include "link/WireMessage.h"
#include "ui/BoardPicture.h"
#include "ui/MainWindow.h"

namespace kelvane {

bool Player::connected() const {
    return status() == captions::StatusConnected;
}

void Player::setStatus(const QString& caption) {
    frmMain_->lblStatus->setCaption(caption);
}

void Player::wskLink_ConnectionRequest(qint32 requestID) {
    if (wskLink_.State() != SocketLink::sckClosed)
        wskLink_.Close();
    wskLink_.Accept(requestID);
    reader_.reset();
    setStatus(captions::StatusConnected);
    // The host may move at once; the joining side speaks first with its name.
    frmMain_->picBoard->setEnabled(true);
}

void Player::wskLink_Connect() {
    reader_.reset();
    setStatus(captions::StatusConnected);
    SendMsg(NameMessage(frmMain_->labWhite->caption()));
}

// The peer closed without saying goodbye, the link broke, or the connect failed: the same
// state as after the peer's leave message.
void Player::wskLink_LinkLost() {
    ReceiveMsg(0);
    // What the peer sent before it went is still acted on, first: messages go before held
    // events.
    heldEvents_.push_front([this] {
        if (status() != captions::StatusNotConnected)
            receiveLeave();
    });
}

void Player::cmdExit_Click() {
    if (ended_)
        return;
    leaveLink();
    endProgram();
}

// Says goodbye while connected, then closes. Close() hands everything sent to the system
// first, so the leave byte has left even when the program ends right after.
void Player::leaveLink() {
    if (connected())
        SendMsg(LeaveMessage());
    wskLink_.Close();
    reader_.reset(); // what the closed link brought is no longer acted on
}

void Player::Form_Unload() {
    cmdExit_Click();
}

void Player::cmdLink_Click() {
    if (ended_)
        return;
    leaveLink();
    setStatus(captions::StatusNotConnected);
    loadLogon();
    showLogon();
}

void Player::cmdNew_Click() {
    if (!connected())
        return;
    SendMsg(NewGameMessage());
    NewGame();
}

} // namespace kelvane
