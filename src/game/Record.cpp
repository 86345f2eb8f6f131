#include "game/Record.h"

#include "game/Board.h"

namespace kelvane {

void Record::RecordWin(int winner) {
    ++wins_[slot(winner)];
    ++losses_[slot(opponentOf(winner))];
}

void Record::reset() {
    wins_ = {};
    losses_ = {};
}

std::string RecordText(const Record& record, int color) {
    // Each number keeps the single leading space of the classic sign position.
    return "战绩： " + std::to_string(record.WinCount(color)) + "胜 " +
           std::to_string(record.LossCount(color)) + "败";
}

} // namespace kelvane
