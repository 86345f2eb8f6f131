// A peer process that floods the player: tens of megabytes in one burst, a hundred thousand
// moves, and a stream trickled one byte per send. The window must stay responsive, what the
// player holds must stay bounded, and afterwards the link state and the board must agree.
//
// Responsiveness is measured as the processor time the player's thread spends between two
// ticks of a 10 ms timer. Time the thread spends waiting for a processor does not count, so
// a loaded two-core CI machine that deschedules the test does not make it fail, while an
// event loop held by the player's own work does, however fast or slow the machine: the
// work of a whole flood done in one go takes seconds, far above the bound.
#include "support/TestPlayer.h"
#include "test_faults_peer.h"

#include "ui/CaptionLabel.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTcpSocket>
#include <QTimer>
#include <QtTest>

#include <sys/ioctl.h>

#include <algorithm>
#include <ctime>

using namespace kelvane;
using namespace kelvane::testing;

namespace {

const QString Connected = QStringLiteral("连线中");
const QString NotConnected = QStringLiteral("尚未连线");

// The longest the event loop may be held by one piece of the player's work.
constexpr qint64 MaxBlockedNs = 100'000'000;
// The socket takes at most 1 MiB before it is read; allow for one more system read.
constexpr qint64 MaxBufferedBytes = 2 * 1024 * 1024;

qint64 threadCpuNs() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return qint64(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

// Peak resident memory of this process, from /proc; 0 where there is none.
qint64 peakResidentKiB() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    }
    return 0;
}

#if defined(__SANITIZE_ADDRESS__)
constexpr bool UnderAddressSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool UnderAddressSanitizer = true;
#else
constexpr bool UnderAddressSanitizer = false;
#endif
#else
constexpr bool UnderAddressSanitizer = false;
#endif

// What the system has received on the socket and the program has not taken yet.
int bytesWaitingInTheSystem(const QTcpSocket& socket) {
    int waiting = -1;
    ioctl(int(socket.socketDescriptor()), FIONREAD, &waiting);
    return waiting;
}

// Moves to every cell whose column and row are both odd, in order: no two of them touch, so
// no count of them ever makes five.
QByteArray oddCellMoves(int count) {
    QByteArray moves;
    for (int i = 0; i < count; ++i) {
        const int cell = i % 64;
        moves += char(0x31);
        moves += char(1 + 2 * (cell % 8));
        moves += char(1 + 2 * (cell / 8));
    }
    return moves;
}

// Watches the player while a flood comes in: the longest the event loop was held, and the
// most bytes that the player's side of the link held unread.
class LoopWatch {
public:
    explicit LoopWatch(Player& player) : player_(player) {
        QObject::connect(&timer_, &QTimer::timeout, [this] { tick(); });
        lastCpu_ = threadCpuNs();
        timer_.start(10);
    }

    qint64 longestBlockedNs() const { return longestBlockedNs_; }
    qint64 mostBufferedBytes() const { return mostBufferedBytes_; }
    qsizetype longestChatCaption() const { return longestChatCaption_; }
    int ticks() const { return ticks_; }

private:
    void tick() {
        ++ticks_;
        const qint64 cpu = threadCpuNs();
        longestBlockedNs_ = std::max(longestBlockedNs_, cpu - lastCpu_);
        qint64 buffered = 0;
        for (const QTcpSocket* socket : player_.wskLink().findChildren<QTcpSocket*>())
            buffered += socket->bytesAvailable();
        mostBufferedBytes_ = std::max(mostBufferedBytes_, buffered);
        longestChatCaption_ =
            std::max(longestChatCaption_, player_.frmMain().labHeSay->caption().size());
        lastCpu_ = threadCpuNs(); // the watch's own sampling is not the player's
    }

    Player& player_;
    QTimer timer_;
    qint64 lastCpu_ = 0;
    qint64 longestBlockedNs_ = 0;
    qint64 mostBufferedBytes_ = 0;
    qsizetype longestChatCaption_ = 0;
    int ticks_ = 0;
};

// The player hosts; a peer process joins and names itself.
struct FloodedHost {
    TestPlayer player;
    PeerProcess peer;

    bool link() {
        player.hostAs(QStringLiteral("玩家"));
        return peer.started() &&
               peer.run("join " + QByteArray::number(player->wskLink().ListeningPort())) &&
               peer.run("send 32b0d7b7bda3bab6d4cad6") && peer.run("read 11") &&
               runLoopUntil([&] { return player->status() == Connected; });
    }

    // Every stone where a flood of oddCellMoves may put one, and nowhere else.
    bool stonesOnlyOnOddCells() {
        for (int c = 1; c <= 15; ++c)
            for (int r = 1; r <= 15; ++r) {
                const int expected = (c % 2 == 1 && r % 2 == 1) ? player.cell(c, r) : 0;
                if (player.cell(c, r) != expected || (expected != 0 && expected != White))
                    return false;
            }
        return true;
    }
};

QByteArray hexOf(const QByteArray& bytes) {
    return bytes.toHex();
}

} // namespace

class Floods : public QObject {
    Q_OBJECT

private slots:
    // A hundred thousand moves in one send: each is played, in order, without holding the
    // window, and the turn is the player's after the last.
    void aHundredThousandMovesInOneSendAreAllPlayedWithoutHoldingTheWindow() {
        FloodedHost side;
        QVERIFY(side.link());
        constexpr int Moves = 100'000;
        LoopWatch watch(*side.player.player);
        side.peer.command("send " + hexOf(oddCellMoves(Moves) + QByteArray::fromHex("310202")));
        QVERIFY(runLoopUntil([&] { return side.player.cell(2, 2) == White; }, 120'000));
        QCOMPARE(side.peer.answer(), QByteArray("ok"));
        QCOMPARE(side.player.sound.plays, Moves + 1);
        QCOMPARE(side.player.cell(2, 2), int(White));
        for (int c = 1; c <= 15; c += 2)
            for (int r = 1; r <= 15; r += 2)
                QCOMPARE(side.player.cell(c, r), int(White));
        QCOMPARE(side.player->status(), Connected);
        QVERIFY(side.player->boardTakesClicks());
        qInfo("longest blocked %lld ms over %d ticks", watch.longestBlockedNs() / 1'000'000,
              watch.ticks());
        QVERIFY2(watch.longestBlockedNs() < MaxBlockedNs,
                 qPrintable(QString::number(watch.longestBlockedNs() / 1'000'000) + " ms"));
    }

    // Moves that never end: the user must be able to leave them. The flood waits in TCP,
    // not in the player's memory, and once the user reconnects none of it is acted on.
    void anEndlessBurstOfMovesCanBeLeftAndStaysBounded() {
        FloodedHost side;
        QVERIFY(side.link());
        const qint64 peakBefore = peakResidentKiB();
        LoopWatch watch(*side.player.player);
        side.peer.command("burst 32 " + hexOf(oddCellMoves(64)));
        QVERIFY(runLoopUntil([&] { return side.player.sound.plays > 2000; }, 60'000));
        QTest::qWait(300);

        QTest::mouseClick(side.player.window().cmdLink, Qt::LeftButton);
        QCOMPARE(side.player->status(), NotConnected);
        QVERIFY(!side.player->boardTakesClicks());
        QVERIFY(side.player->frmLogon() != nullptr);
        const int playsAtLeave = side.player.sound.plays;
        QCOMPARE(side.peer.answer(30'000), QByteArray("ok")); // its sends fail: it stops
        QTest::qWait(100);
        QCOMPARE(side.player.sound.plays, playsAtLeave);
        QVERIFY(side.player->caughtUp());
        QVERIFY(side.stonesOnlyOnOddCells());

        qInfo("longest blocked %lld ms, most buffered %lld bytes, %d moves played",
              watch.longestBlockedNs() / 1'000'000, watch.mostBufferedBytes(), playsAtLeave);
        QVERIFY(watch.longestBlockedNs() < MaxBlockedNs);
        QVERIFY(watch.mostBufferedBytes() <= MaxBufferedBytes);
        if (!UnderAddressSanitizer) // its quarantine keeps freed memory resident
            QVERIFY(peakResidentKiB() - peakBefore < 64 * 1024);
    }

    // Thirty-two megabytes of one chat line: shown cut to what one read holds, then the link
    // goes on as before.
    void aBurstOfChatIsCutToItsReadsAndTheLinkGoesOn() {
        FloodedHost side;
        QVERIFY(side.link());
        const qint64 peakBefore = peakResidentKiB();
        LoopWatch watch(*side.player.player);
        side.peer.command("burst 32 c4e3bac3 35"); // "5" and 你好 over and over
        QCOMPARE(side.peer.answer(60'000), QByteArray("ok"));
        QTRY_VERIFY(side.player.window().labHeSay->caption().startsWith(QStringLiteral("你好")));
        QVERIFY(runLoopUntil(
            [&] {
                const QTcpSocket* socket = side.player->wskLink().findChild<QTcpSocket*>();
                return side.player->caughtUp() && socket->bytesAvailable() == 0 &&
                       bytesWaitingInTheSystem(*socket) == 0;
            },
            60'000));
        QVERIFY(side.peer.run("send 310707"));
        QTRY_COMPARE(side.player.cell(7, 7), int(White));
        QCOMPARE(side.player->status(), Connected);
        QVERIFY(side.player->boardTakesClicks());
        QCOMPARE(side.player.sound.plays, 1);

        qInfo("longest blocked %lld ms, most buffered %lld bytes, longest caption %lld",
              watch.longestBlockedNs() / 1'000'000, watch.mostBufferedBytes(),
              qint64(watch.longestChatCaption()));
        QVERIFY(watch.longestBlockedNs() < MaxBlockedNs);
        QVERIFY(watch.mostBufferedBytes() <= MaxBufferedBytes);
        // Reads of a whole number of mebibytes all end inside a character here, so the line
        // grows until the reader stops waiting for the rest at 2 MiB.
        QVERIFY(watch.longestChatCaption() <= 3 * 1024 * 1024);
        if (!UnderAddressSanitizer)
            QVERIFY(peakResidentKiB() - peakBefore < 128 * 1024);
    }

    // Moves and a new game sent one byte per send: however the bytes are grouped into
    // reads, every move is played once and in order, so only the moves after the new game
    // are left on the board.
    void aTrickleIsActedOnInOrder() {
        FloodedHost side;
        QVERIFY(side.link());
        constexpr int Moves = 20'000;
        LoopWatch watch(*side.player.player);
        const QByteArray stream = oddCellMoves(Moves) + "3" + QByteArray::fromHex("310202310404");
        side.peer.command("trickle " + hexOf(stream));
        QVERIFY(runLoopUntil([&] { return side.player.cell(4, 4) == White; }, 60'000));
        QCOMPARE(side.peer.answer(), QByteArray("ok"));
        QCOMPARE(side.player.sound.plays, Moves + 2);
        for (int c = 1; c <= 15; ++c)
            for (int r = 1; r <= 15; ++r) {
                const bool left = (c == 2 && r == 2) || (c == 4 && r == 4);
                QCOMPARE(side.player.cell(c, r), left ? int(White) : 0);
            }
        QCOMPARE(side.player->status(), Connected);
        QVERIFY(side.player->boardTakesClicks());
        qInfo("longest blocked %lld ms over %d ticks", watch.longestBlockedNs() / 1'000'000,
              watch.ticks());
        QVERIFY(watch.longestBlockedNs() < MaxBlockedNs);
        QVERIFY(watch.mostBufferedBytes() <= MaxBufferedBytes);
    }
};

int main(int argc, char* argv[]) {
    int peerExit = 0;
    if (runAsPeerIfAsked(peerExit))
        return peerExit;
    QApplication app(argc, argv);
    Floods floods;
    return QTest::qExec(&floods, argc, argv);
}

#include "test_faults_flood.moc"
