// kelvane-bot driven as a real process, on node limits so that its moves never depend on
// the machine's speed.
#include "game/CheckFive.h"
#include "link/AnsiCodec.h"

#include <QDeadlineTimer>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

using namespace kelvane;

namespace {

// The next n bytes, or what came before the deadline.
QByteArray readBytes(QIODevice& device, qint64 n) {
    QDeadlineTimer deadline(20000);
    while (device.bytesAvailable() < n && device.waitForReadyRead(deadline.remainingTime()))
        ;
    return device.read(n);
}

QByteArray move(int column, int row) {
    return QByteArray("1") + char(column) + char(row);
}

struct Position {
    const char* what;
    const char* ours;
    const char* theirs;
    const char* answer;
};

} // namespace

class BotProcess : public QObject {
    Q_OBJECT

    // Takes the bot's 3-byte move, checks it lands on an empty cell and books it.
    void takeBotMove(QTcpSocket& peer, Board& board, int botColor) {
        const QByteArray reply = readBytes(peer, 3);
        QCOMPARE(reply.size(), 3);
        QCOMPARE(reply[0], '1');
        QVERIFY(Board::contains(reply[1], reply[2]));
        QCOMPARE(board.at(reply[1], reply[2]), Empty);
        board.set(reply[1], reply[2], static_cast<std::int16_t>(botColor));
    }

private slots:
    void gomocupPositions() {
        // Our stones, then the opponent's, as 0-based x,y; and the one right answer.
        const QList<Position> positions = {
            {"win now rather than block",
             "3,5 4,5 5,5 6,5 2,10",
             "2,5 3,10 4,10 5,10 6,10", "7,5"},
            {"block a four",
             "4,4 3,12 4,12 5,12",
             "5,5 6,6 7,7 8,8", "9,9"},
            {"block the end of an open three that also makes a three",
             "12,12 2,13 12,2 7,8 6,8",
             "5,7 6,7 7,7 8,6 8,5", "8,7"},
            {"VCF of 3 fours",
             "10,9 6,3 11,11 4,11 6,6 8,11 3,11 11,7 6,8 7,5 10,8 9,8",
             "7,9 9,5 3,5 9,11 10,5 4,10 3,4 11,10 5,9 4,5 5,3 6,11", "8,8"},
            {"VCF of 4 fours",
             "3,11 7,7 5,9 3,6 10,9 6,4 8,4 3,8 9,5 7,6",
             "11,8 10,10 5,4 4,11 6,10 6,9 6,5 10,11 9,9 4,10", "8,6"},
            {"VCF of 5 fours",
             "10,4 10,6 8,3 10,8 6,6 5,7 3,10 8,5 6,3 3,8",
             "8,7 4,4 11,8 10,10 4,7 5,4 7,7 9,6 6,11 6,10", "10,5"},
            {"VCF of 6 fours",
             "10,8 7,11 4,11 10,10 9,7 9,5 4,8 3,11 9,3 5,7 7,7 8,5",
             "11,11 11,6 11,5 6,7 5,4 6,4 9,10 4,6 3,8 9,9 9,6 10,5", "5,11"},
            {"VCF of 7 fours",
             "3,7 4,3 4,10 5,8 6,6 7,4 8,3 8,5 8,7 10,10",
             "2,8 2,9 4,12 6,7 6,11 9,6 9,8 11,10 12,4 12,10", "8,6"},
        };
        QProcess bot;
        bot.start(KELVANE_BOT, {"--gomocup", "--nodes", "300000"});
        QVERIFY(bot.waitForStarted(10000));
        const auto ask = [&](const QByteArray& lines) {
            bot.write(lines);
            QDeadlineTimer deadline(60000);
            while (!bot.canReadLine() && bot.waitForReadyRead(deadline.remainingTime()))
                ;
            return bot.readLine().trimmed();
        };
        QCOMPARE(ask("START 20\r\n").left(5), QByteArray("ERROR"));
        QCOMPARE(ask("START 15\r\n"), QByteArray("OK"));
        for (const Position& p : positions) {
            QByteArray lines = "RESTART\r\n";
            QCOMPARE(ask(lines), QByteArray("OK"));
            lines = "BOARD\r\n";
            for (const auto& [stones, field] : {std::pair{p.ours, "1"}, {p.theirs, "2"}})
                for (const QByteArray& stone : QByteArray(stones).split(' '))
                    lines += stone + ',' + field + "\r\n";
            QVERIFY2(ask(lines + "DONE\r\n") == p.answer, p.what);
        }
        bot.write("END\r\n");
        QVERIFY(bot.waitForFinished(10000));
        QCOMPARE(bot.exitCode(), 0);
    }

    // The bot joins our host as white: its name, moves on empty cells, the opening side of a
    // new game after a decided one, and a clean exit after our leave.
    void joinsAsWhite() {
        QTcpServer host;
        QVERIFY(host.listen(QHostAddress::LocalHost, 0));
        QProcess bot;
        bot.start(KELVANE_BOT, {"--join", "127.0.0.1", "--port", QString::number(host.serverPort()),
                                "--nodes", "20000", "--seed", "3"});
        QVERIFY(host.waitForNewConnection(20000));
        QTcpSocket* peer = host.nextPendingConnection();
        const QByteArray name = "2" + toAnsi(QStringLiteral("白方：电脑"));
        QCOMPARE(readBytes(*peer, name.size()), name);

        // Black opens the first game; we play far-apart stones until the bot has five.
        Board board;
        const QList<QPair<int, int>> ours = {{1, 1},  {15, 1},  {1, 15}, {15, 15}, {1, 8}, {8, 1},
                                             {15, 8}, {8, 15},  {4, 1},  {12, 1},  {1, 4}, {1, 12},
                                             {15, 4}, {15, 12}, {4, 15}, {12, 15}};
        for (const auto& [column, row] : ours) {
            if (CheckFive(board, White) || board.at(column, row) != Empty)
                continue;
            board.set(column, row, Black);
            peer->write(move(column, row));
            takeBotMove(*peer, board, White);
        }
        QVERIFY(CheckFive(board, White));
        // After one decided game white opens: the bot moves on the cleared board unasked.
        peer->write("3");
        board.clear();
        takeBotMove(*peer, board, White);
        peer->write("4");
        peer->flush();
        QVERIFY(bot.waitForFinished(20000));
        QCOMPARE(bot.exitStatus(), QProcess::NormalExit);
        QCOMPARE(bot.exitCode(), 0);
    }

    // The bot hosts as black: it answers our name with its own, opens, and says goodbye
    // when it is terminated.
    void hostsAsBlackAndLeavesOnTerm() {
        QTcpServer probe; // a free port for the bot
        QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
        const quint16 port = probe.serverPort();
        probe.close();
        QProcess bot;
        bot.start(KELVANE_BOT, {"--host", "--port", QString::number(port), "--nodes", "20000"});
        QTcpSocket peer;
        QDeadlineTimer deadline(20000);
        do {
            peer.connectToHost(QHostAddress::LocalHost, port);
        } while (!peer.waitForConnected(1000) && !deadline.hasExpired() &&
                 bot.state() != QProcess::NotRunning);
        QCOMPARE(peer.state(), QAbstractSocket::ConnectedState);
        peer.write("2" + toAnsi(QStringLiteral("白方：客人")));
        // Its name and its opening move cross ours, so they come in either order.
        const QByteArray name = "2" + toAnsi(QStringLiteral("黑方：电脑"));
        const QByteArray both = readBytes(peer, name.size() + 3);
        QVERIFY2(both.startsWith(name) || both.endsWith(name), both.toHex().constData());
        QVERIFY(both.startsWith(name) ? both.endsWith(move(8, 8)) : both.startsWith(move(8, 8)));
        bot.terminate();
        QCOMPARE(readBytes(peer, 1), QByteArray("4"));
        QVERIFY(bot.waitForFinished(20000));
        QCOMPARE(bot.exitCode(), 0);
    }
};

QTEST_GUILESS_MAIN(BotProcess)
#include "test_bot_process.moc"
