// Seeded matches of the engine, on node limits only: against a one-ply greedy player and
// between its strengths.
#include "game/CheckFive.h"
#include "game/Engine.h"

#include <gtest/gtest.h>

#include <random>
#include <tuple>

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

// Plays one game from a board; returns the winner, 0 for a full board. `check` sees every
// position before a move is made on it, and the move.
template <typename BlackMove, typename WhiteMove, typename Check>
int PlayGame(Board board, int toMove, BlackMove black, WhiteMove white, Check check) {
    for (int ply = 0; ply < BoardSize * BoardSize; ++ply) {
        const Cell move = toMove == Black ? black(board) : white(board);
        check(board, toMove, move);
        if (board.at(move.column, move.row) != Empty)
            return -1;
        board.set(move.column, move.row, static_cast<std::int16_t>(toMove));
        if (CheckFive(board, toMove))
            return toMove;
        toMove = opponentOf(toMove);
    }
    return 0;
}

// Whether `color` could make five in one move.
bool CanWinAt(Board board, int color, Cell cell) {
    board.set(cell.column, cell.row, static_cast<std::int16_t>(color));
    return CheckFive(board, color);
}
bool CanWin(const Board& board, int color) {
    for (int column = 1; column <= BoardSize; ++column) {
        for (int row = 1; row <= BoardSize; ++row) {
            if (board.at(column, row) == Empty && CanWinAt(board, color, {column, row}))
                return true;
        }
    }
    return false;
}

// Each strength on its own node budget, without its clock, so that games replay exactly.
void LimitNodes(Engine& engine, std::int64_t nodes) {
    EngineLimits limits = engine.limits();
    limits.timeMs = 0;
    limits.maxNodes = nodes;
    engine.setLimits(limits);
}

} // namespace

TEST(EngineMatch, WinsAtLeast19Of20AgainstGreedy) {
    int engineWins = 0;
    for (int game = 0; game < 20; ++game) {
        Engine engine(DefaultStrength, game);
        LimitNodes(engine, 3000);
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
    EXPECT_GE(engineWins, 19) << engineWins << " wins";
}

// Each strength beats the one below from both sides of a few openings, and the weakest,
// however it is beaten, never lets a five pass: its own or the opponent's.
TEST(EngineMatch, EachStrengthBeatsTheOneBelow) {
    const std::int64_t budget[] = {0, 10000, 15000, 45000};
    for (int strong = 2; strong <= StrongestStrength; ++strong) {
        int strongWins = 0, games = 0;
        for (int opening = 0; opening < 3; ++opening) {
            Board start;
            std::mt19937 random(opening);
            for (int stone = 0; stone < 4; ++stone) {
                int column, row;
                do
                    column = 6 + random() % 5, row = 6 + random() % 5;
                while (start.at(column, row) != Empty);
                start.set(column, row, static_cast<std::int16_t>(stone % 2 == 0 ? Black : White));
            }
            for (int strongColor : {Black, White}) {
                Engine a(strong, opening), b(strong - 1, opening);
                LimitNodes(a, budget[strong]);
                LimitNodes(b, budget[strong - 1]);
                const auto move = [](Engine& engine) {
                    return [&engine](const Board& board, int color) {
                        return engine.chooseMove(board, color).value();
                    };
                };
                const auto strongMove = move(a), weakMove = move(b);
                const auto blackMove = [&](const Board& board) {
                    return strongColor == Black ? strongMove(board, Black) : weakMove(board, Black);
                };
                const auto whiteMove = [&](const Board& board) {
                    return strongColor == White ? strongMove(board, White) : weakMove(board, White);
                };
                const int winner =
                    PlayGame(start, Black, blackMove, whiteMove,
                             [&](const Board& board, int color, Cell cell) {
                                 if (strong != 2 || color == strongColor)
                                     return;
                                 if (CanWin(board, color)) {
                                     EXPECT_TRUE(CanWinAt(board, color, cell)) << "missed a five";
                                 } else if (CanWin(board, opponentOf(color))) {
                                     EXPECT_TRUE(CanWinAt(board, opponentOf(color), cell))
                                         << "left a four";
                                 }
                             });
                ASSERT_GE(winner, 0);
                strongWins += winner == strongColor;
                ++games;
            }
        }
        EXPECT_GE(strongWins * 3, games * 2) << "strength " << strong << ": " << strongWins;
    }
}

// A cancel ends the search within a few dozen nodes, whatever phase it is in.
TEST(EngineMatch, CancelEndsTheSearchAtOnce) {
    Board board;
    for (const auto& [column, row, color] : {std::tuple{8, 8, Black},
                                             {9, 9, White},
                                             {9, 8, Black},
                                             {10, 8, White},
                                             {8, 9, Black},
                                             {8, 10, White},
                                             {7, 10, Black},
                                             {10, 7, White}})
        board.set(column, row, static_cast<std::int16_t>(color));
    for (int strength = WeakestStrength; strength <= StrongestStrength; ++strength) {
        Engine engine(strength, 1);
        engine.cancel();
        EXPECT_TRUE(engine.chooseMove(board, Black).has_value());
        EXPECT_LE(engine.lastNodes(), 40) << "strength " << strength;
        engine.clearCancel();
        engine.chooseMove(board, Black);
        EXPECT_GT(engine.lastNodes(), 80) << "strength " << strength;
    }
}
