// One player with the real port forwarding, for router.sh, run inside a network namespace on
// game port 5238 and driven by lines on stdin: host NAME | join ADDRESS | click C R | link |
// exit. It prints a line whenever what the player sees changes, "stall MS" whenever its event
// loop was held for more than a second, and "ended" once 退出 has taken it all down.
#include "../app/support/TestPlayer.h"

#include "lan/RouterPortMapping.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QSocketNotifier>
#include <cstdio>
#include <unistd.h>

using namespace kelvane;

namespace {

void say(const char* kind, QString text) {
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    std::printf("%s %s\n", kind, qPrintable(text));
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    auto ports = std::make_unique<RouterPortMapping>();
    auto p = std::make_unique<testing::TestPlayer>(5238, ports.get());

    // Watches the status line, its note for screen readers, the board and the event loop.
    QString status;
    int stones = 0;
    QElapsedTimer clock;
    clock.start();
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (clock.restart() > 1000)
            say("stall", QString::number(clock.elapsed()));
        if (!p)
            return;
        const QWidget* label = p->control("lblStatus");
        const QString now = p->caption("lblStatus") + u'\t' + label->toolTip() + u'\t' +
                            label->accessibleDescription();
        if (now != status)
            say("status", status = now);
        if (p->stones() != stones)
            say("stones", QString::number(stones = p->stones()));
    });
    watch.start(20);

    QByteArray pending;
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char buffer[512];
        const ssize_t got = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (got <= 0)
            return QApplication::quit();
        pending.append(buffer, got);
        for (qsizetype end; (end = pending.indexOf('\n')) >= 0; pending.remove(0, end + 1)) {
            const QString line = QString::fromUtf8(pending.left(end));
            const QString command = line.section(u' ', 0, 0), rest = line.section(u' ', 1);
            if (command == u"host")
                p->hostAs(rest);
            else if (command == u"join")
                p->joinAs(QStringLiteral("乙"), rest);
            else if (command == u"click")
                p->clickCell(rest.section(u' ', 0, 0).toInt(), rest.section(u' ', 1, 1).toInt());
            else if (command == u"link")
                p->click("cmdLink");
            else if (command == u"exit") {
                // As the program ends: the player first, then the forwarding, at once.
                p->click("cmdExit");
                p.reset();
                ports.reset();
                say("ended", {});
                QApplication::quit();
            }
        }
    });
    return app.exec();
}
