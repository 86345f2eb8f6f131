#include "game/CheckFive.h"

#include <gtest/gtest.h>

#include <random>

using namespace kelvane;

namespace {

Board lineOf(int color, int column, int row, int stepColumn, int stepRow, int length) {
    Board board;
    for (int k = 0; k < length; ++k)
        board.set(column + k * stepColumn, row + k * stepRow, static_cast<std::int16_t>(color));
    return board;
}

// A straightforward reference: walk every cell and count the run in each direction.
int referenceFive(const Board& board, int color) {
    const int steps[4][2] = {{1, 0}, {0, 1}, {1, 1}, {-1, 1}};
    for (int c = 1; c <= BoardSize; ++c)
        for (int r = 1; r <= BoardSize; ++r)
            for (const auto& step : steps) {
                int run = 0;
                int x = c, y = r;
                while (Board::contains(x, y) && board.at(x, y) == color && run < 5) {
                    ++run;
                    x += step[0];
                    y += step[1];
                }
                if (run == 5)
                    return color;
            }
    return 0;
}

} // namespace

TEST(CheckFive, EmptyBoardHasNoLine) {
    Board board;
    EXPECT_EQ(CheckFive(board, Black), 0);
    EXPECT_EQ(CheckFive(board, White), 0);
}

TEST(CheckFive, FindsLinesAtTheEdgesAndCorners) {
    EXPECT_EQ(CheckFive(lineOf(Black, 11, 15, 1, 0, 5), Black), Black); // bottom-right row
    EXPECT_EQ(CheckFive(lineOf(Black, 1, 1, 1, 0, 5), Black), Black);   // top-left row
    EXPECT_EQ(CheckFive(lineOf(White, 1, 11, 0, 1, 5), White), White);  // left column bottom
    EXPECT_EQ(CheckFive(lineOf(White, 15, 1, 0, 1, 5), White), White);  // right column top
    EXPECT_EQ(CheckFive(lineOf(Black, 1, 1, 1, 1, 5), Black), Black);   // (1,1)..(5,5)
    EXPECT_EQ(CheckFive(lineOf(Black, 11, 11, 1, 1, 5), Black), Black); // (11,11)..(15,15)
    EXPECT_EQ(CheckFive(lineOf(White, 15, 1, -1, 1, 5), White), White); // (15,1)..(11,5)
    EXPECT_EQ(CheckFive(lineOf(White, 5, 11, -1, 1, 5), White), White); // (5,11)..(1,15)
}

TEST(CheckFive, FindsLinesInEveryDirectionAnywhere) {
    const int steps[4][2] = {{1, 0}, {0, 1}, {1, 1}, {-1, 1}};
    for (const auto& step : steps) {
        for (int c = 1; c <= BoardSize; ++c) {
            for (int r = 1; r <= BoardSize; ++r) {
                const int endColumn = c + 4 * step[0], endRow = r + 4 * step[1];
                if (!Board::contains(endColumn, endRow))
                    continue;
                const Board board = lineOf(White, c, r, step[0], step[1], 5);
                ASSERT_EQ(CheckFive(board, White), White) << c << "," << r;
                ASSERT_EQ(CheckFive(board, Black), 0);
            }
        }
    }
}

TEST(CheckFive, LongerRunsCountAsFive) {
    EXPECT_EQ(CheckFive(lineOf(Black, 3, 7, 1, 0, 6), Black), Black);
    EXPECT_EQ(CheckFive(lineOf(Black, 9, 1, 0, 1, 7), Black), Black);
    EXPECT_EQ(CheckFive(lineOf(White, 1, 1, 1, 1, 15), White), White);
}

TEST(CheckFive, BrokenRunsAreNotLines) {
    Board gap = lineOf(Black, 2, 4, 1, 0, 6);
    gap.set(4, 4, Empty); // 1 + 4 stones: no five
    EXPECT_EQ(CheckFive(gap, Black), 0);

    Board blocked = lineOf(Black, 2, 4, 0, 1, 5);
    blocked.set(2, 6, WhiteStone);
    EXPECT_EQ(CheckFive(blocked, Black), 0);
    EXPECT_EQ(CheckFive(lineOf(Black, 6, 6, 1, 1, 4), Black), 0);
}

TEST(CheckFive, OnlyTheTestedColourCounts) {
    const Board white = lineOf(White, 4, 4, 1, 0, 5);
    EXPECT_EQ(CheckFive(white, Black), 0);
    EXPECT_EQ(CheckFive(white, White), White);
}

TEST(CheckFive, LinesNeverWrapAroundAnEdge) {
    Board board;
    board.set(14, 3, BlackStone);
    board.set(15, 3, BlackStone);
    board.set(1, 4, BlackStone);
    board.set(2, 4, BlackStone);
    board.set(3, 4, BlackStone);
    EXPECT_EQ(CheckFive(board, Black), 0);

    Board vertical;
    for (int row : {14, 15})
        vertical.set(5, row, WhiteStone);
    for (int row : {1, 2, 3})
        vertical.set(6, row, WhiteStone);
    EXPECT_EQ(CheckFive(vertical, White), 0);
}

TEST(CheckFive, FullBoardWithoutLineGivesNoWinner) {
    // Colours alternate by pairs of columns and shift by one every row: no run is longer
    // than two in any direction.
    Board board;
    for (int c = 1; c <= BoardSize; ++c)
        for (int r = 1; r <= BoardSize; ++r)
            board.set(c, r, static_cast<std::int16_t>((c / 2 + r) % 2 + 1));
    ASSERT_EQ(referenceFive(board, Black), 0);
    ASSERT_EQ(referenceFive(board, White), 0);
    EXPECT_EQ(CheckFive(board, Black), 0);
    EXPECT_EQ(CheckFive(board, White), 0);
}

TEST(CheckFive, AgreesWithAReferenceOnRandomBoards) {
    std::mt19937 random(2026);
    std::uniform_int_distribution<int> code(0, 2);
    std::uniform_int_distribution<int> density(1, 9);
    for (int round = 0; round < 20000; ++round) {
        Board board;
        const int filled = density(random);
        for (int c = 1; c <= BoardSize; ++c)
            for (int r = 1; r <= BoardSize; ++r)
                if (code(random) * 3 < filled)
                    board.set(c, r, static_cast<std::int16_t>(code(random) % 2 + 1));
        ASSERT_EQ(CheckFive(board, Black), referenceFive(board, Black));
        ASSERT_EQ(CheckFive(board, White), referenceFive(board, White));
    }
}
