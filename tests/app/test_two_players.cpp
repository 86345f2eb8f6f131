// Two whole programs in one process, joined over loopback, driven through their widgets.
#include "support/TestPlayer.h"

#include "ui/BoardPicture.h"

#include <QCompleter>
#include <QDir>
#include <QtTest>

using namespace kelvane;
using namespace kelvane::testing;

namespace {

struct Match {
    // Both players keep one port across reconnects, as the real program keeps its own.
    const quint16 port = freePort();
    TestPlayer black{port}, white{port};

    Match() {
        black.hostAs(QStringLiteral("黑棋手"));
        white.joinAs(QStringLiteral("白棋手"));
    }

    bool linked() {
        return black.linked() && white.linked() &&
               black.caption("labWhite") == QStringLiteral("白方：白棋手") &&
               white.caption("labBlack") == QStringLiteral("黑方：黑棋手");
    }

    // Exactly one board takes clicks, and it is the opener's.
    bool opens(TestPlayer& opener) {
        TestPlayer& other = &opener == &black ? white : black;
        return QTest::qWaitFor([&] { return opener.myTurn(); }) && !other.myTurn();
    }

    // Plays one move and waits until the other side has it and holds the turn.
    bool move(TestPlayer& mover, int column, int row) {
        TestPlayer& other = &mover == &black ? white : black;
        if (!mover.myTurn() || other.myTurn())
            return false;
        mover.clickCell(column, row);
        return QTest::qWaitFor([&] {
            return other.cell(column, row) == mover.model().myColor() &&
                   other->session().caughtUp() && !other.sound.playing();
        });
    }

    // The winner makes five down `column` while the loser answers down `answer`.
    bool wins(TestPlayer& winner, int column, int answer) {
        TestPlayer& loser = &winner == &black ? white : black;
        for (int row = 1; row <= 4; ++row)
            if (!move(winner, column, row) || !move(loser, answer, row))
                return false;
        winner.clickCell(column, 5);
        return QTest::qWaitFor([&] { return !loser.boxes.texts.isEmpty() && !winner.boxes.texts.isEmpty(); });
    }

    // Each side's record line for black, then for white.
    QStringList records() {
        QStringList lines;
        for (TestPlayer* side : {&black, &white})
            lines << side->caption("labBlackScore") + " / " + side->caption("labWhiteScore");
        return lines;
    }
};

// Whether the five's line crosses the middle of the cell: red over its stone.
bool markedAt(TestPlayer& side, int column, int row) {
    const QColor shown = side.control("picBoard")
                             ->grab()
                             .toImage()
                             .pixelColor(4 + 21 * (column - 1) + 9, 3 + 20 * (row - 1) + 9);
    return shown.red() > 150 && shown.green() < 100 && shown.blue() < 100;
}

// The kelvane-bot this process started, found by its parent in /proc; 0 when there is none.
int botChild() {
    const QByteArray parent =
        "\nPPid:\t" + QByteArray::number(QCoreApplication::applicationPid()) + '\n';
    for (const QString& pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        QFile status("/proc/" + pid + "/status");
        if (status.open(QIODevice::ReadOnly)) {
            const QByteArray text = status.readAll();
            if (text.startsWith("Name:\tkelvane-bot\n") && text.contains(parent))
                return pid.toInt();
        }
    }
    return 0;
}

const QString Won = QStringLiteral("你赢了，继续努力。"),
              Lost = QStringLiteral("你输了，要加油喔。");

} // namespace

class TwoPlayers : public QObject {
    Q_OBJECT

private slots:
    void wholeGamesBookTheSameRecordOnBothSidesAndAlternateTheOpener() {
        Match match;
        QTRY_VERIFY(match.linked());
        QVERIFY(match.opens(match.black));
        // A new game before any is decided clears both boards and keeps black opening, also
        // when white was to move and asks for it.
        QVERIFY(match.move(match.black, 7, 7));
        match.white.click("cmdNew");
        QTRY_COMPARE(match.black.stones(), 0);
        QCOMPARE(match.white.stones(), 0);
        QVERIFY(match.opens(match.black));
        QCOMPARE(match.black.control<BoardPicture>("picBoard")->image(),
                 match.white.control<BoardPicture>("picBoard")->image());

        QVERIFY(match.wins(match.black, 1, 2));
        QTRY_COMPARE(match.black.boxes.texts, QStringList{Won});
        QTRY_COMPARE(match.white.boxes.texts, QStringList{Lost});
        QCOMPARE(match.white.boxes.titles, QStringList{QStringLiteral("Kelvane")});
        QTRY_COMPARE(match.records(),
                     QStringList(2, QStringLiteral("战绩： 1胜 0败 / 战绩： 0胜 1败")));
        QVERIFY(!match.black.myTurn() && !match.white.myTurn());
        QVERIFY(markedAt(match.black, 1, 3) && markedAt(match.white, 1, 3));
        QVERIFY(!markedAt(match.white, 2, 3));

        // One decided game: white opens the next, whoever asks for it. The mark goes.
        match.black.click("cmdNew");
        QVERIFY(match.opens(match.white));
        QVERIFY(!markedAt(match.black, 1, 3) && !markedAt(match.white, 1, 3));
        QCOMPARE(match.white.stones(), 0);
        QVERIFY(match.wins(match.white, 15, 13));
        QTRY_COMPARE(match.black.boxes.texts, (QStringList{Won, Lost}));
        QTRY_COMPARE(match.white.boxes.texts, (QStringList{Lost, Won}));
        QTRY_COMPARE(match.records(),
                     QStringList(2, QStringLiteral("战绩： 1胜 1败 / 战绩： 1胜 1败")));

        // Two decided games: black opens again.
        emit match.white.window().newGameRequested();
        QVERIFY(match.opens(match.black));
    }

    // The host is announced only while it waits; a joiner is offered what was found, and
    // picking it fills in the address.
    void hostsAreAnnouncedWhileWaitingAndOfferedToJoiners() {
        const quint16 port = freePort();
        TestPlayer black(port), white(port);
        black.hostAs(QStringLiteral("黑棋手"));
        QCOMPARE(black.discovery.announced, QStringLiteral("黑棋手:%1").arg(port));
        QTest::mouseClick(white.in(white.logon(), "optClient"), Qt::LeftButton);
        QVERIFY(white.discovery.browsing);
        white.discovery.found = {{QStringLiteral("<b>黑棋手</b>"), "127.0.0.1", port, "2.0.0"}};
        emit white.discovery.hostsChanged();
        auto* address = white.in<QLineEdit>(white.logon(), "txtIP");
        QCompleter* offered = address->completer();
        QCOMPARE(offered->model()->index(0, 0).data().toString(),
                 QStringLiteral("<b>黑棋手</b> — 127.0.0.1"));
        // Picking an entry puts in its completion: the address alone.
        address->setText(offered->model()->index(0, 0).data(offered->completionRole()).toString());
        QCOMPARE(address->text(), QStringLiteral("127.0.0.1"));
        QTest::mouseClick(white.in(white.logon(), "cmdOK"), Qt::LeftButton);
        QVERIFY(!white.discovery.browsing);
        QTRY_VERIFY(black.linked() && white.linked());
        QVERIFY(black.discovery.announced.isEmpty());
    }

    // 和电脑下 acts only while we host and wait: the bot joins, names itself and answers our
    // move; reconnecting or leaving ends its process before the click returns.
    void theComputerPlaysWhileWeHostAndEndsWithTheLink() {
        TestPlayer black;
        auto* computer = black.window().findChild<QAction*>(QStringLiteral("mnuComputer"));
        for (const char* end : {"cmdLink", "cmdExit"}) {
            QVERIFY(!computer->isEnabled());
            black.hostAs(QStringLiteral("黑棋手"));
            QVERIFY(computer->isEnabled());
            computer->trigger();
            QTRY_VERIFY_WITH_TIMEOUT(
                black.linked() && black.caption("labWhite") == QStringLiteral("白方：电脑"), 20000);
            QVERIFY(!computer->isEnabled());
            const int bot = botChild();
            QVERIFY(bot > 0);
            QVERIFY(black.myTurn());
            black.clickCell(8, 8);
            QTRY_VERIFY_WITH_TIMEOUT(black.stones() == 2 && black.myTurn(), 20000);
            black.click(end);
            QVERIFY(!QFile::exists(QStringLiteral("/proc/%1").arg(bot)));
        }
    }

    void leaveThenReconnectResetsTheRecordAndBlackOpens() {
        Match match;
        QTRY_VERIFY(match.linked());
        QVERIFY(match.wins(match.black, 1, 2));

        match.white.click("cmdLink");
        QVERIFY(match.white.unlinked());
        QVERIFY(!match.white.window().isEnabled());
        QTRY_VERIFY(match.black.unlinked());
        QVERIFY(!match.black.myTurn());
        // The board and record stay on screen after the peer has left.
        QCOMPARE(match.black.cell(1, 5), int(Black));
        QCOMPARE(match.records()[0], QStringLiteral("战绩： 1胜 0败 / 战绩： 0胜 1败"));

        match.black.click("cmdLink");
        QVERIFY(match.black.in<QRadioButton>(match.black.logon(), "optServer")->isChecked());
        match.black.hostAs(QStringLiteral("黑棋手"));
        match.white.joinAs(QStringLiteral("白棋手"));
        QTRY_VERIFY(match.linked());
        QTRY_COMPARE(match.records(),
                     QStringList(2, QStringLiteral("战绩： 0胜 0败 / 战绩： 0胜 0败")));
        QVERIFY(match.opens(match.black));
        QVERIFY(match.move(match.black, 8, 8));
    }
};

QTEST_MAIN(TwoPlayers)
#include "test_two_players.moc"
