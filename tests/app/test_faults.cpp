// Broken and hostile links over loopback: a peer process killed after half a move, a second
// joiner, a caller that says nothing, floods in one burst or one byte at a time, and a peer
// that stops reading. After each, the link state and the board must agree, nothing of a
// broken link may leak into the next, and the window is never held.
#include "support/TestPlayer.h"


#include <QTcpSocket>
#include <QtTest>

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <ctime>
#include <thread>

using namespace kelvane;
using namespace kelvane::testing;

namespace {

// Runs an event loop, as the program's own loop runs, until done() holds or the time is up.
// (QTest::qWaitFor sleeps 10 ms between passes, which starves a player that acts on a few
// milliseconds' worth of messages per turn.)
bool runLoopUntil(const std::function<bool()>& done, int timeoutMs = 10000) {
    bool met = false;
    const QDeadlineTimer deadline(timeoutMs);
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if ((met = met || done()) || deadline.hasExpired())
            loop.quit();
    });
    poll.start(2);
    loop.exec();
    return met;
}

// The peer's end of the link on a plain blocking socket. It sends from a thread of its own, so
// that it floods the player without sharing its event loop.
class Peer {
public:
    ~Peer() {
        ::shutdown(socket_, SHUT_RDWR); // ends a send still blocked
        if (sender_.joinable())
            sender_.join();
        close();
    }

    bool join(quint16 port) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        const int on = 1; // each send goes out at once, so a trickle really is one byte a time
        ::setsockopt(socket_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        return ::connect(socket_, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    }

    // Sends `block` over and over until `total` bytes have gone, `perCall` bytes a system call
    // (0: as many as the system takes); a failing send ends it quietly.
    void start(const QByteArray& block, qint64 total, qsizetype perCall = 0) {
        sending_ = true;
        sender_ = std::thread([=, this] {
            bool sent = true;
            for (qint64 done = 0; sent && done < total; done += block.size())
                sent = sendAll(block, perCall ? perCall : block.size());
            allSent_ = sent;
            sending_ = false;
        });
    }

    // Runs the event loop until the sending has ended, or the time is up.
    bool ended(int timeoutMs = 10000) {
        if (!runLoopUntil([&] { return !sending_; }, timeoutMs))
            return false;
        sender_.join();
        return true;
    }

    bool send(const QByteArray& bytes) {
        start(bytes, bytes.size());
        return ended() && allSent_;
    }
    void close() {
        if (socket_ >= 0)
            ::close(socket_);
        socket_ = -1;
    }

    // Hands the socket to a process of its own and kills that with SIGKILL: the peer says
    // nothing more, and the system ends the connection of the dead process.
    bool killInOwnProcess() {
        const pid_t holder = ::fork();
        if (holder == 0) {
            for (;;)
                ::pause(); // nothing but async-signal-safe calls in the forked child
        }
        close(); // the holder keeps the only descriptor
        int status = 0;
        return holder > 0 && ::kill(holder, SIGKILL) == 0 &&
               ::waitpid(holder, &status, 0) == holder && WIFSIGNALED(status) &&
               WTERMSIG(status) == SIGKILL;
    }

private:
    bool sendAll(const QByteArray& bytes, qsizetype perCall) {
        for (qsizetype sent = 0; sent < bytes.size();) {
            const ssize_t n = ::send(socket_, bytes.constData() + sent,
                                     size_t(std::min(perCall, bytes.size() - sent)), MSG_NOSIGNAL);
            if (n <= 0)
                return false;
            sent += n;
            sentBytes += n;
        }
        return true;
    }

    int socket_ = ::socket(AF_INET, SOCK_STREAM, 0);
    std::thread sender_;
    std::atomic<bool> sending_ = false, allSent_ = false;

public:
    std::atomic<qint64> sentBytes = 0;
};

// Moves to every cell whose column and row are both odd, in order: no two of them touch,
// so no number of them ever makes five.
QByteArray oddCellMoves(int count) {
    QByteArray moves;
    for (int i = 0; i < count; ++i)
        moves.append(char(0x31)).append(char(1 + 2 * (i % 8))).append(char(1 + 2 * (i / 8 % 8)));
    return moves;
}

qint64 threadCpuNs() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return qint64(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

qint64 peakResidentKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// Looks at the player every 10 ms while a flood comes in. The event loop counts as held for
// the processor time this thread spent between two looks: a loaded machine that deschedules
// the test adds nothing, while the whole of a flood acted on in one go takes seconds.
class LoopWatch {
public:
    explicit LoopWatch(TestPlayer& player) : player_(player), lastCpu_(threadCpuNs()) {
        QObject::connect(&timer_, &QTimer::timeout, [this] { look(); });
        timer_.start(10);
    }

    // The socket takes at most 1 MiB before it is read (one more system read is allowed
    // for). A chat line holds at most one read and the 2 MiB the reader keeps while it waits
    // for the rest of a character: of "5你好" over and over, under 2M characters.
    bool bounded() const {
        qInfo("event loop held at most %lld ms; %lld bytes unread; chat line %lld",
              heldNs_ / 1'000'000, unread_, qint64(chatLine_));
        return heldNs_ < 100'000'000 && unread_ <= 2 * 1024 * 1024 && chatLine_ < 2 * 1024 * 1024;
    }

private:
    void look() {
        heldNs_ = std::max(heldNs_, threadCpuNs() - lastCpu_);
        qint64 unread = 0;
        for (const QTcpSocket* socket : player_->session().socket().findChildren<QTcpSocket*>())
            unread += socket->bytesAvailable();
        unread_ = std::max(unread_, unread);
        chatLine_ = std::max(chatLine_, player_.caption("labHeSay").size());
        lastCpu_ = threadCpuNs(); // the looking is not the player's work
    }

    TestPlayer& player_;
    QTimer timer_;
    qint64 lastCpu_, heldNs_ = 0, unread_ = 0;
    qsizetype chatLine_ = 0;
};

// The player hosts; a peer process joins and names itself.
struct LinkedHost {
    TestPlayer player;
    Peer peer;
    quint16 port = 0;

    bool link() {
        player.hostAs(QStringLiteral("玩家"));
        port = player.port();
        return peer.join(port) && peer.send(QByteArray::fromHex("32b0d7b7bda3bab6d4cad6")) &&
               runLoopUntil([&] { return player.caption("labWhite") == "白方：对手"; });
    }
};

// Bytes the player has handed to its socket that the system has not taken yet.
qint64 unsent(TestPlayer& player) {
    qint64 bytes = 0;
    for (const QTcpSocket* socket : player->session().socket().findChildren<QTcpSocket*>())
        bytes += socket->bytesToWrite();
    return bytes;
}

// A chat line as long as the box takes, 64 KiB in GBK, sent until `enough` holds.
bool chatUntil(TestPlayer& player, const std::function<bool()>& enough, int lines = 300) {
    player.control<QLineEdit>("txtMsg")->setText(QString(32767, QChar(0x4F60)));
    for (int line = 0; line < lines && !enough(); ++line) {
        player.click("cmdSend");
        QCoreApplication::processEvents(); // the system takes what it can
    }
    return enough();
}

} // namespace

class Faults : public QObject {
    Q_OBJECT

private slots:
    void aPeerKilledInTheMiddleOfAMoveLeavesTheLinkLost() {
        LinkedHost side;
        QVERIFY(side.link());
        side.player.clickCell(8, 8);
        QVERIFY(side.peer.send(QByteArray::fromHex("310909")));
        QTRY_COMPARE(side.player.cell(9, 9), int(White));
        QVERIFY(side.peer.send(QByteArray::fromHex("3105"))); // half a move
        QVERIFY(side.peer.killInOwnProcess());

        QTRY_VERIFY(side.player.linkEnded());
        QCOMPARE(side.player.stones(), 2);
        QVERIFY(!side.player.caption("lblStatus").isEmpty());
        QVERIFY(!side.player.control("lblStatus")->toolTip().isEmpty()); // and why

        // The held byte must not wait to be completed by the first bytes of the next link:
        // with "07" it would make a move to (5, 7). Alone, the unknown 07 drops its read.
        side.player.click("cmdLink");
        side.player.hostAs(QStringLiteral("玩家"));
        QTcpSocket joiner;
        joiner.connectToHost(QHostAddress::LocalHost, side.player.port());
        QTRY_VERIFY(side.player.linked());
        side.player.clickCell(1, 1);
        joiner.write(QByteArray::fromHex("07310202"));
        QVERIFY(side.player.caughtUp([&](const QByteArray& bytes) { joiner.write(bytes); }));
        QCOMPARE(side.player.stones(), 1);
    }

    // Not one byte for it, and nothing it sends (a leave, a move, a new game) is acted on.
    void aSecondJoinerGetsNothingAndChangesNothing() {
        LinkedHost side;
        QVERIFY(side.link());
        QTcpSocket intruder;
        intruder.connectToHost(QHostAddress::LocalHost, side.port);
        if (intruder.waitForConnected(1000))
            intruder.write(QByteArray::fromHex("3431010133"));
        QTRY_COMPARE(intruder.state(), QAbstractSocket::UnconnectedState);
        QCOMPARE(intruder.bytesAvailable(), 0);
        side.player.clickCell(4, 4);
        QVERIFY(side.peer.send(QByteArray::fromHex("310707")));
        QTRY_COMPARE(side.player.cell(7, 7), int(White));
        QCOMPARE(side.player.stones(), 2);
        QVERIFY(side.player.linked());
    }

    // A port scan, a health check, a half-close or a reset before the joiner has said
    // anything: the host goes on waiting, and the next joiner is taken.
    void aCallerThatSaysNothingDoesNotEndHosting() {
        RawJoiner side;
        TestPlayer& host = side.player;
        QTRY_VERIFY(side.ready());
        side.peer.disconnectFromHost();
        QTRY_COMPARE(host.caption("lblStatus"), QStringLiteral("等待加入中"));
        QTcpSocket reset;
        reset.connectToHost(QHostAddress::LocalHost, host.port());
        QTRY_VERIFY(reset.state() == QAbstractSocket::ConnectedState && host.linked());
        reset.abort();
        QTRY_COMPARE(host.caption("lblStatus"), QStringLiteral("等待加入中"));
        QTcpSocket joiner;
        joiner.connectToHost(QHostAddress::LocalHost, host.port());
        QTRY_VERIFY(host.linked());
        joiner.write(QByteArray::fromHex("32b0d7b7bda3bab6d4cad6"));
        QTRY_COMPARE(host.caption("labWhite"), QStringLiteral("白方：对手"));
    }

    // Whatever arrives, and however it is cut into reads, the window is never held and
    // what waits unread stays bounded. A stream sent whole is acted on in order: only its one
    // legal move is played. 32 MiB, which would take minutes to act on, wait in TCP rather
    // than in memory, and the user can leave midway, after which none of it is acted on.
    void aFloodNeverHoldsTheWindow_data() {
        QTest::addColumn<QByteArray>("stream");
        QTest::addColumn<int>("bytesPerSend");
        const QByteArray tail = "3" + QByteArray::fromHex("310202");
        QTest::newRow("moves in one send") << oddCellMoves(100'000) + tail << 0;
        QTest::newRow("moves a byte a send") << oddCellMoves(20'000) + tail << 1;
        QTest::newRow("new games and moves, left") << QByteArray("3") + oddCellMoves(64) << -1;
        // "5你好": each read that starts with a line shows as one line.
        QTest::newRow("chat, left") << QByteArray::fromHex("35c4e3bac3") << -1;
    }

    void aFloodNeverHoldsTheWindow() {
        QFETCH(QByteArray, stream);
        QFETCH(int, bytesPerSend);
        LinkedHost side;
        QVERIFY(side.link());
        side.player.clickCell(8, 8);
        [[maybe_unused]] const qint64 peakBefore = peakResidentKiB();
        LoopWatch watch(side.player);
        if (bytesPerSend >= 0) {
            side.peer.start(stream, stream.size(), bytesPerSend);
            QVERIFY(side.peer.ended(100'000));
            QVERIFY(side.peer.send("5_"));
            QVERIFY(runLoopUntil([&] { return side.player.caption("labHeSay") == "_"; }));
            QCOMPARE(side.player.sound.plays, 2);
            QCOMPARE(side.player.stones(), 0); // the new game cleared the one legal move
            QVERIFY(side.player.linked() && side.player.myTurn());
        } else {
            while (stream.size() < 64 * 1024)
                stream += stream;
            side.peer.start(stream, 32 * 1024 * 1024);
            QVERIFY(runLoopUntil([&] {
                return side.peer.sentBytes > 4 * 1024 * 1024 ||
                       side.player.caption("labHeSay").startsWith(QStringLiteral("你好"));
            }));
            side.player.click("cmdLink");
            const int playsAtLeave = side.player.sound.plays;
            QVERIFY(side.peer.ended(30'000)); // it stops, its sends failing or done
            QVERIFY(runLoopUntil([&] { return side.player.linkEnded(); }));
            QCOMPARE(side.player.sound.plays, playsAtLeave);
        }
        QVERIFY(watch.bounded());
#ifndef __SANITIZE_ADDRESS__ // its quarantine keeps freed memory resident
        QCOMPARE_LT(peakResidentKiB() - peakBefore, 64 * 1024);
#endif
    }

    // A peer that stops reading: what waits to be sent stays under 1 MiB, a peer that takes
    // nothing for the stall time is lost, and leaving with data unsent does not wait for it.
    void aPeerThatStopsReadingIsLostAndNeverHoldsTheWindow() {
        for (int way = 0; way < 3; ++way) {
            RawJoiner side;
            TestPlayer& player = side.player;
            side.peer.setReadBufferSize(1);
            QTRY_VERIFY(side.ready());
            side.send(QByteArray::fromHex("32b0d7b7bda3bab6d4cad6"));
            QTRY_COMPARE(player.caption("labWhite"), QStringLiteral("白方：对手"));
            player->session().socket().setStallTimeout(way == 1 ? 500 : 60'000);
            qint64 mostUnsent = 0;
            const bool backlog = chatUntil(player, [&] {
                mostUnsent = std::max(mostUnsent, unsent(player));
                return way == 0 ? player.unlinked() : mostUnsent > 256 * 1024;
            });
            QVERIFY(backlog);
            QCOMPARE_LE(mostUnsent, 1024 * 1024);
            if (way == 2) {
                QElapsedTimer leaving;
                leaving.start();
                player.click("cmdExit");
                QCOMPARE_LT(leaving.elapsed(), 1000); // the old flush waited 3 s
                QCOMPARE(player.end.ends, 1);
            } else {
                QTRY_VERIFY_WITH_TIMEOUT(player.linkEnded(), 20000);
                QVERIFY(player.control("lblStatus")->toolTip().contains("不接收"));
            }
        }
    }
};

QTEST_MAIN(Faults)
#include "test_faults.moc"
