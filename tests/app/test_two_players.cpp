// Two whole programs in one process, joined over loopback, driven through their widgets.
#include "support/TestPlayer.h"

#include "ui/BoardPicture.h"

#include <QAbstractItemView>
#include <QCompleter>
#include <QMenu>
#include <QSignalSpy>

#include <csignal>
#include <QDir>
#include <QTextDocumentFragment>
#include <QtTest>

using namespace kelvane;
using namespace kelvane::testing;

namespace {

// The computer is a process of its own: on a machine busy with a build it can take long to
// start, join and answer.
constexpr int BotWaitMs = 60000;

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

// Whether everything the player sent has been read by the program at the other end of its
// loopback link: nothing waits in our socket, nor in the peer's, per /proc/net/tcp. A name
// runs to the end of the read that holds it, so a move sent before the peer has read our
// name would be taken as part of it.
bool peerReadAll(TestPlayer& player) {
    const QTcpSocket* ours = player->session().socket().findChild<QTcpSocket*>();
    if (!ours || ours->bytesToWrite() > 0)
        return false;
    QFile table(QStringLiteral("/proc/net/tcp"));
    if (!table.open(QIODevice::ReadOnly))
        return false;
    const QByteArray theirs =
        QByteArray::number(ours->peerPort(), 16).toUpper().rightJustified(4, '0');
    const QByteArray to =
        QByteArray::number(ours->localPort(), 16).toUpper().rightJustified(4, '0');
    for (const QByteArray& line : table.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() > 4 && fields[1].endsWith(':' + theirs) && fields[2].endsWith(':' + to))
            return fields[4].split(':').value(1).toLongLong(nullptr, 16) == 0;
    }
    return false;
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
        QVERIFY(!match.black.window().findChild<QAction*>(QStringLiteral("mnuHint"))->isEnabled());
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
        const QString shown = QStringLiteral("<b>黑棋手</b> — 127.0.0.1");
        QCOMPARE(offered->model()->index(0, 0).data().toString(), shown);
        // The drop-down shows the entry whole, and gives it whole, as plain text, to tooltips
        // and screen readers.
        offered->complete();
        QAbstractItemView* popup = offered->popup();
        QTRY_VERIFY(popup->isVisible());
        QVERIFY(popup->viewport()->width() > popup->fontMetrics().horizontalAdvance(shown));
        const QModelIndex entry = popup->model()->index(0, 0);
        QCOMPARE(entry.data(Qt::AccessibleTextRole).toString(), shown);
        QCOMPARE(
            QTextDocumentFragment::fromHtml(entry.data(Qt::ToolTipRole).toString()).toPlainText(),
            shown);
        popup->hide();
        // Picking an entry puts in its completion: the address alone.
        address->setText(offered->model()->index(0, 0).data(offered->completionRole()).toString());
        QCOMPARE(address->text(), QStringLiteral("127.0.0.1"));
        QTest::mouseClick(white.in(white.logon(), "cmdOK"), Qt::LeftButton);
        QVERIFY(!white.discovery.browsing);
        QTRY_VERIFY(black.linked() && white.linked());
        QVERIFY(black.discovery.announced.isEmpty());
    }

    // 和电脑下 offers three levels while we wait for a joiner, and while no link is up: then
    // we host again first. The bot joins and names itself with its level; leaving ends its
    // process before the click returns. Against it, in our turn, 提示 marks a cell and
    // neither places nor sends anything.
    void theComputerComesFromTheMenuAndGivesHints() {
        TestPlayer black;
        auto* computer = black.window().findChild<QMenu*>(QStringLiteral("mnuComputer"));
        auto* hint = black.window().findChild<QAction*>(QStringLiteral("mnuHint"));
        const QList<QAction*> levels = computer->actions();
        QCOMPARE(levels.size(), 3);
        QCOMPARE(levels[2]->text(), QStringLiteral("高级"));
        QVERIFY(!computer->menuAction()->isEnabled());
        black.hostAs(QStringLiteral("黑棋手"));
        QVERIFY(computer->menuAction()->isEnabled());
        levels[1]->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(black.linked() && black.caption("labWhite") ==
                                                       QStringLiteral("白方：电脑（中级）"),
                                 BotWaitMs);
        QVERIFY(!computer->menuAction()->isEnabled());
        QVERIFY(black.myTurn() && hint->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(peerReadAll(black), BotWaitMs); // the bot has our name
        black.clickCell(8, 8);
        QVERIFY(!hint->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(black.stones() == 2 && black.myTurn(), BotWaitMs);

        auto* picture = black.control<BoardPicture>("picBoard");
        QSignalSpy sent(black->session().socket().findChild<QTcpSocket*>(),
                        &QIODevice::bytesWritten);
        hint->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(picture->hint(), BotWaitMs);
        const Cell hinted = *picture->hint();
        QCOMPARE(picture->news(),
                 QStringLiteral("提示：%1%2").arg(QChar(u'A' + hinted.column - 1)).arg(hinted.row));
        QVERIFY(black.stones() == 2 && black.cell(hinted.column, hinted.row) == 0);
        black.clickCell(hinted.column, hinted.row);
        QVERIFY(!picture->hint());
        QTRY_VERIFY_WITH_TIMEOUT(black.stones() == 4 && black.myTurn(), BotWaitMs);
        qint64 bytes = 0;
        for (const QList<QVariant>& written : sent)
            bytes += written[0].toLongLong();
        QCOMPARE(bytes, qint64(3)); // our one move

        const int first = botChild();
        QVERIFY(first > 0);
        ::kill(first, SIGTERM); // the bot leaves; a level now hosts again
        QTRY_VERIFY(black.unlinked() && computer->menuAction()->isEnabled());
        QVERIFY(!hint->isEnabled());
        levels[0]->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(black.linked() && black.caption("labWhite") ==
                                                       QStringLiteral("白方：电脑（初级）"),
                                 BotWaitMs);
        QCOMPARE(black.stones(), 0);
        const int bot = botChild();
        black.click("cmdExit");
        QVERIFY(bot > 0 && !QFile::exists(QStringLiteral("/proc/%1").arg(bot)));
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
