// The receive path per message, and a move from one player to the other over loopback.
#include "PaintWatch.h"
#include "support/TestPlayer.h"

#include "link/MessageReader.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <vector>

using namespace kelvane;
using namespace kelvane::testing;

namespace {

QByteArray move(int column, int row) {
    const char bytes[] = {0x31, char(column), char(row)};
    return QByteArray(bytes, 3);
}

// The i-th of the 64 cells whose column and row are both odd: no two touch, so no five.
std::pair<int, int> oddCell(int i) {
    return {1 + 2 * (i % 4), 1 + 2 * (i / 4)};
}

void BM_ReadMoveMessage(benchmark::State& state) {
    MessageReader reader;
    const QByteArray read = move(3, 12);
    for (auto _ : state) {
        reader.addRead(read);
        benchmark::DoNotOptimize(reader.takeMessage());
    }
}

// A hosting player, linked over loopback, that acts on reads handed to it as the fuzz target
// does, until it has caught up: cutting, the legal move, the highlighted repaint, five in a
// row and the turn. Between two timed moves it makes its own, untimed.
struct Receiver {
    RawJoiner side;
    Receiver() {
        side.player.window().show();
        while (!side.ready())
            QCoreApplication::processEvents();
    }
    void receive(const QByteArray& read) {
        side.player->session().handleRead(read);
        drain();
    }
    void drain() {
        while (!side.player->session().caughtUp() || side.player.sound.playing())
            QCoreApplication::processEvents();
    }
};

void BM_ReceiveMove(benchmark::State& state) {
    Receiver receiver;
    int i = 0;
    for (auto _ : state) {
        state.PauseTiming();
        if (i % 32 == 0)
            receiver.receive("3");
        // Black on odd cells, white on the even ones beside them: neither ever has five.
        const auto [column, row] = oddCell(i++ % 32);
        receiver.side.player.clickCell(column, row);
        receiver.drain();
        state.ResumeTiming();
        receiver.receive(move(column + 1, row));
    }
}

void BM_ReceiveChat(benchmark::State& state) {
    Receiver receiver;
    const QByteArray chat = "5" + QByteArray::fromHex("c4e3bac3"); // 你好
    for (auto _ : state)
        receiver.receive(chat);
}

// Runs the event loop until done() holds; false after five seconds.
bool runUntil(const std::function<bool()>& done) {
    QEventLoop loop;
    QTimer poll, deadline;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    deadline.setSingleShot(true);
    poll.start(0);
    deadline.start(5000);
    if (!done())
        loop.exec();
    return done();
}

// Two players over loopback. Timed: from the click on one board until the other board is
// enabled and its picture painted with the stone. Both sounds are substitutes that return
// at once, so the figure leaves out the move sound.
void BM_MoveEndToEnd(benchmark::State& state) {
    const quint16 port = freePort();
    TestPlayer host(port);
    host.hostAs(QStringLiteral("黑棋手"));
    TestPlayer joiner(port);
    joiner.joinAs(QStringLiteral("白棋手"));
    if (!runUntil([&] { return host.linked() && joiner.linked(); })) {
        state.SkipWithError("the players did not connect");
        return;
    }
    QElapsedTimer clock;
    qint64 paintedAt = 0;
    bench::PaintWatch hostPainted([&] { paintedAt = clock.nsecsElapsed(); });
    bench::PaintWatch joinerPainted([&] { paintedAt = clock.nsecsElapsed(); });
    hostPainted.watch(host.control("picBoard"));
    joinerPainted.watch(joiner.control("picBoard"));
    hostPainted.disarm();
    joinerPainted.disarm();

    std::vector<double> delaysUs;
    int moves = 0;
    for (auto _ : state) {
        if (moves % 98 == 0 && moves > 0) {
            // Both halves of the board are full: a new game, which black opens.
            host.click("cmdNew");
            runUntil([&] { return joiner.cell(1, 1) == 0 && host.myTurn(); });
        }
        const bool blackMoves = moves % 2 == 0;
        TestPlayer& mover = blackMoves ? host : joiner;
        TestPlayer& other = blackMoves ? joiner : host;
        // Black on odd cells, white on even ones: neither ever has five.
        const int n = moves % 98 / 2;
        const int column = blackMoves ? 1 + 2 * (n % 7) : 2 + 2 * (n % 7);
        const int row = blackMoves ? 1 + 2 * (n / 7) : 2 + 2 * (n / 7);
        ++moves;
        QCoreApplication::processEvents(); // the last move's own repaints are done
        (blackMoves ? joinerPainted : hostPainted).reset();
        paintedAt = 0;
        clock.start();
        mover.clickCell(column, row);
        if (!runUntil([&] { return paintedAt != 0 && other.myTurn(); })) {
            state.SkipWithError("the move did not arrive");
            return;
        }
        const double seconds = paintedAt / 1e9;
        state.SetIterationTime(seconds);
        delaysUs.push_back(seconds * 1e6);
    }
    std::sort(delaysUs.begin(), delaysUs.end());
    state.counters["median_us"] = delaysUs[delaysUs.size() / 2];
    state.counters["p90_us"] = delaysUs[delaysUs.size() * 9 / 10];
}

} // namespace

BENCHMARK(BM_ReadMoveMessage);
BENCHMARK(BM_ReceiveMove)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReceiveChat)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MoveEndToEnd)->UseManualTime()->Iterations(500)->Unit(benchmark::kMicrosecond);
