#include "StartupChild.h"

#include <QApplication>
#include <benchmark/benchmark.h>

// Widgets need an application object; the offscreen platform keeps the figures free of a
// window system's noise.
int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    if (argc > 2 && argv[1] == kelvane::bench::StartupChildFlag)
        return kelvane::bench::runStartupChild(argv[2], argc, argv);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
