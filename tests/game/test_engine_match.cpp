// Seeded matches between the engine's strengths, on node limits only, and its cancel.
#include "game/CheckFive.h"
#include "game/Engine.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace kelvane;

namespace {

bool WinsAt(Board board, int color, int column, int row) {
    board.set(column, row, static_cast<std::int16_t>(color));
    return CheckFive(board, color);
}
bool CanWin(const Board& board, int color) {
    for (int column = 1; column <= BoardSize; ++column) {
        for (int row = 1; row <= BoardSize; ++row) {
            if (board.at(column, row) == Empty && WinsAt(board, color, column, row))
                return true;
        }
    }
    return false;
}

// Five stones, white to move, that Rapfi's search to depth 16 judges even: on the openings
// of four where black moves, black won nearly every game between near-equal engines, which
// measured little but the colours. Counted from 0, as the Gomocup protocol counts.
Board Opening(unsigned number) {
    static const int stones[][5][2] = {
        {{5, 8}, {8, 5}, {9, 9}, {7, 9}, {9, 5}}, {{7, 7}, {6, 6}, {5, 8}, {8, 5}, {5, 5}},
        {{6, 9}, {5, 5}, {7, 8}, {8, 7}, {9, 5}}, {{7, 8}, {8, 6}, {9, 6}, {6, 6}, {6, 9}},
        {{8, 5}, {5, 8}, {5, 5}, {6, 9}, {7, 7}}, {{6, 8}, {9, 8}, {8, 6}, {6, 6}, {8, 9}},
    };
    Board board;
    for (int i = 0; i < 5; ++i)
        board.set(stones[number][i][0] + 1, stones[number][i][1] + 1,
                  static_cast<std::int16_t>(i % 2 == 0 ? Black : White));
    return board;
}

// Stones in the order played, black first, counted from 0 as the Gomocup protocol counts.
template <std::size_t N> Board Played(const int (&stones)[N][2]) {
    Board board;
    for (std::size_t i = 0; i < N; ++i)
        board.set(stones[i][0] + 1, stones[i][1] + 1,
                  static_cast<std::int16_t>(i % 2 ? White : Black));
    return board;
}

// Without the clock, on a node budget only, so that the search is replayed exactly.
void OnNodes(Engine& engine, std::int64_t nodes) {
    EngineLimits limits = engine.limits();
    limits.timeMs = 0;
    limits.maxNodes = nodes;
    engine.setLimits(limits);
}

// Black to move: plays at most `plies` moves and returns the colour that made five, or 0.
int PlayOut(Board board, Engine& black, Engine& white, int plies) {
    for (int ply = 0, color = Black; ply < plies; ++ply, color = opponentOf(color)) {
        const Cell cell = (color == Black ? black : white).chooseMove(board, color).value();
        if (board.at(cell.column, cell.row) != Empty) {
            ADD_FAILURE() << "a stone on a stone at " << cell.column << "," << cell.row;
            return 0;
        }
        board.set(cell.column, cell.row, static_cast<std::int16_t>(color));
        if (CheckFive(board, color))
            return color;
    }
    return 0;
}

} // namespace

// Each strength, on its own budget and without its clock, beats the one below from both
// sides of a few openings; the weakest, however it is beaten, never lets a five pass, its
// own or the opponent's.
TEST(EngineMatch, EachStrengthBeatsTheOneBelow) {
    const std::int64_t budget[] = {0, 10000, 30000, 120000};
    for (int strong = 2; strong <= StrongestStrength; ++strong) {
        int strongWins = 0, games = 0;
        for (unsigned opening = 0; opening < 6; ++opening) {
            for (int strongColor : {Black, White}) {
                Engine weaker(strong - 1, opening), stronger(strong, opening);
                for (Engine* engine : {&weaker, &stronger}) {
                    EngineLimits limits = engine->limits();
                    limits.timeMs = 0;
                    limits.maxNodes = budget[strong - (engine == &weaker)];
                    engine->setLimits(limits);
                }
                Board board = Opening(opening);
                int winner = 0;
                for (int ply = 5, color = White; winner == 0 && ply < BoardSize * BoardSize;
                     ++ply, color = opponentOf(color)) {
                    const bool weak = color != strongColor;
                    const Cell cell = (weak ? weaker : stronger).chooseMove(board, color).value();
                    if (weak && strong == 2) {
                        const int must = CanWin(board, color)               ? color
                                         : CanWin(board, opponentOf(color)) ? opponentOf(color)
                                                                            : 0;
                        EXPECT_TRUE(must == 0 || WinsAt(board, must, cell.column, cell.row));
                    }
                    ASSERT_EQ(board.at(cell.column, cell.row), Empty);
                    board.set(cell.column, cell.row, static_cast<std::int16_t>(color));
                    winner = CheckFive(board, color) ? color : 0;
                }
                strongWins += winner == strongColor;
                ++games;
            }
        }
        EXPECT_GE(strongWins * 3, games * 2) << "strength " << strong << ": " << strongWins;
    }
}

// From a game: black wins by threats three moves deep (more where white answers with fours),
// but the threat search to its full depth runs out of its share long before its end.
// Deepening, black finds the short win anyway and carries it through against the strongest
// defence; the move played without it, in the game and here, won nothing in forty plies.
// Black searches one ply, so that only the threat search at the root, with threats by threes
// as at the strongest setting, can see the win.
TEST(EngineMatch, PlaysAShortWinWhereTheFullThreatSearchRunsOut) {
    const int stones[][2] = {{6, 7},  {9, 6}, {9, 9}, {7, 9},  {8, 8}, {10, 10}, {6, 8},
                             {9, 8},  {6, 6}, {6, 5}, {7, 7},  {5, 5}, {6, 9},   {6, 10},
                             {8, 7},  {9, 7}, {4, 7}, {5, 7},  {9, 5}, {8, 6},   {5, 8},
                             {7, 10}, {7, 8}, {4, 8}, {5, 10}, {4, 11}};
    const Board board = Played(stones);
    Engine attacker(DefaultStrength, 1), defender(StrongestStrength, 1);
    OnNodes(attacker, 100'000);
    OnNodes(defender, 400'000);
    EngineLimits limits = attacker.limits();
    limits.maxDepth = 1;
    limits.vctDepth = 5;
    attacker.setLimits(limits);
    EXPECT_EQ(PlayOut(board, attacker, defender, 21), Black);
}

// A win by fours past the horizon is seen from the leaves: searching one ply, with no threat
// search at the root, black finds a win of four fours and plays it out. Without the search
// at the leaves it plays elsewhere.
TEST(EngineMatch, SeesAWinByFoursFromTheLeaves) {
    const int stones[][2] = {{3, 11}, {11, 8},  {7, 7},  {10, 10}, {5, 9}, {5, 4}, {3, 6},
                             {4, 11}, {10, 9},  {6, 10}, {6, 4},   {6, 9}, {8, 4}, {6, 5},
                             {3, 8},  {10, 11}, {9, 5},  {9, 9},   {7, 6}, {4, 10}};
    const Board board = Played(stones);
    Engine attacker(DefaultStrength, 1), defender(StrongestStrength, 1);
    EngineLimits limits = attacker.limits();
    limits = {.maxDepth = 1,
              .maxNodes = 100'000,
              .timeMs = 0,
              .vcfDepth = 0,
              .vctDepth = 0,
              .leafVcfDepth = limits.leafVcfDepth,
              .width = limits.width};
    attacker.setLimits(limits);
    OnNodes(defender, 400'000);
    EXPECT_EQ(attacker.chooseMove(board, Black), (Cell{9, 7}));
    EXPECT_EQ(PlayOut(board, attacker, defender, 9), Black);
}

// From a game: white threatens an open four. Black's four at (4, 5), counted from 0, looked
// like a win, because past the horizon white's answers were tried without white's own fours;
// but white's block there wins in five. Black must meet the threat, and white must not win.
TEST(EngineMatch, TrustsNoWinThatTheDefendersFoursWereNotTriedAgainst) {
    const int stones[][2] = {{9, 8}, {7, 7}, {5, 7}, {8, 8}, {6, 5}, {8, 6},
                             {7, 5}, {8, 7}, {8, 5}, {9, 5}, {6, 8}, {10, 7}};
    const Board board = Played(stones);
    Engine black(DefaultStrength, 1), white(StrongestStrength, 1);
    OnNodes(black, 100'000);
    OnNodes(white, 400'000);
    EXPECT_NE(black.chooseMove(board, Black), (Cell{5, 6}));
    EXPECT_NE(PlayOut(board, black, white, 12), White);
}

// From a game: black's search, blind past its horizon, prefers (11, 9), counted from 0, after
// which white wins by fours in nine moves. The check of the chosen move finds that win, and
// black plays a move after which white, searching deeper than black, wins nothing in the 24
// plies played out.
TEST(EngineMatch, LeavesTheOpponentNoWinByFours) {
    const int stones[][2] = {
        {6, 5},  {8, 8}, {9, 7},  {6, 7},  {5, 9},  {7, 8},  {5, 6},  {5, 8},  {6, 8},  {7, 6},
        {8, 5},  {7, 7}, {7, 9},  {4, 7},  {5, 7},  {4, 6},  {4, 8},  {6, 9},  {7, 10}, {7, 5},
        {7, 4},  {9, 6}, {8, 7},  {8, 10}, {3, 7},  {2, 6},  {7, 11}, {6, 10}, {3, 6},  {3, 5},
        {6, 6},  {4, 4}, {8, 3},  {9, 2},  {5, 3},  {5, 4},  {8, 4},  {8, 6},  {7, 3},  {6, 3},
        {10, 6}, {9, 5}, {3, 9},  {2, 10}, {10, 4}, {9, 4},  {9, 3},  {4, 5},  {4, 3},  {10, 3},
        {7, 2},  {8, 2}, {3, 10}, {3, 8},  {3, 4},  {2, 9},  {2, 5},  {1, 6},  {2, 8},  {3, 11},
        {5, 1},  {1, 7}, {0, 8},  {6, 1},  {6, 11}, {7, 12}, {8, 9},  {9, 8},  {10, 8}, {4, 11}};
    const Board board = Played(stones);
    for (const bool checked : {false, true}) {
        Engine black(DefaultStrength, 1), white(StrongestStrength, 1);
        OnNodes(black, 100'000);
        OnNodes(white, 400'000);
        EngineLimits limits = black.limits();
        limits.guardNodes = checked ? limits.guardNodes : 0;
        black.setLimits(limits);
        EXPECT_EQ(PlayOut(board, black, white, 24) == White, !checked)
            << (checked ? "with" : "without") << " the check";
    }
}

// A cancel ends the search within a few dozen nodes, whatever phase it is in: here, with
// threats on the board, the threat searches come first.
TEST(EngineMatch, CancelEndsTheSearchAtOnce) {
    Board board;
    const int stones[][2] = {{8, 8}, {9, 9}, {9, 8}, {10, 8}, {8, 9}, {8, 10}, {7, 10}, {10, 7}};
    for (int i = 0; i < 8; ++i)
        board.set(stones[i][0], stones[i][1], static_cast<std::int16_t>(i % 2 ? White : Black));
    for (int strength = WeakestStrength; strength <= StrongestStrength; ++strength) {
        Engine engine(strength, 1);
        // Deep enough at every strength that the whole search takes far more.
        EngineLimits limits = engine.limits();
        limits.timeMs = 0;
        limits.maxNodes = 2000;
        limits.maxDepth = std::max(limits.maxDepth, 4);
        engine.setLimits(limits);
        engine.cancel();
        EXPECT_TRUE(engine.chooseMove(board, Black).has_value());
        EXPECT_LE(engine.lastNodes(), 40) << "strength " << strength;
        engine.clearCancel();
        engine.chooseMove(board, Black);
        EXPECT_GT(engine.lastNodes(), 40) << "strength " << strength;
    }
}
