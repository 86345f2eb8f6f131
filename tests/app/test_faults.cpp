// Broken and hostile links over loopback: a peer process killed after half a move, a second
// joiner, and floods in one burst or one byte at a time. After each, the link state and the
// board must agree, and nothing of a broken link may leak into the next.
#include "support/TestPlayer.h"

#include "ui/CaptionLabel.h"

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
        }
        return true;
    }

    int socket_ = ::socket(AF_INET, SOCK_STREAM, 0);
    std::thread sender_;
    std::atomic<bool> sending_ = false, allSent_ = false;
};

using Stones = QList<QPoint>;

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
    explicit LoopWatch(Player& player) : player_(player), lastCpu_(threadCpuNs()) {
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
        for (const QTcpSocket* socket : player_.wskLink().findChildren<QTcpSocket*>())
            unread += socket->bytesAvailable();
        unread_ = std::max(unread_, unread);
        chatLine_ = std::max(chatLine_, player_.frmMain().labHeSay->caption().size());
        lastCpu_ = threadCpuNs(); // the looking is not the player's work
    }

    Player& player_;
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
        port = player->wskLink().ListeningPort();
        return peer.join(port) && peer.send(QByteArray::fromHex("32b0d7b7bda3bab6d4cad6")) &&
               runLoopUntil([&] { return player.window().labWhite->caption() == "白方：对手"; });
    }
};

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
        QCOMPARE(side.player.stones(Black), Stones{QPoint(8, 8)});
        QCOMPARE(side.player.stones(White), Stones{QPoint(9, 9)});
        QCOMPARE(side.player.end.ends, 0);

        // The held byte must not wait to be completed by the first bytes of the next link:
        // with "07" it would make a move to (5, 7), and "310202" one to (2, 2). Alone, the
        // unknown 07 drops its read.
        QTest::mouseClick(side.player.window().cmdLink, Qt::LeftButton);
        side.player.hostAs(QStringLiteral("玩家"));
        QTcpSocket next;
        next.connectToHost(QHostAddress::LocalHost, side.player->wskLink().ListeningPort());
        QTRY_VERIFY(side.player.linked());
        next.write(QByteArray::fromHex("07310202"));
        QTest::qWait(50);
        QTRY_VERIFY(side.player->caughtUp());
        next.write(QByteArray::fromHex("310303"));
        QTRY_COMPARE(side.player.cell(3, 3), int(White));
        QCOMPARE(side.player.stones(White), Stones{QPoint(3, 3)});
    }

    // Not one byte for it, and nothing it sends (a leave, a move, a new game) is acted on.
    void aSecondJoinerGetsNothingAndChangesNothing() {
        LinkedHost side;
        QVERIFY(side.link());
        QVERIFY(side.peer.send(QByteArray::fromHex("310505")));
        QTRY_COMPARE(side.player.cell(5, 5), int(White));

        QTcpSocket intruder;
        intruder.connectToHost(QHostAddress::LocalHost, side.port);
        if (intruder.waitForConnected(1000))
            intruder.write(QByteArray::fromHex("3431010133"));
        QTRY_COMPARE(intruder.state(), QAbstractSocket::UnconnectedState);
        QCOMPARE(intruder.bytesAvailable(), 0);
        QTest::qWait(50);
        QVERIFY(side.peer.send(QByteArray::fromHex("310707")));
        QTRY_COMPARE(side.player.cell(7, 7), int(White));
        QCOMPARE(side.player.stones(White), (Stones{QPoint(5, 5), QPoint(7, 7)}));
    }

    // However the bytes are grouped into reads, every move is played once and in order, so
    // only the two after the new game are left.
    void aStreamOfMovesIsPlayedInOrderWithoutHoldingTheWindow_data() {
        QTest::addColumn<int>("moves");
        QTest::addColumn<int>("bytesPerSend");
        QTest::newRow("in one send") << 100'000 << 0;
        QTest::newRow("one byte per send") << 20'000 << 1;
    }

    void aStreamOfMovesIsPlayedInOrderWithoutHoldingTheWindow() {
        QFETCH(int, moves);
        QFETCH(int, bytesPerSend);
        LinkedHost side;
        QVERIFY(side.link());
        LoopWatch watch(*side.player.player);
        const QByteArray stream = oddCellMoves(moves) + "3" + QByteArray::fromHex("310202310404");
        side.peer.start(stream, stream.size(), bytesPerSend);
        QVERIFY(runLoopUntil([&] { return side.player.cell(4, 4) == White; }, 100'000));
        QCOMPARE(side.player.sound.plays, moves + 2);
        QCOMPARE(side.player.stones(White), (Stones{QPoint(2, 2), QPoint(4, 4)}));
        QVERIFY(side.player.linked());
        QVERIFY(side.player->boardTakesClicks());
        QVERIFY(watch.bounded());
    }

    // 32 MiB that would take minutes to act on: the flood waits in TCP, not in the player's
    // memory; the window stays free, and the user can leave it, after which none of it is
    // acted on. A chat line is cut to what one read holds.
    void aBurstCanBeLeftAndStaysBounded_data() {
        QTest::addColumn<QByteArray>("repeated");
        QTest::newRow("moves") << oddCellMoves(64);
        // "5你好": each read that starts with a line shows as one line.
        QTest::newRow("chat") << QByteArray::fromHex("35c4e3bac3");
    }

    void aBurstCanBeLeftAndStaysBounded() {
        QFETCH(QByteArray, repeated);
        LinkedHost side;
        QVERIFY(side.link());
        const qint64 peakBefore = peakResidentKiB();
        LoopWatch watch(*side.player.player);
        QByteArray block;
        while (block.size() < 64 * 1024)
            block += repeated;
        side.peer.start(block, 32 * 1024 * 1024);
        QVERIFY(runLoopUntil([&] {
            return side.player.sound.plays > 2000 ||
                   side.player.window().labHeSay->caption().startsWith(QStringLiteral("你好"));
        }));
        QTest::qWait(300);

        QTest::mouseClick(side.player.window().cmdLink, Qt::LeftButton);
        const int playsAtLeave = side.player.sound.plays;
        QVERIFY(side.peer.ended(30'000)); // it stops, its sends failing or done
        QTest::qWait(100);
        QVERIFY(side.player.linkEnded());
        QCOMPARE(side.player.sound.plays, playsAtLeave);
        QCOMPARE(side.player.stones(Black), Stones());
        for (const QPoint& stone : side.player.stones(White))
            QVERIFY(stone.x() % 2 == 1 && stone.y() % 2 == 1);
        QVERIFY(watch.bounded());
#ifndef __SANITIZE_ADDRESS__ // its quarantine keeps freed memory resident
        QCOMPARE_LT(peakResidentKiB() - peakBefore, 64 * 1024);
#endif
    }
};

QTEST_MAIN(Faults)
#include "test_faults.moc"
