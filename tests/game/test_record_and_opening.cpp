#include "game/Board.h"
#include "game/Opening.h"
#include "game/Record.h"

#include <gtest/gtest.h>

using namespace kelvane;

TEST(Record, TextAfterResetShowsNothingWonOrLost) {
    Record record;
    EXPECT_EQ(RecordText(record, Black), "战绩： 0胜 0败");
    EXPECT_EQ(RecordText(record, White), "战绩： 0胜 0败");
}

TEST(Record, WinBooksTheLoserToo) {
    Record record;
    record.RecordWin(Black);
    EXPECT_EQ(record.WinCount(Black), 1);
    EXPECT_EQ(record.LossCount(White), 1);
    EXPECT_EQ(record.WinCount(White), 0);
    EXPECT_EQ(record.LossCount(Black), 0);
    EXPECT_EQ(RecordText(record, Black), "战绩： 1胜 0败");
    EXPECT_EQ(RecordText(record, White), "战绩： 0胜 1败");
}

TEST(Record, LargeCountsKeepAllDigitsAfterOneSpace) {
    Record record;
    for (int i = 0; i < 12; ++i)
        record.RecordWin(White);
    for (int i = 0; i < 105; ++i)
        record.RecordWin(Black);
    EXPECT_EQ(RecordText(record, White), "战绩： 12胜 105败");
    EXPECT_EQ(RecordText(record, Black), "战绩： 105胜 12败");
    EXPECT_EQ(record.WinCount(Black) + record.LossCount(Black),
              record.WinCount(White) + record.LossCount(White));
    record.reset();
    EXPECT_EQ(record.decidedGames(), 0);
    EXPECT_EQ(RecordText(record, White), "战绩： 0胜 0败");
}

TEST(Opening, BlackOpensAfterAnEvenNumberOfDecidedGames) {
    Record record;
    EXPECT_EQ(OpensNewGame(Black, record), true);
    EXPECT_EQ(OpensNewGame(White, record), false);

    record.RecordWin(Black); // one decided game: white opens, whoever won
    EXPECT_EQ(OpensNewGame(Black, record), false);
    EXPECT_EQ(OpensNewGame(White, record), true);

    record.RecordWin(Black); // two: black again
    EXPECT_EQ(OpensNewGame(Black, record), true);
    record.RecordWin(White); // three, won by white: white opens
    EXPECT_EQ(OpensNewGame(White, record), true);
    EXPECT_EQ(OpensNewGame(Black, record), false);
}

TEST(Opening, AbandonedGamesAndResetsFollowTheRecord) {
    Record record;
    record.RecordWin(White);
    // Abandoning a game books nothing, so asking again gives the same opener.
    EXPECT_EQ(OpensNewGame(White, record), true);
    EXPECT_EQ(OpensNewGame(White, record), true);
    record.reset(); // a reconnect: black opens again
    EXPECT_EQ(OpensNewGame(Black, record), true);
    EXPECT_EQ(OpensNewGame(White, record), false);
}

TEST(Opening, ExactlyOneSideOpensEveryGame) {
    Record record;
    for (int game = 0; game < 9; ++game) {
        EXPECT_NE(*OpensNewGame(Black, record), *OpensNewGame(White, record));
        record.RecordWin(game % 3 == 0 ? White : Black);
    }
}

TEST(Opening, UnknownColourLeavesTheBoardAsItIs) {
    EXPECT_FALSE(OpensNewGame(0, Record{}).has_value());
    EXPECT_FALSE(OpensNewGame(3, Record{}).has_value());
}
