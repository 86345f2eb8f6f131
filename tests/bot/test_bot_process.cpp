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
    QList<QList<int>> stones; // x, y, field (1 ours, 2 the opponent's), 0-based
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
        const QList<Position> positions = {
            {"win now rather than block",
             {{3, 5, 1},
              {4, 5, 1},
              {5, 5, 1},
              {6, 5, 1},
              {2, 5, 2},
              {3, 10, 2},
              {4, 10, 2},
              {5, 10, 2},
              {6, 10, 2},
              {2, 10, 1}},
             "7,5"},
            {"block a four",
             {{5, 5, 2},
              {6, 6, 2},
              {7, 7, 2},
              {8, 8, 2},
              {4, 4, 1},
              {3, 12, 1},
              {4, 12, 1},
              {5, 12, 1}},
             "9,9"},
            {"block the end of an open three that also makes a three",
             {{5, 7, 2},
              {6, 7, 2},
              {7, 7, 2},
              {8, 6, 2},
              {8, 5, 2},
              {12, 12, 1},
              {2, 13, 1},
              {12, 2, 1},
              {7, 8, 1},
              {6, 8, 1}},
             "8,7"},
            {"VCF of 3 fours",
             {{10, 9, 1}, {6, 3, 1},   {11, 11, 1}, {4, 11, 1}, {6, 6, 1},  {8, 11, 1},
              {3, 11, 1}, {11, 7, 1},  {6, 8, 1},   {7, 5, 1},  {10, 8, 1}, {9, 8, 1},
              {7, 9, 2},  {9, 5, 2},   {3, 5, 2},   {9, 11, 2}, {10, 5, 2}, {4, 10, 2},
              {3, 4, 2},  {11, 10, 2}, {5, 9, 2},   {4, 5, 2},  {5, 3, 2},  {6, 11, 2}},
             "8,8"},
            {"VCF of 4 fours",
             {{3, 11, 1}, {7, 7, 1}, {5, 9, 1}, {3, 6, 1},   {10, 9, 1},  {6, 4, 1}, {8, 4, 1},
              {3, 8, 1},  {9, 5, 1}, {7, 6, 1}, {11, 8, 2},  {10, 10, 2}, {5, 4, 2}, {4, 11, 2},
              {6, 10, 2}, {6, 9, 2}, {6, 5, 2}, {10, 11, 2}, {9, 9, 2},   {4, 10, 2}},
             "8,6"},
            {"VCF of 5 fours",
             {{10, 4, 1}, {10, 6, 1}, {8, 3, 1}, {10, 8, 1}, {6, 6, 1},  {5, 7, 1},  {3, 10, 1},
              {8, 5, 1},  {6, 3, 1},  {3, 8, 1}, {8, 7, 2},  {4, 4, 2},  {11, 8, 2}, {10, 10, 2},
              {4, 7, 2},  {5, 4, 2},  {7, 7, 2}, {9, 6, 2},  {6, 11, 2}, {6, 10, 2}},
             "10,5"},
            {"VCF of 6 fours",
             {{10, 8, 1},  {7, 11, 1}, {4, 11, 1}, {10, 10, 1}, {9, 7, 1}, {9, 5, 1},
              {4, 8, 1},   {3, 11, 1}, {9, 3, 1},  {5, 7, 1},   {7, 7, 1}, {8, 5, 1},
              {11, 11, 2}, {11, 6, 2}, {11, 5, 2}, {6, 7, 2},   {5, 4, 2}, {6, 4, 2},
              {9, 10, 2},  {4, 6, 2},  {3, 8, 2},  {9, 9, 2},   {9, 6, 2}, {10, 5, 2}},
             "5,11"},
            {"VCF of 7 fours",
             {{3, 7, 1},  {4, 3, 1}, {4, 10, 1},  {5, 8, 1},   {6, 6, 1},  {7, 4, 1},  {8, 3, 1},
              {8, 5, 1},  {8, 7, 1}, {10, 10, 1}, {2, 8, 2},   {2, 9, 2},  {4, 12, 2}, {6, 7, 2},
              {6, 11, 2}, {9, 6, 2}, {9, 8, 2},   {11, 10, 2}, {12, 4, 2}, {12, 10, 2}},
             "8,6"},
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
            for (const auto& s : p.stones)
                lines += QByteArray::number(s[0]) + ',' + QByteArray::number(s[1]) + ',' +
                         QByteArray::number(s[2]) + "\r\n";
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
