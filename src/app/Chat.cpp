#include "app/Captions.h"
#include "app/Player.h"

#include "link/WireMessage.h"
#include "ui/MainWindow.h"

#include <QLineEdit>

namespace kelvane {

// The line is sent exactly as typed and stays in the box, so it can be sent again.
void Player::SendTalk() {
    if (!connected())
        return;
    frmMain_->labISay->setCaption(frmMain_->txtMsg->text());
    SendMsg(ChatMessage(frmMain_->txtMsg->text()));
}

} // namespace kelvane
