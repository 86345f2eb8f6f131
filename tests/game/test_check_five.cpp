#include "game/CheckFive.h"

#include <gtest/gtest.h>

#include <random>

using namespace kelvane;

namespace {

constexpr int Steps[4][2] = {{1, 0}, {0, 1}, {1, 1}, {-1, 1}};

Board lineOf(int color, int column, int row, int stepColumn, int stepRow, int length) {
    Board board;
    for (int k = 0; k < length; ++k)
        board.set(column + k * stepColumn, row + k * stepRow, static_cast<std::int16_t>(color));
    return board;
}

// A straightforward reference: from every cell, count the run in each direction.
int referenceFive(const Board& board, int color) {
    for (int c = 1; c <= BoardSize; ++c)
        for (int r = 1; r <= BoardSize; ++r)
            for (const auto& step : Steps) {
                int run = 0;
                for (int x = c, y = r; Board::contains(x, y) && board.at(x, y) == color;
                     x += step[0], y += step[1])
                    ++run;
                if (run >= 5)
                    return color;
            }
    return 0;
}

} // namespace

// Every start cell in every direction, so the edges and corners are all included; the line
// through any of the five runs from its first stone to its last.
TEST(CheckFive, FindsFiveInEveryDirectionFromEveryCell) {
    for (const auto& step : Steps)
        for (int c = 1; c <= BoardSize; ++c)
            for (int r = 1; r <= BoardSize; ++r) {
                if (!Board::contains(c + 4 * step[0], r + 4 * step[1]))
                    continue;
                const Board board = lineOf(White, c, r, step[0], step[1], 5);
                ASSERT_EQ(CheckFive(board, White), White) << c << "," << r;
                ASSERT_EQ(CheckFive(board, Black), 0);
                const std::pair ends{Cell{c, r}, Cell{c + 4 * step[0], r + 4 * step[1]}};
                for (int k = 0; k < 5; ++k)
                    ASSERT_EQ(WinningLine(board, {c + k * step[0], r + k * step[1]}), ends);
                ASSERT_FALSE(WinningLine(lineOf(White, c, r, step[0], step[1], 4), {c, r}));
            }
}

// Random boards of every density hold runs of six and more, broken and blocked runs, and
// runs that would wrap around an edge; the reference counts runs cell by cell.
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
