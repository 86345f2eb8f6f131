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

TEST(DrawBoard, EachCodeUsesItsSpriteAtTheCellsCornerThenRefreshesOnce) {
    Board board;
    board.set(1, 1, BlackStone);
    board.set(15, 15, WhiteStone);
    board.set(3, 12, BlackHighlighted);
    board.set(7, 2, WhiteHighlighted);
    board.set(9, 9, 5); // not a stone code: nothing is drawn
    RecordingSurface surface;
    DrawBoard(board, surface);
    const std::vector<std::tuple<int, int, int>> expected{
        {0, 3, 2}, {42, 45, 222}, {63, 129, 22}, {21, 297, 282}};
    EXPECT_EQ(surface.copies, expected); // column by column, rows inside
    EXPECT_EQ(surface.refreshes, 1);
}

// The click zones start at the picture's origin, not at the drawing origin (3, 2).
TEST(CellAt, ZonesOfTwentyOneByTwentyFromTheOrigin) {
    const std::vector<std::tuple<double, double, int, int>> cells{
        {0, 0, 1, 1},           {20.9, 19.9, 1, 1}, {21, 20, 2, 2},
        {314.9, 299.9, 15, 15}, {-20.5, -1, 1, 1},  {315, 10, 0, 0},
        {10, 300, 0, 0},        {-21, 10, 0, 0},    {1e9, 1e9, 0, 0}};
    for (const auto& [x, y, column, row] : cells) {
        const auto cell = CellAt(x, y);
        EXPECT_EQ(cell ? std::pair(cell->column, cell->row) : std::pair(0, 0),
                  std::pair(column, row))
            << x << "," << y;
    }
}
