// Start-up to every window painted, and the peak memory of the process, for the game and
// for a bare Qt Widgets window built into the same executable, so both load the same
// libraries. Each start is a fresh process; the figures are medians over alternate starts.
#include "PaintWatch.h"
#include "StartupChild.h"
#include "support/TestPlayer.h"

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace kelvane;

namespace {

long peakResidentKiB() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    }
    return 0;
}

struct Start {
    double ms = 0;
    long peakKiB = 0;
};

// Starts the child and waits for its report; wall time from start to report.
Start startChild(const char* what) {
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QElapsedTimer clock;
    clock.start();
    child.start(QCoreApplication::applicationFilePath(),
                {QString::fromLatin1(bench::StartupChildFlag.data()), QString::fromLatin1(what)});
    QByteArray line;
    while (!line.contains('\n') && child.waitForReadyRead(30000))
        line += child.readAll();
    Start start{clock.nsecsElapsed() / 1e6, 0};
    child.waitForFinished(30000);
    if (line.startsWith("painted "))
        start.peakKiB = line.mid(8).trimmed().toLong();
    return start;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void BM_StartupGameVersusBareWindow(benchmark::State& state) {
    constexpr int Starts = 15;
    std::vector<double> gameMs, bareMs, textMs, gameKiB, bareKiB;
    for (auto _ : state) {
        for (const char* what : {"bare", "text", "game"})
            startChild(what); // warm the file cache for all three
        for (int i = 0; i < Starts; ++i) {
            const Start bare = startChild("bare");
            const Start text = startChild("text");
            const Start game = startChild("game");
            bareMs.push_back(bare.ms);
            textMs.push_back(text.ms);
            gameMs.push_back(game.ms);
            bareKiB.push_back(double(bare.peakKiB));
            gameKiB.push_back(double(game.peakKiB));
        }
        state.SetIterationTime(median(gameMs) / 1000);
    }
    state.counters["game_ms"] = median(gameMs);
    state.counters["bare_ms"] = median(bareMs);
    state.counters["text_ms"] = median(textMs);
    state.counters["time_ratio"] = median(gameMs) / median(bareMs);
    state.counters["time_ratio_to_text"] = median(gameMs) / median(textMs);
    state.counters["game_peak_KiB"] = median(gameKiB);
    state.counters["bare_peak_KiB"] = median(bareKiB);
    state.counters["memory_ratio"] = median(gameKiB) / median(bareKiB);
}

} // namespace

BENCHMARK(BM_StartupGameVersusBareWindow)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

int bench::runStartupChild(std::string_view what, int argc, char** argv) {
    QApplication app(argc, argv);
    PaintWatch painted([] {
        std::printf("painted %ld\n", peakResidentKiB());
        std::fflush(stdout);
        QCoreApplication::exit(0);
    });
    if (what == "bare" || what == "text") {
        // What any Qt Widgets program shows: one titled window of the main window's size;
        // "text" adds one line of Chinese, the least a window of this interface paints.
        QWidget window;
        window.setWindowTitle(QStringLiteral("Kelvane"));
        window.resize(576, 409);
        if (what == "text")
            new QLabel(QStringLiteral("五子棋"), &window);
        painted.watch(&window);
        window.show();
        return QApplication::exec();
    }
    // As the program starts: the main window with the logon dialog in front of it.
    testing::TestPlayer side;
    painted.watch(&side.window());
    painted.watch(side.logon());
    return QApplication::exec();
}
