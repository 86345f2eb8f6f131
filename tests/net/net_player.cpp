// One player's program for two_machines.sh and router.sh, run inside a network namespace on
// game port 5238 and driven by lines on stdin: host NAME | join ADDRESS | click C R | link |
// localip | exit | quit. It prints a line whenever what the player sees changes, and "stall MS"
// whenever its event loop was held for over a second. With --router the real port forwarding
// runs, and "exit" (退出) takes it all down as the program does, then says "ended".
#include "../app/support/TestPlayer.h"

#include "lan/RouterPortMapping.h"
#include "link/SocketLink.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLibraryInfo>
#include <QTranslator>
#include <QSocketNotifier>
#include <cstdio>
#include <cstdlib>
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
    // Under a Chinese locale Qt's own texts are Chinese, as in the game.
    QTranslator qtTexts;
    if (QLocale::system().name() == u"zh_CN") {
        if (!qtTexts.load(QStringLiteral("qtbase_zh_CN"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
            qFatal("no qtbase_zh_CN");
        QApplication::installTranslator(&qtTexts);
    }
    std::unique_ptr<PortMapping> ports;
    if (QCoreApplication::arguments().contains(QStringLiteral("--router")))
        ports = std::make_unique<RouterPortMapping>();
    auto p = std::make_unique<testing::TestPlayer>(5238, ports.get());

    // Watches the status line and its note for screen readers, the board and the event loop.
    QString status, described;
    int stones = 0;
    QElapsedTimer clock;
    clock.start();
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (const qint64 gap = clock.restart(); gap > 1000)
            say("stall", QString::number(gap));
        if (!p)
            return;
        const QWidget* label = p->control("lblStatus");
        const QString now = p->caption("lblStatus") + u'\t' + label->toolTip();
        if (now != status)
            say("status", status = now);
        if (label->accessibleDescription() != described)
            say("described", described = label->accessibleDescription());
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
            else if (command == u"localip")
                say("localip", SocketLink().LocalIP());
            else if (command == u"quit")
                QApplication::quit();
            if (command == u"exit") {
                p->click("cmdExit");
                p.reset();
                ports.reset();
                // Whatever the forwarding left running ends here, as with the real program.
                say("ended", {});
                std::_Exit(0);
            }
            if ((command == u"host" || command == u"join") && p->logon())
                say("problem", p->in<QLineEdit>(p->logon(), "txtIP")->toolTip());
        }
    });
    return app.exec();
}
