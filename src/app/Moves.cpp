#include "app/Captions.h"
#include "app/Player.h"

#include "game/CheckFive.h"
#include "game/DrawBoard.h"
#include "game/Opening.h"
#include "link/WireMessage.h"
#include "ui/BoardPicture.h"
#include "ui/MainWindow.h"

namespace kelvane {

void Player::picBoard_MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers, QPointF position) {
    if (!connected() || button != Qt::LeftButton || busyDepth_ > 0)
        return;
    const auto cell = CellAt(position.x(), position.y());
    if (!cell || board_.at(cell->column, cell->row) != Empty)
        return;
    runBusy([this, cell = *cell] {
        if (placeStone(cell, myColor_, false) == myColor_) {
            services_.boxes.information(frmMain_.get(), frmMain_->windowTitle(), captions::YouWon);
            RecordWin(myColor_);
        }
        SendMsg(MoveMessage(cell.column, cell.row));
        frmMain_->picBoard->setEnabled(false);
    });
}

// The one place where a stone, local or the peer's, reaches the board. The sound ends
// before the stone shows; the peer's stone is drawn highlighted, and the highlight stays on
// screen until the next redraw although the cell holds the plain colour again.
int Player::placeStone(Cell cell, int color, bool asPeerMove) {
    services_.sound.playToEnd();
    board_.set(cell.column, cell.row, static_cast<std::int16_t>(asPeerMove ? color + 2 : color));
    DrawBoard();
    board_.set(cell.column, cell.row, static_cast<std::int16_t>(color));
    return CheckFive(board_, color);
}

void Player::applyPeerMove(Cell cell) {
    runBusy([this, cell] {
        const int peer = opponentOf(myColor_);
        const int result = placeStone(cell, peer, true);
        frmMain_->picBoard->setEnabled(true);
        if (result == peer) {
            services_.boxes.information(frmMain_.get(), frmMain_->windowTitle(), captions::YouLost);
            frmMain_->picBoard->setEnabled(false);
            RecordWin(peer);
        }
    });
}

void Player::DrawBoard() {
    kelvane::DrawBoard(board_, *frmMain_->picBoard);
}

void Player::ShowRecord() {
    frmMain_->labBlackScore->setCaption(QString::fromStdString(RecordText(record_, Black)));
    frmMain_->labWhiteScore->setCaption(QString::fromStdString(RecordText(record_, White)));
}

void Player::RecordWin(int winner) {
    record_.RecordWin(winner);
    ShowRecord();
}

void Player::NewGame() {
    frmMain_->picBoard->clearPicture();
    board_.clear();
    if (const auto opens = OpensNewGame(myColor_, record_))
        frmMain_->picBoard->setEnabled(*opens);
}

} // namespace kelvane
