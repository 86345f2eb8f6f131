// kelvane-bot driven as a real process, on node limits so that its moves never depend on
// the machine's speed.
#include "game/CheckFive.h"
#include "link/AnsiCodec.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <sys/socket.h>

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

// Everything the peer sends until it closes, while what we wrote goes out.
QByteArray readToEnd(QTcpSocket& peer) {
    QByteArray all;
    QDeadlineTimer deadline(20000);
    while (peer.waitForReadyRead(deadline.remainingTime()))
        all += peer.readAll();
    return all + peer.readAll();
}

void writeAll(QTcpSocket& peer, const QByteArray& bytes) {
    peer.write(bytes);
    QDeadlineTimer deadline(20000);
    while (peer.bytesToWrite() > 0 && peer.waitForBytesWritten(deadline.remainingTime()))
        ;
}

// The process ends within the deadline; prints how long it took.
bool endsSoon(QProcess& process, const char* what) {
    QElapsedTimer clock;
    clock.start();
    const bool ended = process.waitForFinished(5000);
    qInfo("%s: ended after %lld ms", what, clock.elapsed());
    return ended;
}

// What the process has read so far, from the system's count.
qint64 bytesRead(qint64 pid) {
    QFile io(QStringLiteral("/proc/%1/io").arg(pid));
    if (io.open(QIODevice::ReadOnly))
        for (const QByteArray& line : io.readAll().split('\n'))
            if (line.startsWith("rchar:"))
                return line.mid(6).trimmed().toLongLong();
    return -1;
}

QByteArray replyLine(QProcess& bot) {
    QDeadlineTimer deadline(60000);
    while (!bot.canReadLine() && bot.waitForReadyRead(deadline.remainingTime()))
        ;
    return bot.readLine().trimmed();
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
            return replyLine(bot);
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

    // Bad input: a command inside BOARD ends the block and is obeyed, an overlong line is
    // refused in a few bytes, the turn's limit binds, and END or the end of input stops a
    // search that would otherwise run for minutes.
    void gomocupUnderBadInput() {
        QProcess bot;
        bot.start(KELVANE_BOT, {"--gomocup", "--strength", "3"});
        bot.write("START 15\r\nBOARD\r\n7,7,1\r\nABOUT\r\n");
        QCOMPARE(replyLine(bot), QByteArray("OK"));
        QCOMPARE(replyLine(bot), QByteArray("ERROR BOARD without DONE"));
        QVERIFY(replyLine(bot).startsWith("name="));
        bot.write(QByteArray(100 * 1024, 'A') + "\r\nINFO timeout_turn 200\r\n");
        QCOMPARE(replyLine(bot), QByteArray("ERROR line too long"));
        QElapsedTimer clock;
        clock.start();
        bot.write("BEGIN\r\n");
        QCOMPARE(replyLine(bot).count(','), 1);
        QVERIFY2(clock.elapsed() < 1200, "strength 3 alone thinks 1.7 s"); // generous
        for (bool viaEnd : {true, false}) {
            QProcess deep;
            deep.start(KELVANE_BOT, {"--gomocup", "--strength", "3", "--nodes", "2000000000"});
            deep.write("START 15\r\nBOARD\r\n7,7,1\r\n6,6,2\r\nDONE\r\n");
            QCOMPARE(replyLine(deep), QByteArray("OK"));
            viaEnd ? void(deep.write("END\r\n")) : deep.closeWriteChannel();
            QVERIFY(endsSoon(deep, viaEnd ? "END mid-search" : "input closed mid-search"));
        }
        bot.write("BOARD\r\n7,7,1\r\nEND\r\n"); // END too ends the block, and is obeyed
        QCOMPARE(replyLine(bot), QByteArray("ERROR BOARD without DONE"));
        QVERIFY(endsSoon(bot, "END inside BOARD"));
    }

    // A join that fails says why, in one line naming the address.
    void joinFailureSaysWhy() {
        QTcpServer probe; // a port nobody listens on
        QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
        const QString port = QString::number(probe.serverPort());
        probe.close();
        QProcess bot;
        bot.start(KELVANE_BOT, {"--join", "127.0.0.1", "--port", port});
        QVERIFY(bot.waitForFinished(20000));
        QVERIFY(bot.exitCode() != 0);
        const QString error = QString::fromUtf8(bot.readAllStandardError());
        QCOMPARE(error.count(QLatin1Char('\n')), 1);
        QVERIFY2(error.contains("127.0.0.1") && error.contains(QStringLiteral("拒绝")),
                 qPrintable(error));
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
        // A flood of new games and moves, then our leave: it is honoured at once.
        QByteArray flood;
        for (int i = 0; i < 100000; ++i)
            flood += "3" + move(1 + i % 15, 1 + i / 15 % 15);
        writeAll(*peer, flood + "4");
        QVERIFY(endsSoon(bot, "leave behind a flood"));
        QCOMPARE(bot.exitStatus(), QProcess::NormalExit);
        QCOMPARE(bot.exitCode(), 0);
    }

    // The bot hosts as black: a port check (FIN or RST) or a joiner silent too long only
    // sends it back to waiting; it answers our name with its own, opens, and says goodbye
    // when it is terminated in the middle of a flood.
    void hostsAsBlackAndLeavesOnTerm() {
        QTcpServer probe; // a free port for the bot
        QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
        const quint16 port = probe.serverPort();
        probe.close();
        QProcess bot;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("KELVANE_BOT_NAME_WAIT_MS", "300");
        bot.setProcessEnvironment(environment);
        bot.start(KELVANE_BOT, {"--host", "--port", QString::number(port), "--nodes", "20000"});
        const auto connectTo = [&](QTcpSocket& peer) {
            QDeadlineTimer deadline(20000);
            do {
                peer.connectToHost(QHostAddress::LocalHost, port);
            } while (!peer.waitForConnected(1000) && !deadline.hasExpired() &&
                     bot.state() != QProcess::NotRunning);
            return peer.state() == QAbstractSocket::ConnectedState;
        };
        for (int check = 0; check < 3; ++check) {
            QTcpSocket stranger;
            QVERIFY(connectTo(stranger));
            const linger reset = {1, 0};
            if (check == 1)
                ::setsockopt(int(stranger.socketDescriptor()), SOL_SOCKET, SO_LINGER, &reset,
                             sizeof reset);
            if (check < 2)
                stranger.abort();
            else
                readToEnd(stranger); // says nothing and is dropped
            QCOMPARE(stranger.state(), QAbstractSocket::UnconnectedState);
        }
        QTcpSocket peer;
        QVERIFY(connectTo(peer));
        peer.write("2" + toAnsi(QStringLiteral("白方：客人")));
        // Its name and its opening move cross ours, so they come in either order.
        const QByteArray name = "2" + toAnsi(QStringLiteral("黑方：电脑"));
        const QByteArray both = readBytes(peer, name.size() + 3);
        QVERIFY2(both.startsWith(name) || both.endsWith(name), both.toHex().constData());
        QVERIFY(both.startsWith(name) ? both.endsWith(move(8, 8)) : both.startsWith(move(8, 8)));
        // Terminated once it has started on a flood of new games.
        const qint64 before = bytesRead(bot.processId());
        writeAll(peer, QByteArray(1000000, '3'));
        QTRY_VERIFY_WITH_TIMEOUT(bytesRead(bot.processId()) >= before + 65536, 20000);
        bot.terminate();
        QVERIFY(endsSoon(bot, "terminated in a flood"));
        QVERIFY(readToEnd(peer).endsWith("4"));
        QCOMPARE(bot.exitCode(), 0);
    }
};

QTEST_GUILESS_MAIN(BotProcess)
#include "test_bot_process.moc"
