#include "app/Captions.h"
#include "app/Player.h"

#include "link/WireMessage.h"
#include "ui/BoardPicture.h"
#include "ui/MainWindow.h"

namespace kelvane {

void Player::SendMsg(const QString& text) {
    wskLink_.SendData(text);
}

// Reads everything that has arrived and acts on each whole message in order. A move or a
// one-byte message is cut out exactly; a name or chat line takes the rest of its read.
void Player::ReceiveMsg(qint32) {
    handleRead(wskLink_.GetData());
}

void Player::handleRead(const QByteArray& read) {
    const QList<WireMessage> messages = reader_.takeRead(read);
    for (const WireMessage& message : messages) {
        if (ended_ || !dispatch(message))
            break;
    }
}

// Returns false once the peer has left: whatever followed its leave is not acted on.
bool Player::dispatch(const WireMessage& message) {
    switch (message.type) {
    case MessageType::Move:
        applyPeerMove(Cell{message.column, message.row});
        return true;
    case MessageType::Name:
        receiveName(message.text);
        return true;
    case MessageType::NewGame:
        NewGame();
        return true;
    case MessageType::Leave:
        receiveLeave();
        return false;
    case MessageType::Chat:
        frmMain_->labHeSay->setCaption(message.text);
        return true;
    }
    return true;
}

void Player::receiveName(const QString& payload) {
    // A payload too short to hold the colour prefix gives an empty name.
    frmMain_->labHe->setCaption(payload.mid(captions::PrefixLength) + captions::Says);
    if (myColor_ == Black) {
        frmMain_->labWhite->setCaption(payload);
        SendMsg(NameMessage(frmMain_->labBlack->caption()));
    } else {
        frmMain_->labBlack->setCaption(payload);
    }
}

void Player::receiveLeave() {
    setStatus(captions::StatusNotConnected);
    frmMain_->picBoard->setEnabled(false);
    wskLink_.Close();
}

} // namespace kelvane
