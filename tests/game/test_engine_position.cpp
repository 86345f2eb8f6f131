// The engine's board keeps its shapes, threat counts and judgement move by move: after any
// sequence of stones and take-backs they must equal those of the same board built afresh.
#include "game/EnginePosition.h"

#include <gtest/gtest.h>

#include <random>

using namespace kelvane;
using namespace kelvane::engine;

namespace {

void ExpectSameAsFresh(const Position& kept, const Board& board) {
    Position fresh;
    fresh.load(board);
    ASSERT_EQ(kept.hash(), fresh.hash());
    for (int color : {Black, White}) {
        EXPECT_EQ(kept.toMoveWorth(color), fresh.toMoveWorth(color));
        EXPECT_EQ(kept.waitingWorth(color), fresh.waitingWorth(color));
        for (ThreatFlag flag : {MakesFive, MakesOpenFour, MakesFour, MakesOpenThree,
                                MakesDoubleThree, MakesFourThree})
            EXPECT_EQ(kept.count(color, flag), fresh.count(color, flag));
        for (int index : Position::boardCells()) {
            if (fresh.isEmpty(index)) {
                ASSERT_EQ(kept.shapeCode(index, color), fresh.shapeCode(index, color)) << index;
            }
        }
    }
}

} // namespace

TEST(EnginePosition, PlayAndUndoKeepWhatAFreshBoardWouldHave) {
    std::mt19937 random(7);
    Position pos;
    Board board;
    std::vector<Cell> played;
    // Stones gather in the middle, so that lines fill, threes and fours form and are broken.
    for (int step = 0; step < 400; ++step) {
        if (!played.empty() && (random() % 4 == 0 || played.size() > 60)) {
            board.set(played.back().column, played.back().row, Empty);
            played.pop_back();
            pos.undo();
        } else {
            const Cell cell{4 + static_cast<int>(random() % 8), 4 + static_cast<int>(random() % 8)};
            if (board.at(cell.column, cell.row) != Empty)
                continue;
            const int color = played.size() % 2 == 0 ? Black : White;
            board.set(cell.column, cell.row, static_cast<std::int16_t>(color));
            played.push_back(cell);
            pos.play(toIndex(cell.column, cell.row), color);
        }
        ExpectSameAsFresh(pos, board);
        if (HasFatalFailure())
            return;
    }
}
