#include "bot/BotPlayer.h"
#include "bot/GomocupLoop.h"

#include "link/LinkError.h"

#include "Version.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>
#include <iostream>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// SIGTERM and SIGINT reach the event loop through this pair, so that the bot says goodbye
// on the link before it ends.
int signalPipe[2] = {-1, -1};

void onSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(signalPipe[1], &byte, 1);
}

int fail(const QString& message) {
    std::cerr << "kelvane-bot: " << message.toStdString() << '\n';
    return 1;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kelvane-bot"));
    QCoreApplication::setApplicationVersion(QStringLiteral("%1.%2.%3")
                                                .arg(kelvane::VersionMajor)
                                                .arg(kelvane::VersionMinor)
                                                .arg(kelvane::VersionRevision));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "The computer player of Kelvane: hosts or joins a game over the network, or plays "
        "the Gomocup AI protocol on standard input and output."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption hostOption(QStringLiteral("host"),
                                        QStringLiteral("Host a game and play black."));
    const QCommandLineOption joinOption(QStringLiteral("join"),
                                        QStringLiteral("Join the game hosted at ADDRESS and "
                                                       "play white."),
                                        QStringLiteral("ADDRESS"));
    const QCommandLineOption portOption(QStringLiteral("port"),
                                        QStringLiteral("The game's TCP port (default 5238)."),
                                        QStringLiteral("N"), QStringLiteral("5238"));
    // The time a move at each strength: the engine's cap, which it overruns by at most 20 ms.
    QStringList moveTimes;
    for (int strength = kelvane::WeakestStrength; strength <= kelvane::StrongestStrength;
         ++strength)
        moveTimes << QStringLiteral("%1: at most %2 ms a move")
                         .arg(strength)
                         .arg(kelvane::LimitsForStrength(strength).timeMs + 20);
    const QCommandLineOption strengthOption(
        QStringLiteral("strength"),
        QStringLiteral("Playing strength, 1 (quick) to 3 (strongest); default %1. %2.")
            .arg(kelvane::DefaultStrength)
            .arg(moveTimes.join(QStringLiteral("; "))),
        QStringLiteral("N"), QString::number(kelvane::DefaultStrength));
    const QCommandLineOption seedOption(QStringLiteral("seed"),
                                        QStringLiteral("Seed for choosing among equal moves."),
                                        QStringLiteral("N"), QStringLiteral("0"));
    const QCommandLineOption gomocupOption(
        QStringLiteral("gomocup"),
        QStringLiteral("Speak the Gomocup AI protocol on stdin/stdout."));
    const QCommandLineOption nodesOption(
        QStringLiteral("nodes"),
        QStringLiteral("Think at most N nodes a move, with no time cap: the same moves on "
                       "every machine."),
        QStringLiteral("N"));
    const QCommandLineOption nameOption(
        QStringLiteral("name"), QStringLiteral("The name it plays under (default 电脑)."),
        QStringLiteral("NAME"));
    parser.addOptions({hostOption, joinOption, portOption, strengthOption, seedOption, nodesOption,
                       nameOption, gomocupOption});
    parser.process(app);

    bool ok = false;
    const int strength = parser.value(strengthOption).toInt(&ok);
    if (!ok || strength < kelvane::WeakestStrength || strength > kelvane::StrongestStrength)
        return fail(QStringLiteral("--strength takes 1, 2 or 3"));
    const quint64 seed = parser.value(seedOption).toULongLong(&ok);
    if (!ok)
        return fail(QStringLiteral("--seed takes a whole number"));
    const uint port = parser.value(portOption).toUInt(&ok);
    if (!ok || port < 1 || port > 65535)
        return fail(QStringLiteral("--port takes a number from 1 to 65535"));
    kelvane::EngineLimits limits = kelvane::LimitsForStrength(strength);
    if (parser.isSet(nodesOption)) {
        limits.maxNodes = parser.value(nodesOption).toLongLong(&ok);
        limits.timeMs = 0;
        if (!ok || limits.maxNodes < 1)
            return fail(QStringLiteral("--nodes takes a positive number"));
    }
    const int modes =
        parser.isSet(hostOption) + parser.isSet(joinOption) + parser.isSet(gomocupOption);
    if (modes != 1)
        return fail(QStringLiteral("give exactly one of --host, --join ADDRESS or --gomocup"));

    if (parser.isSet(gomocupOption)) {
        const std::string about = "name=\"Kelvane\", version=\"" +
                                  QCoreApplication::applicationVersion().toStdString() +
                                  "\", author=\"The Kelvane developers\", country=\"China\"";
        return kelvane::RunGomocup(limits, seed, about);
    }

    kelvane::BotPlayer bot(limits, seed, static_cast<quint16>(port));
    if (parser.isSet(nameOption))
        bot.setName(parser.value(nameOption));
    QObject::connect(&bot, &kelvane::BotPlayer::finished, &app, &QCoreApplication::exit,
                     Qt::QueuedConnection);
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0)
        return fail(QStringLiteral("cannot set up signal handling"));
    QSocketNotifier signalNotifier(signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&signalNotifier, &QSocketNotifier::activated, &bot, [&bot] {
        char byte;
        [[maybe_unused]] const auto got = ::read(signalPipe[0], &byte, 1);
        bot.leave();
    });
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);

    try {
        if (parser.isSet(hostOption))
            bot.host();
        else
            bot.join(parser.value(joinOption));
    } catch (const kelvane::LinkError& error) {
        return fail(QString::fromUtf8(error.what()));
    }
    const int exitCode = QCoreApplication::exec();
    if (!bot.problem().isEmpty())
        fail(bot.problem());
    return exitCode;
}
