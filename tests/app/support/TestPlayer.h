#pragma once

#include "Fakes.h"

#include "app/LogonFlow.h"
#include "app/Player.h"
#include "app/Session.h"
#include "ui/CaptionLabel.h"
#include "ui/LogonDialog.h"
#include "ui/MainWindow.h"

#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <memory>

namespace kelvane::testing {

// A port that was free a moment ago, chosen by the system.
inline quint16 freePort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

// One player's program with substitute services, driven through its real widgets, which
// are found by their names.
struct TestPlayer {
    FakeSound sound;
    FakeBoxes boxes;
    FakeEnd end;
    FakeDialogs dialogs;
    FakeLauncher launcher;
    FakeDiscovery discovery;
    std::unique_ptr<Player> player;

    explicit TestPlayer(quint16 gamePort = 0, PortMapping* ports = nullptr)
        : player(std::make_unique<Player>(
              PlayerServices{sound, boxes, end, dialogs, launcher, &discovery, ports}, gamePort)) {
        player->Main();
    }

    Player* operator->() { return player.get(); }
    const GameModel& model() const { return player->model(); }
    MainWindow& window() { return player->window(); }
    LogonDialog* logon() { return player->logon().dialog(); }
    template <class T = QWidget> T* in(QWidget* parent, const char* name) {
        T* found = parent ? parent->findChild<T*>(QString::fromLatin1(name)) : nullptr;
        if (!found)
            qFatal("no control %s", name);
        return found;
    }
    template <class T = QWidget> T* control(const char* name) { return in<T>(&window(), name); }
    QString caption(const char* label) { return control<CaptionLabel>(label)->caption(); }
    void click(const char* button) { QTest::mouseClick(control<QPushButton>(button), Qt::LeftButton); }

    // Confirms the logon dialog as host; the link listens on a port the system chose.
    void hostAs(const QString& name) {
        in<QLineEdit>(logon(), "txtName")->setText(name);
        QTest::mouseClick(in(logon(), "cmdOK"), Qt::LeftButton);
    }
    void joinAs(const QString& name, const QString& address = QStringLiteral("127.0.0.1")) {
        QTest::mouseClick(in(logon(), "optClient"), Qt::LeftButton);
        in<QLineEdit>(logon(), "txtName")->setText(name);
        in<QLineEdit>(logon(), "txtIP")->setText(address);
        QTest::mouseClick(in(logon(), "cmdOK"), Qt::LeftButton);
    }
    quint16 port() { return player->session().socket().ListeningPort(); }

    // A click in the middle of the cell's click zone.
    void clickCell(int column, int row, Qt::MouseButton button = Qt::LeftButton) {
        const QPoint inPicture(21 * (column - 1) + 10, 20 * (row - 1) + 10);
        QTest::mouseClick(control("picBoard"), button, {}, inPicture + QPoint(1, 1));
    }
    int cell(int column, int row) const { return model().board().at(column, row); }
    // The turn as the model has it, and as the board shows it.
    bool myTurn() { return model().myTurn() && control("picBoard")->isEnabled(); }

    bool linked() { return model().linkUp() && caption("lblStatus") == QStringLiteral("连线中"); }
    bool unlinked() { return caption("lblStatus") == QStringLiteral("尚未连线"); }
    // What must hold once a link has ended, whoever ended it.
    bool linkEnded() {
        return unlinked() && !model().linkUp() && !control("picBoard")->isEnabled() &&
               player->session().caughtUp() &&
               player->session().socket().State() == SocketLink::sckClosed;
    }
    // Everything the player was sent before has been acted on once a chat marker sent
    // after it shows. A read that starts with an unknown type is dropped whole, so the
    // marker is sent again until it shows on its own.
    bool caughtUp(const std::function<void(const QByteArray&)>& send) {
        for (int tries = 0; tries < 20; ++tries) {
            send("5marker");
            if (QTest::qWaitFor(
                    [&] {
                        return caption("labHeSay") == QStringLiteral("marker") &&
                               player->session().caughtUp();
                    },
                    1000))
                return true;
        }
        return false;
    }
    int stones() const {
        int found = 0;
        for (int column = 1; column <= 15; ++column)
            for (int row = 1; row <= 15; ++row)
                found += cell(column, row) != 0;
        return found;
    }
};

// The player hosts as "玩家"; the test speaks for the joining peer on a raw socket.
struct RawJoiner {
    TestPlayer player;
    QTcpSocket peer;

    RawJoiner() {
        player.hostAs(QStringLiteral("玩家"));
        peer.connectToHost(QHostAddress::LocalHost, player.port());
    }
    bool ready() { return peer.state() == QAbstractSocket::ConnectedState && player.linked(); }
    void send(const QByteArray& data) { peer.write(data), peer.flush(); }
    // What the player sent, once at least `count` bytes are here.
    QByteArray received(int count) {
        QByteArray data;
        (void)QTest::qWaitFor([&] {
            data += peer.readAll();
            return data.size() >= count;
        });
        return data;
    }
    // Everything the player has acted on what was sent before: a chat line sent after it
    // has been shown.
    bool caughtUp() { return player.caughtUp([this](const QByteArray& b) { send(b); }); }
};

} // namespace kelvane::testing
