#include "game/Board.h"
#include "game/Opening.h"
#include "game/Record.h"

#include <gtest/gtest.h>

using namespace kelvane;

TEST(Record, EveryWinBooksTheLoserAndResetClearsBoth) {
    Record record;
    EXPECT_EQ(RecordText(record, Black), "战绩： 0胜 0败");
    for (int i = 0; i < 12; ++i)
        record.RecordWin(White);
    for (int i = 0; i < 105; ++i)
        record.RecordWin(Black);
    EXPECT_EQ(RecordText(record, White), "战绩： 12胜 105败");
    EXPECT_EQ(RecordText(record, Black), "战绩： 105胜 12败");
    EXPECT_EQ(record.decidedGames(), 117);
    record.reset();
    EXPECT_EQ(record.decidedGames(), 0);
    EXPECT_EQ(RecordText(record, White), "战绩： 0胜 0败");
}

// Black opens after an even number of decided games, whoever won the last one; abandoned
// games book nothing, and a reset (a reconnect) lets black open again.
TEST(Opening, FollowsTheNumberOfDecidedGames) {
    Record record;
    for (int game = 0; game < 7; ++game) {
        EXPECT_EQ(OpensNewGame(Black, record), game % 2 == 0) << game;
        EXPECT_EQ(OpensNewGame(White, record), game % 2 == 1) << game;
        record.RecordWin(game % 3 == 0 ? White : Black);
    }
    EXPECT_EQ(OpensNewGame(White, record), true);
    record.reset();
    EXPECT_EQ(OpensNewGame(Black, record), true);
    EXPECT_EQ(OpensNewGame(White, record), false);
    EXPECT_FALSE(OpensNewGame(0, record).has_value());
    EXPECT_FALSE(OpensNewGame(3, record).has_value());
}
