// Drives one AvahiDiscovery from lines on standard input and reports what it sees:
//   announce NAME PORT | withdraw | browse | ping
// Every change of the hosts prints "hosts N: NAME ADDRESS PORT VERSION; ...", every ping a
// "pong" (which proves the event loop is not stuck). End of input ends the probe.
#include "lan/AvahiDiscovery.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <cstdio>
#include <unistd.h>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    kelvane::AvahiDiscovery discovery;
    const auto say = [](const QString& line) {
        std::puts(line.toUtf8().constData());
        std::fflush(stdout);
    };
    QObject::connect(&discovery, &kelvane::Discovery::hostsChanged, [&] {
        const QList<kelvane::DiscoveredHost> hosts = discovery.hosts();
        QString line = QStringLiteral("hosts %1:").arg(hosts.size());
        for (const kelvane::DiscoveredHost& h : hosts)
            line +=
                QStringLiteral(" %1 %2 %3 %4;").arg(h.name, h.address).arg(h.port).arg(h.version);
        say(line);
    });

    QByteArray input;
    QSocketNotifier notifier(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&notifier, &QSocketNotifier::activated, [&] {
        char buffer[4096];
        const ssize_t got = read(STDIN_FILENO, buffer, sizeof buffer);
        if (got <= 0)
            return app.quit();
        input.append(buffer, got);
        for (qsizetype end; (end = input.indexOf('\n')) >= 0; input.remove(0, end + 1)) {
            const QStringList words = QString::fromUtf8(input.left(end)).split(u' ');
            if (words[0] == u"announce" && words.size() == 3)
                discovery.announce(words[1], words[2].toUShort());
            else if (words[0] == u"withdraw")
                discovery.withdraw();
            else if (words[0] == u"browse")
                discovery.startBrowsing();
            else if (words[0] == u"ping")
                say(QStringLiteral("pong"));
        }
    });
    return app.exec();
}
