#pragma once

#include "Fakes.h"

#include "app/Player.h"
#include "ui/BoardPicture.h"
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

// One player's program with substitute services, driven through its real widgets.
struct TestPlayer {
    FakeSound sound;
    FakeBoxes boxes;
    FakeEnd end;
    FakeDialogs dialogs;
    FakeLauncher launcher;
    FakeRegistry registry;
    std::unique_ptr<Player> player;

    explicit TestPlayer(quint16 gamePort = 0)
        : player(std::make_unique<Player>(
              PlayerServices{sound, boxes, end, dialogs, launcher, registry}, gamePort)) {
        player->Main();
    }

    Player* operator->() { return player.get(); }
    MainWindow& window() { return player->frmMain(); }

    // Confirms the logon dialog as host; the link listens on a port the system chose.
    void hostAs(const QString& name) {
        LogonDialog* logon = player->frmLogon();
        logon->txtName->setText(name);
        QTest::mouseClick(logon->cmdOK, Qt::LeftButton);
    }

    void joinAs(const QString& name, const QString& address = QStringLiteral("127.0.0.1")) {
        LogonDialog* logon = player->frmLogon();
        QTest::mouseClick(logon->optClient, Qt::LeftButton);
        logon->txtName->setText(name);
        logon->txtIP->setText(address);
        QTest::mouseClick(logon->cmdOK, Qt::LeftButton);
    }

    // A click in the middle of the cell's click zone.
    void clickCell(int column, int row, Qt::MouseButton button = Qt::LeftButton) {
        const QPoint inPicture(21 * (column - 1) + 10, 20 * (row - 1) + 10);
        QTest::mouseClick(window().picBoard, button, {}, inPicture + QPoint(1, 1));
    }

    int cell(int column, int row) const { return player->board().at(column, row); }

    bool linked() const { return player->status() == QStringLiteral("连线中"); }
    bool unlinked() const { return player->status() == QStringLiteral("尚未连线"); }
    // What must hold once a link has ended, whoever ended it.
    bool linkEnded() const {
        return unlinked() && !player->boardTakesClicks() && player->caughtUp() &&
               player->wskLink().State() == SocketLink::sckClosed;
    }

    // Where the stones of `colour`, or of either colour, stand, column by column.
    QList<QPoint> stones(int colour = 0) const {
        QList<QPoint> found;
        for (int column = 1; column <= 15; ++column)
            for (int row = 1; row <= 15; ++row)
                if (colour ? cell(column, row) == colour : cell(column, row) != 0)
                    found << QPoint(column, row);
        return found;
    }
};

// The player hosts as "玩家"; the test speaks for the joining peer on a raw socket.
struct RawJoiner {
    TestPlayer player;
    QTcpSocket peer;

    RawJoiner() {
        player.hostAs(QStringLiteral("玩家"));
        peer.connectToHost(QHostAddress::LocalHost, player->wskLink().ListeningPort());
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
    // True when nothing more comes for a while.
    bool silent() {
        QTest::qWait(30);
        return peer.bytesAvailable() == 0;
    }
};

} // namespace kelvane::testing
