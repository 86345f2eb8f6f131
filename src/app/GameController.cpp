#include "app/GameController.h"

#include "app/Captions.h"
#include "app/Session.h"
#include "game/CheckFive.h"
#include "link/LinkError.h"
#include "link/WireMessage.h"
#include "ui/MainWindow.h"

#include <QPointer>

namespace kelvane {

GameController::GameController(GameModel& model, MainWindow& window, Session& session,
                               MoveSound& sound, MessageBoxes& boxes, QObject* parent)
    : QObject(parent), model_(model), window_(window), session_(session), sound_(sound),
      boxes_(boxes) {
    connect(&window_, &MainWindow::cellClicked, this, &GameController::picBoard_MouseUp);
    connect(&window_, &MainWindow::newGameRequested, this, &GameController::cmdNew_Click);
    connect(&window_, &MainWindow::chatSubmitted, this, &GameController::SendTalk);
    connect(&session_, &Session::messageArrived, this, &GameController::dispatch);
    connect(&session_, &Session::joinerArrived, this,
            &GameController::wskLink_ConnectionRequest);
    connect(&session_, &Session::connectedToHost, this, &GameController::wskLink_Connect);
    connect(&session_, &Session::linkLost, this, &GameController::wskLink_LinkLost);
    connect(&window_, &MainWindow::hintRequested, this, &GameController::askHint);
    connect(&hint_, &MoveHint::found, this, &GameController::showHint);
}

void GameController::setOwnCaption(const QString& caption) {
    ownCaption_ = caption;
}

void GameController::showLink(const QString& reason) {
    window_.setStatus(captions::Status(model_.link()));
    window_.setStatusReason(reason);
    emit linkChanged(model_.link());
}

void GameController::setLink(LinkState state, const QString& reason) {
    model_.setLink(state);
    showLink(reason);
}

void GameController::showTurn() {
    const bool open = model_.linkUp() && model_.winner() == 0;
    window_.setMover(!open ? 0 : model_.myTurn() ? model_.myColor() : model_.peerColor());
    window_.setTurn(model_.myTurn());
    window_.setHintAvailable(hintsOffered_ && model_.myTurn());
}

void GameController::offerHints(bool offered) {
    hintsOffered_ = offered;
    if (!offered)
        dropHint();
    showTurn();
}

void GameController::askHint() {
    if (hintsOffered_ && model_.myTurn())
        hint_.ask(model_.board(), model_.myColor());
}

void GameController::showHint(Cell cell) {
    if (hintsOffered_ && model_.myTurn())
        window_.setHint(cell);
}

// A hint holds until the player moves, and never into another game.
void GameController::dropHint() {
    hint_.cancel();
    window_.setHint(std::nullopt);
}

void GameController::markFive(Cell last) {
    if (const auto ends = WinningLine(model_.board(), last))
        window_.markFive(*ends);
}

void GameController::ShowRecord() {
    const Record& record = model_.record();
    window_.setRecord(QString::fromStdString(RecordText(record, Black)),
                      QString::fromStdString(RecordText(record, White)));
}

void GameController::showResult(const QString& text) {
    boxes_.information(&window_, window_.windowTitle(), text);
}

// Runs `then` once the move sound has ended, with the peer's messages held meanwhile; it is
// told whether the game the sound was for is still the one on the board.
void GameController::afterSound(std::function<void(bool current)> then) {
    const int generation = generation_;
    session_.hold();
    sound_.play([self = QPointer(this), this, generation, then = std::move(then)] {
        if (!self)
            return;
        then(generation == generation_);
        session_.release();
    });
}

// The sound ends before the stone shows, and the window goes on taking clicks meanwhile.
// The move is sent once it shows; after a win, only once the player has closed the box.
void GameController::picBoard_MouseUp(Cell cell) {
    const std::optional<Placed> placed = model_.localMove(cell);
    if (!placed)
        return;
    dropHint();
    showTurn();
    afterSound([this, placed = *placed](bool current) {
        if (!current)
            return; // a new game or the end of the link came first: the move never was
        window_.showStones(model_.board());
        if (placed.wins) {
            markFive(placed.cell);
            showResult(captions::YouWon);
            model_.recordWin(placed.color);
            ShowRecord();
        }
        session_.SendMsg(MoveMessage(placed.cell.column, placed.cell.row));
    });
}

// The peer has booked its win before sending the move, so it is booked here at once: a new
// game started while the sound plays must find both records alike. Such a new game first
// shows the stone and the box, so that the loss is never booked unseen.
void GameController::receiveMove(Cell cell) {
    const std::optional<Placed> placed = model_.peerMove(cell);
    if (!placed)
        return; // out of turn, onto a stone or after the end: not a move of this game
    dropHint();
    auto show = [this, placed = *placed] {
        window_.showStones(model_.board(), placed.cell);
        showTurn();
        if (placed.wins) {
            markFive(placed.cell);
            showResult(captions::YouLost);
            ShowRecord();
        }
    };
    if (placed->wins) {
        model_.recordWin(placed->color);
        unseenLoss_ = show;
    }
    afterSound([this, show, wins = placed->wins](bool current) {
        if (!wins) {
            if (current)
                show();
        } else if (const auto loss = std::exchange(unseenLoss_, nullptr); loss && current) {
            loss();
        } else {
            ShowRecord();
        }
    });
}

void GameController::dispatch(const WireMessage& message) {
    switch (message.type) {
    case MessageType::Move:
        receiveMove(Cell{message.column, message.row});
        return;
    case MessageType::Name:
        receiveName(message.text);
        return;
    case MessageType::NewGame:
        NewGame();
        return;
    case MessageType::Leave:
        receiveLeave();
        return;
    case MessageType::Chat:
        window_.setPeerLine(message.text);
        return;
    }
}

void GameController::receiveName(const QString& payload) {
    // A payload too short to hold the colour prefix gives an empty name.
    window_.setPeerName(payload.mid(captions::PrefixLength) + captions::Says);
    if (model_.myColor() == Black) {
        window_.setWhitePlayer(payload);
        session_.SendMsg(NameMessage(ownCaption_));
    } else {
        window_.setBlackPlayer(payload);
    }
}

// Whatever the peer sent after its leave goes with the link.
void GameController::receiveLeave(const QString& reason) {
    ++generation_;
    dropHint();
    model_.linkEnded();
    showLink(reason);
    showTurn();
    session_.socket().Close();
    session_.forgetReceived();
}

void GameController::wskLink_ConnectionRequest(qint32 requestID) {
    SocketLink& link = session_.socket();
    if (link.State() != SocketLink::sckClosed)
        link.Close();
    link.Accept(requestID);
    session_.forgetReceived();
    // The host may move at once; the joining side speaks first with its name.
    model_.acceptedJoiner();
    showLink();
    showTurn();
}

void GameController::wskLink_Connect() {
    session_.forgetReceived();
    setLink(LinkState::Connected);
    session_.SendMsg(NameMessage(ownCaption_));
}

// The peer closed without saying goodbye, the link broke, or the connect failed: the same
// state as after the peer's leave message.
void GameController::wskLink_LinkLost() {
    if (model_.link() == LinkState::NotConnected)
        return;
    SocketLink& link = session_.socket();
    // A joiner always names itself first. A connection that ends before it has said anything
    // was a port scan or a health check, not a player: the host goes on waiting.
    if (model_.myColor() == Black && model_.linkUp() && !link.heardFromPeer()) {
        try {
            link.Close();
            link.setLocalPort(link.GamePort());
            link.Listen();
            session_.forgetReceived();
            setLink(LinkState::Waiting);
            NewGame();
            return;
        } catch (const LinkError&) {
            // The port was taken meanwhile: the link is down like any other.
        }
    }
    receiveLeave(link.lostReason());
}

// What arrived before the leave is acted on before the link closes.
void GameController::leaveLink() {
    if (model_.linkUp())
        session_.SendMsg(LeaveMessage());
    session_.dispatchReceived();
    session_.socket().Close();
    session_.forgetReceived();
    ++generation_;
    dropHint();
    model_.linkEnded();
    showLink();
    showTurn();
}

void GameController::cmdNew_Click() {
    if (!model_.linkUp())
        return;
    if (const auto loss = std::exchange(unseenLoss_, nullptr))
        session_.runHeld(loss);
    session_.SendMsg(NewGameMessage());
    NewGame();
}

void GameController::NewGame() {
    ++generation_;
    unseenLoss_ = nullptr;
    dropHint();
    window_.clearBoard();
    model_.newGame();
    showTurn();
}

// The line is sent exactly as typed.
void GameController::SendTalk(const QString& line) {
    if (!model_.linkUp())
        return;
    window_.setMyLine(line);
    session_.SendMsg(ChatMessage(line));
}

} // namespace kelvane
