#include "game/BoardGeometry.h"
#include "game/DrawBoard.h"

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

using namespace kelvane;

namespace {

struct RecordingSurface : SpriteSurface {
    std::vector<std::tuple<int, int, int>> copies; // strip x, x, y
    int refreshes = 0;
    void copySprite(int stripLeft, int x, int y) override { copies.emplace_back(stripLeft, x, y); }
    void refresh() override { ++refreshes; }
};

} // namespace

TEST(DrawBoard, EmptyBoardOnlyRefreshes) {
    RecordingSurface surface;
    DrawBoard(Board{}, surface);
    EXPECT_TRUE(surface.copies.empty());
    EXPECT_EQ(surface.refreshes, 1);
}

TEST(DrawBoard, EachCodeUsesItsSpriteAtTheCellsCorner) {
    Board board;
    board.set(1, 1, BlackStone);
    board.set(15, 15, WhiteStone);
    board.set(3, 12, BlackHighlighted);
    board.set(7, 2, WhiteHighlighted);
    board.set(9, 9, 5); // not a stone code: nothing is drawn
    RecordingSurface surface;
    DrawBoard(board, surface);
    const std::vector<std::tuple<int, int, int>> expected{
        {0, 3, 2}, {42, 3 + 21 * 2, 2 + 20 * 11}, {63, 3 + 21 * 6, 2 + 20 * 1}, {21, 297, 282}};
    EXPECT_EQ(surface.copies, expected); // column by column, rows inside
}

TEST(DrawBoard, FullBoardCopies225Sprites) {
    Board board;
    for (int c = 1; c <= BoardSize; ++c)
        for (int r = 1; r <= BoardSize; ++r)
            board.set(c, r, static_cast<std::int16_t>((c + r) % 2 + 1));
    RecordingSurface surface;
    DrawBoard(board, surface);
    EXPECT_EQ(surface.copies.size(), 225u);
}

TEST(CellAt, ClickZonesStartAtThePicturesOrigin) {
    auto at = [](double x, double y) {
        const auto cell = CellAt(x, y);
        return cell ? std::make_pair(cell->column, cell->row) : std::make_pair(0, 0);
    };
    EXPECT_EQ(at(0, 0), std::make_pair(1, 1));
    EXPECT_EQ(at(20.9, 19.9), std::make_pair(1, 1));
    EXPECT_EQ(at(21, 20), std::make_pair(2, 2));
    EXPECT_EQ(at(314.9, 299.9), std::make_pair(15, 15));
    EXPECT_EQ(at(-20.5, -1), std::make_pair(1, 1)); // just outside still truncates to 1
}

TEST(CellAt, NoCellPastTheFifteenthLine) {
    EXPECT_FALSE(CellAt(315, 10).has_value());
    EXPECT_FALSE(CellAt(10, 300).has_value());
    EXPECT_FALSE(CellAt(-21, 10).has_value());
    EXPECT_FALSE(CellAt(1e9, 1e9).has_value());
}
