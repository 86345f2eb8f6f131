// One player's program for two_machines.sh, run inside a network namespace on game port
// 5238 and driven by lines on stdin: host NAME | join ADDRESS | click C R | localip | quit.
// It prints a line whenever what the player sees changes.
#include "../app/support/TestPlayer.h"

#include "link/SocketLink.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>
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
    // Under a Chinese locale Qt's own texts are Chinese, as in the game.
    QTranslator qtTexts;
    if (QLocale::system().name() == u"zh_CN") {
        if (!qtTexts.load(QStringLiteral("qtbase_zh_CN"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
            qFatal("no qtbase_zh_CN");
        QApplication::installTranslator(&qtTexts);
    }
    testing::TestPlayer p(5238);

    // Watches the status line and the board.
    QString status;
    int stones = 0;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        const QString now = p.caption("lblStatus") + u'\t' + p.control("lblStatus")->toolTip();
        if (now != status)
            say("status", status = now);
        if (p.stones() != stones)
            say("stones", QString::number(stones = p.stones()));
    });
    watch.start(50);

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
                p.hostAs(rest);
            else if (command == u"join")
                p.joinAs(QStringLiteral("乙"), rest);
            else if (command == u"click")
                p.clickCell(rest.section(u' ', 0, 0).toInt(), rest.section(u' ', 1, 1).toInt());
            else if (command == u"localip")
                say("localip", SocketLink().LocalIP());
            else if (command == u"quit")
                QApplication::quit();
            if ((command == u"host" || command == u"join") && p.logon())
                say("problem", p.in<QLineEdit>(p.logon(), "txtIP")->toolTip());
        }
    });
    return app.exec();
}
