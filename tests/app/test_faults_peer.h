#pragma once

// A peer in a process of its own, for the fault tests: the test executable starts itself
// again in peer mode, so the peer can be killed outright, or can flood the player without
// sharing its event loop. The peer speaks plain POSIX sockets and takes one command per
// line on its standard input, answering "ok" (or "failed") on its standard output when the
// command is done:
//
//   join PORT         connect to 127.0.0.1:PORT
//   host              listen on a system-chosen loopback port; answers "port N", then
//                     accepts one player
//   send HEX          send the bytes at once
//   burst MIB HEX [FIRST]  send FIRST, then the bytes of HEX repeated until MIB mebibytes
//                     have gone, as fast as the player takes them; stops quietly when the
//                     player closes
//   trickle HEX       send the bytes one per system call, with no delay between them
//   read N            wait until N bytes have come from the player; answers them in hex
//   close             close the connection

#include <QByteArray>
#include <QCoreApplication>
#include <QEventLoop>
#include <QProcess>
#include <QTimer>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <iostream>
#include <sstream>
#include <string>

namespace kelvane::testing {

inline constexpr const char* PeerModeVariable = "KELVANE_FAULT_PEER";

class PeerMode {
public:
    int run() {
        std::signal(SIGPIPE, SIG_IGN);
        std::string line;
        while (std::getline(std::cin, line)) {
            std::istringstream words(line);
            std::string command;
            words >> command;
            answer(perform(command, words));
        }
        return 0;
    }

private:
    int socket_ = -1;

    bool perform(const std::string& command, std::istringstream& words) {
        if (command == "join") {
            int port = 0;
            words >> port;
            return join(port);
        }
        if (command == "host")
            return host();
        std::string hex;
        if (command == "send") {
            words >> hex;
            return sendAll(fromHex(hex));
        }
        if (command == "burst") {
            long mebibytes = 0;
            std::string first;
            words >> mebibytes >> hex >> first;
            burst(fromHex(first), fromHex(hex), mebibytes * 1024 * 1024);
            return true;
        }
        if (command == "trickle") {
            words >> hex;
            const QByteArray bytes = fromHex(hex);
            for (char byte : bytes) {
                if (!sendAll(QByteArray(1, byte)))
                    return false;
            }
            return true;
        }
        if (command == "read") {
            int count = 0;
            words >> count;
            return readAndShow(count);
        }
        if (command == "close") {
            ::close(socket_);
            socket_ = -1;
            return true;
        }
        return false;
    }

    static QByteArray fromHex(const std::string& hex) {
        return QByteArray::fromHex(QByteArray::fromStdString(hex));
    }

    static void answer(bool ok) { std::cout << (ok ? "ok" : "failed") << std::endl; }

    static sockaddr_in loopback(int port) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        return address;
    }

    void takeSocket(int socket) {
        socket_ = socket;
        const int on = 1;
        ::setsockopt(socket_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    }

    bool join(int port) {
        const int s = ::socket(AF_INET, SOCK_STREAM, 0);
        const sockaddr_in address = loopback(port);
        if (::connect(s, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
            return false;
        takeSocket(s);
        return true;
    }

    bool host() {
        const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address = loopback(0);
        socklen_t size = sizeof address;
        if (::bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(listener, 1) != 0 ||
            ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size) != 0)
            return false;
        std::cout << "port " << ntohs(address.sin_port) << std::endl;
        const int s = ::accept(listener, nullptr, nullptr);
        ::close(listener);
        if (s < 0)
            return false;
        takeSocket(s);
        return true;
    }

    bool sendAll(const QByteArray& bytes) {
        qsizetype sent = 0;
        while (sent < bytes.size()) {
            const ssize_t n = ::send(socket_, bytes.constData() + sent, size_t(bytes.size() - sent),
                                     MSG_NOSIGNAL);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return false;
            sent += n;
        }
        return true;
    }

    void burst(const QByteArray& first, const QByteArray& pattern, long total) {
        QByteArray block = first;
        while (block.size() < 64 * 1024)
            block += pattern;
        for (long sent = 0; sent < total; sent += block.size()) {
            if (!sendAll(block))
                return; // the player closed: the flood ends here
            if (sent == 0)
                block.remove(0, first.size());
        }
    }

    bool readAndShow(int count) {
        QByteArray got;
        char buffer[4096];
        while (got.size() < count) {
            const ssize_t n = ::recv(socket_, buffer, sizeof buffer, 0);
            if (n <= 0)
                return false;
            got.append(buffer, n);
        }
        std::cout << "read " << got.toHex().toStdString() << std::endl;
        return true;
    }
};

// Runs the peer when this process was started as one; call first thing in main().
inline bool runAsPeerIfAsked(int& exitCode) {
    if (qEnvironmentVariableIsEmpty(PeerModeVariable))
        return false;
    exitCode = PeerMode().run();
    return true;
}

// Runs the event loop, as the program's own loop runs, until done() holds or the time is up.
// (QTest::qWaitFor sleeps 10 ms between passes of the loop, which starves a player that acts
// on one message per turn of the loop.)
inline bool runLoopUntil(const std::function<bool()>& done, int timeoutMs = 10000) {
    // done() is asked once per check and never again once it holds: it may take what it
    // looks at, as a line read from a pipe.
    bool met = done();
    if (met)
        return true;
    QEventLoop loop;
    QTimer poll, deadline;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (!met && done()) {
            met = true;
            loop.quit();
        }
    });
    QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    deadline.setSingleShot(true);
    poll.start(2);
    deadline.start(timeoutMs);
    loop.exec();
    return met;
}

// The test's handle on a peer process.
class PeerProcess {
public:
    PeerProcess() {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QString::fromLatin1(PeerModeVariable), QStringLiteral("1"));
        process_.setProcessEnvironment(environment);
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start(QCoreApplication::applicationFilePath(), {});
    }
    ~PeerProcess() {
        process_.kill();
        process_.waitForFinished(5000);
    }

    bool started() { return process_.waitForStarted(5000); }

    // Sends one command; returns at once. answer() collects its reply.
    void command(const QByteArray& line) {
        process_.write(line + '\n');
        process_.waitForBytesWritten(1000);
    }

    // The next line the peer prints, while the test's event loop keeps running; empty when
    // none came within the time.
    QByteArray answer(int timeoutMs = 10000) {
        QByteArray line;
        (void)runLoopUntil(
            [&] {
                if (!process_.canReadLine())
                    return false;
                line = process_.readLine().trimmed();
                return true;
            },
            timeoutMs);
        return line;
    }

    // Sends one command and waits for its "ok"; what it printed before that is in reply().
    bool run(const QByteArray& line) {
        command(line);
        reply_.clear();
        for (QByteArray got = answer(); !got.isEmpty(); got = answer()) {
            if (got == "ok" || got == "failed")
                return got == "ok";
            reply_ = got;
        }
        return false;
    }
    QByteArray reply() const { return reply_; }

    // kill -9: the system closes the peer's socket; the peer sends no leave message.
    bool killHard() {
        process_.kill();
        return process_.waitForFinished(5000);
    }

private:
    QProcess process_;
    QByteArray reply_;
};

} // namespace kelvane::testing
