#include "game/GameModel.h"

#include "game/CheckFive.h"
#include "game/Opening.h"

namespace kelvane {

void GameModel::startSeries() {
    myColor_ = Black;
    record_.reset();
}

void GameModel::setLink(LinkState state) {
    link_ = state;
}

void GameModel::acceptedJoiner() {
    link_ = LinkState::Connected;
    myTurn_ = true;
}

void GameModel::linkEnded() {
    link_ = LinkState::NotConnected;
    myTurn_ = false;
}

std::optional<Placed> GameModel::localMove(Cell cell) {
    if (!myTurn_)
        return std::nullopt;
    auto placed = place(cell, myColor_);
    if (placed)
        myTurn_ = false;
    return placed;
}

std::optional<Placed> GameModel::peerMove(Cell cell) {
    if (myTurn_)
        return std::nullopt;
    auto placed = place(cell, peerColor());
    if (placed)
        myTurn_ = !placed->wins;
    return placed;
}

std::optional<Placed> GameModel::place(Cell cell, int color) {
    if (!linkUp() || winner_ != 0 || !Board::contains(cell.column, cell.row) ||
        board_.at(cell.column, cell.row) != Empty)
        return std::nullopt;
    board_.set(cell.column, cell.row, static_cast<std::int16_t>(color));
    const bool wins = CheckFive(board_, color) == color;
    if (wins)
        winner_ = color;
    return Placed{cell, color, wins};
}

void GameModel::recordWin(int winner) {
    record_.RecordWin(winner);
}

void GameModel::newGame() {
    board_.clear();
    winner_ = 0;
    if (const auto opens = OpensNewGame(myColor_, record_))
        myTurn_ = *opens;
}

} // namespace kelvane
