#pragma once

#include <array>
#include <string>

namespace kelvane {

// Games won and lost by each colour since the logon dialog last opened. Both players book
// every decided game, so both records agree.
class Record {
public:
    int WinCount(int color) const { return wins_[slot(color)]; }
    int LossCount(int color) const { return losses_[slot(color)]; }

    void RecordWin(int winner);
    void reset();

    // Black's wins plus black's losses: the games decided since the last reset.
    int decidedGames() const { return WinCount(1) + LossCount(1); }

private:
    static int slot(int color) { return color == 2 ? 1 : 0; }

    std::array<int, 2> wins_{};
    std::array<int, 2> losses_{};
};

// "战绩： W胜 L败" for one colour, in UTF-8.
std::string RecordText(const Record& record, int color);

} // namespace kelvane
