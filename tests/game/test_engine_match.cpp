// A seeded match of the engine against a one-ply greedy player, on node limits only.
#include "game/CheckFive.h"
#include "game/Engine.h"

#include <gtest/gtest.h>

#include <random>

using namespace kelvane;

namespace {

// Scores a cell by the runs it would join in each line, for itself and against the
// opponent, and plays the best; ties go to the seeded generator.
Cell GreedyMove(const Board& board, int color, std::mt19937& random) {
    const auto lineValue = [&](int column, int row, int who) {
        static const int runValue[5][3] = {
            {0, 0, 0}, {0, 3, 10}, {0, 50, 200}, {0, 500, 5000}, {100000, 100000, 100000}};
        int total = 0;
        for (const auto& [dc, dr] : {std::pair{1, 0}, {0, 1}, {1, 1}, {1, -1}}) {
            int run = 1, open = 0;
            for (int sign : {-1, 1}) {
                int c = column + sign * dc, r = row + sign * dr;
                while (Board::contains(c, r) && board.at(c, r) == who)
                    ++run, c += sign * dc, r += sign * dr;
                open += Board::contains(c, r) && board.at(c, r) == Empty;
            }
            total += runValue[std::min(run, 5) - 1][open] + (run >= 5) * 1000000;
        }
        return total;
    };
    Cell best{8, 8};
    int bestValue = -1, ties = 0;
    for (int column = 1; column <= BoardSize; ++column) {
        for (int row = 1; row <= BoardSize; ++row) {
            if (board.at(column, row) != Empty)
                continue;
            const int value =
                lineValue(column, row, color) * 11 / 10 + lineValue(column, row, opponentOf(color));
            if (value > bestValue) {
                bestValue = value, best = {column, row}, ties = 1;
            } else if (value == bestValue && random() % ++ties == 0) {
                best = {column, row};
            }
        }
    }
    return best;
}

} // namespace

TEST(EngineMatch, WinsAtLeast95Of100AgainstGreedy) {
    int engineWins = 0;
    for (int game = 0; game < 100; ++game) {
        Engine engine(DefaultStrength, game);
        EngineLimits limits = engine.limits();
        limits.timeMs = 0;
        limits.maxNodes = 4000;
        engine.setLimits(limits);
        std::mt19937 random(game);
        const int engineColor = game % 2 == 0 ? Black : White;
        Board board;
        int toMove = Black, winner = 0;
        for (int ply = 0; ply < BoardSize * BoardSize && winner == 0; ++ply) {
            Cell move = toMove == engineColor ? engine.chooseMove(board, toMove).value()
                                              : GreedyMove(board, toMove, random);
            ASSERT_EQ(board.at(move.column, move.row), Empty);
            board.set(move.column, move.row, static_cast<std::int16_t>(toMove));
            winner = CheckFive(board, toMove);
            toMove = opponentOf(toMove);
        }
        engineWins += winner == engineColor;
    }
    EXPECT_GE(engineWins, 95) << engineWins << " wins";
}
