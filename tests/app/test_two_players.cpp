// Two whole programs in one process, joined over loopback, driven through their widgets.
#include "support/TestPlayer.h"

#include "ui/CaptionLabel.h"

#include <QAction>
#include <QTcpSocket>
#include <QtTest>

using namespace kelvane;
using namespace kelvane::testing;

namespace {

const QString Connected = QStringLiteral("连线中");
const QString NotConnected = QStringLiteral("尚未连线");

struct Match {
    // Both players keep one port across reconnects, as the real program keeps 5238.
    const quint16 port = freePort();
    TestPlayer host{port};
    std::unique_ptr<TestPlayer> joiner;

    Match() {
        host.hostAs(QStringLiteral("黑棋手"));
        joiner = std::make_unique<TestPlayer>(port);
        joiner->joinAs(QStringLiteral("白棋手"));
    }

    bool linked() {
        return host->status() == Connected && joiner->player->status() == Connected &&
               host.window().labWhite->caption() == QStringLiteral("白方：白棋手") &&
               (*joiner)->frmMain().labBlack->caption() == QStringLiteral("黑方：黑棋手");
    }

    TestPlayer& white() { return *joiner; }

    // Plays one move and waits until the other side has it and holds the turn.
    bool move(TestPlayer& mover, TestPlayer& other, int column, int row) {
        if (!mover->boardTakesClicks() || other->boardTakesClicks())
            return false;
        mover.clickCell(column, row);
        return QTest::qWaitFor([&] {
            return other.cell(column, row) == mover->MyColor() &&
                   (other->boardTakesClicks() || !other.boxes.texts.isEmpty());
        });
    }

    // Black makes five on row 1 while white answers on row 2; black opens.
    bool blackWinsAGame() {
        for (int column = 1; column <= 4; ++column) {
            if (!move(host, white(), column, 1) || !move(white(), host, column, 2))
                return false;
        }
        host.clickCell(5, 1);
        return QTest::qWaitFor([&] { return white().cell(5, 1) == Black; });
    }

    QString recordOf(TestPlayer& side, int color) {
        return color == Black ? side.window().labBlackScore->caption()
                              : side.window().labWhiteScore->caption();
    }
};

} // namespace

class TwoPlayers : public QObject {
    Q_OBJECT

private slots:
    void connectsAndExchangesNames() {
        Match match;
        QTRY_VERIFY(match.linked());
        QCOMPARE(match.host.window().labHe->caption(), QStringLiteral("白棋手说："));
        QCOMPARE(match.white().window().labHe->caption(), QStringLiteral("黑棋手说："));
        QCOMPARE(match.host.window().labI->caption(), QStringLiteral("黑棋手说："));
        // Black opens the first game; exactly one board takes clicks.
        QVERIFY(match.host->boardTakesClicks());
        QVERIFY(!match.white()->boardTakesClicks());
        QVERIFY(match.host.window().isEnabled());
        QVERIFY(match.host->frmLogon() == nullptr);
    }

    void movesPassTheTurnAndShowTheLatestStoneHighlighted() {
        Match match;
        QTRY_VERIFY(match.linked());
        QVERIFY(match.move(match.host, match.white(), 8, 8));
        QCOMPARE(match.host.cell(8, 8), int(Black));
        QVERIFY(!match.host->boardTakesClicks());
        // The stone is stored plain but still shown with the highlighted sprite.
        const QImage& shown = match.white().window().picBoard->image();
        const QPoint centre(3 + 21 * 7 + 10, 2 + 20 * 7 + 10);
        QCOMPARE(match.white().cell(8, 8), int(Black));
        const QRgb highlighted = shown.pixel(centre);
        QVERIFY(match.move(match.white(), match.host, 9, 9));
        // White's own next move redraws black's stone plain.
        QVERIFY(match.white().window().picBoard->image().pixel(centre) != highlighted);
        QCOMPARE(match.host.sound.plays, 2);
        QCOMPARE(match.white().sound.plays, 2);
    }

    void wholeGamesBookTheSameRecordOnBothSidesAndAlternateTheOpener() {
        Match match;
        QTRY_VERIFY(match.linked());
        QVERIFY(match.blackWinsAGame());
        QCOMPARE(match.host.boxes.texts, QStringList{QStringLiteral("你赢了，继续努力。")});
        QCOMPARE(match.white().boxes.texts, QStringList{QStringLiteral("你输了，要加油喔。")});
        QCOMPARE(match.white().boxes.titles, QStringList{QStringLiteral("Kelvane")});
        for (TestPlayer* side : {&match.host, &match.white()}) {
            QCOMPARE(match.recordOf(*side, Black), QStringLiteral("战绩： 1胜 0败"));
            QCOMPARE(match.recordOf(*side, White), QStringLiteral("战绩： 0胜 1败"));
            QVERIFY(!(*side)->boardTakesClicks());
        }

        // One decided game: white opens the next, on both sides.
        QTest::mouseClick(match.host.window().cmdNew, Qt::LeftButton);
        QTRY_VERIFY(match.white()->boardTakesClicks());
        QVERIFY(!match.host->boardTakesClicks());
        QCOMPARE(match.white().cell(1, 1), 0);
        QCOMPARE(match.host.cell(1, 1), 0);

        // White wins the second game on column 15.
        for (int row = 1; row <= 4; ++row) {
            QVERIFY(match.move(match.white(), match.host, 15, row));
            QVERIFY(match.move(match.host, match.white(), 13, row));
        }
        match.white().clickCell(15, 5);
        QTRY_COMPARE(match.host.boxes.texts.size(), 2);
        QCOMPARE(match.host.boxes.texts.last(), QStringLiteral("你输了，要加油喔。"));
        for (TestPlayer* side : {&match.host, &match.white()}) {
            QTRY_COMPARE(match.recordOf(*side, Black), QStringLiteral("战绩： 1胜 1败"));
            QCOMPARE(match.recordOf(*side, White), QStringLiteral("战绩： 1胜 1败"));
        }

        // Two decided games: black opens again, whoever asks for the game.
        match.white().window().mnuNew->trigger();
        QTRY_VERIFY(match.host->boardTakesClicks());
        QVERIFY(!match.white()->boardTakesClicks());
    }

    void aNewGameMidGameClearsBothBoardsAndKeepsTheOpener() {
        Match match;
        QTRY_VERIFY(match.linked());
        QVERIFY(match.move(match.host, match.white(), 7, 7));
        QVERIFY(match.move(match.white(), match.host, 7, 8));
        QTest::mouseClick(match.white().window().cmdNew, Qt::LeftButton);
        QTRY_COMPARE(match.host.cell(7, 8), 0);
        QCOMPARE(match.white().cell(7, 7), 0);
        QVERIFY(match.host->boardTakesClicks());
        QVERIFY(!match.white()->boardTakesClicks());
        QCOMPARE(match.host.window().picBoard->image(),
                 match.white().window().picBoard->image()); // both show the bare board
        QCOMPARE(match.recordOf(match.host, Black), QStringLiteral("战绩： 0胜 0败"));
    }

    void chatTravelsBothWaysInChineseAndEmpty() {
        Match match;
        QTRY_VERIFY(match.linked());
        match.host.window().txtMsg->setText(QStringLiteral("你好，来一局"));
        match.host.window().mnuTalk->trigger();
        QCOMPARE(match.host.window().labISay->caption(), QStringLiteral("你好，来一局"));
        QTRY_COMPARE(match.white().window().labHeSay->caption(), QStringLiteral("你好，来一局"));
        QCOMPARE(match.host.window().txtMsg->text(), QStringLiteral("你好，来一局"));

        // Enter in the chat box presses the default button, which sends the line.
        match.white().window().txtMsg->setText(QStringLiteral("好的"));
        QTest::keyClick(match.white().window().txtMsg, Qt::Key_Return);
        QTRY_COMPARE(match.host.window().labHeSay->caption(), QStringLiteral("好的"));

        match.white().window().txtMsg->clear();
        match.white().window().mnuTalk->trigger();
        QTRY_COMPARE(match.host.window().labHeSay->caption(), QString());
        QCOMPARE(match.white().window().labISay->caption(), QString());
    }

    void leaveThenReconnectResetsTheRecordAndBlackOpens() {
        Match match;
        QTRY_VERIFY(match.linked());
        QVERIFY(match.blackWinsAGame());

        match.white().window().mnuLink->trigger();
        QCOMPARE(match.white()->status(), NotConnected);
        QVERIFY(match.white()->frmLogon() != nullptr);
        QVERIFY(!match.white().window().isEnabled());
        QTRY_COMPARE(match.host->status(), NotConnected);
        QVERIFY(!match.host->boardTakesClicks());
        // The board and record stay on screen after the peer has left.
        QCOMPARE(match.host.cell(5, 1), int(Black));
        QCOMPARE(match.recordOf(match.host, Black), QStringLiteral("战绩： 1胜 0败"));

        // After a leave, the commands send nothing more and the host opens the dialog again.
        QTest::mouseClick(match.host.window().cmdLink, Qt::LeftButton);
        QVERIFY(match.host->frmLogon() != nullptr);
        QCOMPARE(match.host->frmLogon()->optServer->isChecked(), true);
        match.host.hostAs(QStringLiteral("黑棋手"));
        match.joiner->player->frmLogon()->optClient->click();
        auto* logon = match.white()->frmLogon();
        logon->txtName->setText(QStringLiteral("白棋手"));
        logon->txtIP->setText(QStringLiteral("127.0.0.1"));
        QTest::mouseClick(logon->cmdOK, Qt::LeftButton);
        QTRY_VERIFY(match.linked());
        for (TestPlayer* side : {&match.host, &match.white()})
            QCOMPARE(match.recordOf(*side, Black), QStringLiteral("战绩： 0胜 0败"));
        QVERIFY(match.host->boardTakesClicks());
        QVERIFY(!match.white()->boardTakesClicks());
        QVERIFY(match.move(match.host, match.white(), 8, 8));
    }

    void exitSendsTheLeaveOnceAndEnds() {
        Match match;
        QTRY_VERIFY(match.linked());
        QTest::mouseClick(match.white().window().cmdExit, Qt::LeftButton);
        QCOMPARE(match.white().end.ends, 1);
        QTRY_COMPARE(match.host->status(), NotConnected);
        // The window's close after an exit runs no second exit.
        match.white().window().close();
        QCOMPARE(match.white().end.ends, 1);
    }

    void theHostRefusesASecondJoiner() {
        Match match;
        QTRY_VERIFY(match.linked());
        QTcpSocket intruder;
        intruder.connectToHost(QHostAddress::LocalHost, match.port);
        QTRY_COMPARE(intruder.state(), QAbstractSocket::UnconnectedState);
        QCOMPARE(match.host->status(), Connected);
        QVERIFY(match.move(match.host, match.white(), 1, 1));
    }

    void aSecondClickWhileTheSoundPlaysIsIgnored() {
        Match match;
        QTRY_VERIFY(match.linked());
        match.host.sound.whilePlaying = [&] { match.host.clickCell(2, 2); };
        QVERIFY(match.move(match.host, match.white(), 1, 1));
        QTest::qWait(50);
        QCOMPARE(match.host.cell(2, 2), 0);
        QCOMPARE(match.white().cell(2, 2), 0);
        QCOMPARE(match.host.sound.plays, 1);
    }
};

QTEST_MAIN(TwoPlayers)
#include "test_two_players.moc"
