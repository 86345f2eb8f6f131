#include "game/GameModel.h"

#include <gtest/gtest.h>

using namespace kelvane;

namespace {

// Two models, as the two players keep them, joined by a perfect wire.
struct Pair {
    GameModel black, white;
    Pair() {
        white.setMyColor(White);
        for (GameModel* side : {&black, &white}) {
            side->setLink(LinkState::Connected);
            side->newGame();
        }
    }
    // A move by `mover`, delivered to the other side; false when either side refused it.
    bool play(GameModel& mover, int column, int row) {
        GameModel& other = &mover == &black ? white : black;
        const auto placed = mover.localMove({column, row});
        if (!placed || !other.peerMove({column, row}))
            return false;
        if (placed->wins)
            for (GameModel* side : {&black, &white})
                side->recordWin(placed->color);
        return true;
    }
    bool exactlyOneToMove(const GameModel& side) const {
        return side.myTurn() && !(&side == &black ? white : black).myTurn();
    }
};

} // namespace

TEST(GameModel, TurnsAlternateAndBothSidesAgreeOnWinsRecordAndOpener) {
    Pair p;
    EXPECT_TRUE(p.exactlyOneToMove(p.black));
    EXPECT_FALSE(p.play(p.white, 1, 1)); // out of turn
    for (int row = 1; row <= 4; ++row) {
        ASSERT_TRUE(p.play(p.black, 8, row));
        EXPECT_TRUE(p.exactlyOneToMove(p.white));
        EXPECT_FALSE(p.play(p.white, 8, row)); // onto a stone
        ASSERT_TRUE(p.play(p.white, 9, row));
    }
    ASSERT_TRUE(p.play(p.black, 8, 5));
    for (GameModel* side : {&p.black, &p.white}) {
        EXPECT_EQ(side->winner(), Black);
        EXPECT_FALSE(side->myTurn());
        EXPECT_EQ(RecordText(side->record(), Black), "战绩： 1胜 0败");
        EXPECT_EQ(RecordText(side->record(), White), "战绩： 0胜 1败");
    }
    EXPECT_FALSE(p.play(p.white, 1, 1)); // the game is decided
    // One decided game: white opens; an abandoned game books nothing and changes no opener.
    for (int game = 0; game < 2; ++game) {
        p.black.newGame(), p.white.newGame();
        EXPECT_EQ(p.black.board().at(8, 5), Empty);
        EXPECT_TRUE(p.exactlyOneToMove(p.white)) << game;
        ASSERT_TRUE(p.play(p.white, 1, 1));
    }
    // A fresh series: the record is cleared and black opens again.
    p.black.startSeries(), p.black.newGame();
    EXPECT_EQ(p.black.record().decidedGames(), 0);
    EXPECT_TRUE(p.black.myTurn());
}

TEST(GameModel, NothingMovesWithoutALinkOrOffTheBoard) {
    Pair p;
    for (const Cell off : {Cell{0, 1}, Cell{1, 16}, Cell{16, 16}, Cell{-1, 5}})
        EXPECT_FALSE(p.black.localMove(off));
    p.white.linkEnded();
    EXPECT_FALSE(p.white.peerMove({1, 1}));
    p.black.setLink(LinkState::Waiting);
    EXPECT_FALSE(p.black.localMove({1, 1}));
    p.black.acceptedJoiner();
    EXPECT_TRUE(p.black.localMove({1, 1}));
    EXPECT_EQ(p.black.board().at(1, 1), Black);
}

TEST(Record, EveryWinBooksTheLoser) {
    Record record;
    for (int i = 0; i < 12; ++i)
        record.RecordWin(White);
    for (int i = 0; i < 105; ++i)
        record.RecordWin(Black);
    EXPECT_EQ(RecordText(record, White), "战绩： 12胜 105败");
    EXPECT_EQ(RecordText(record, Black), "战绩： 105胜 12败");
}
