// The About box as the Help menu opens it: what it shows, the notice line under the mouse and
// its click, real modality, and the peer's messages arriving while it is open.
#include "support/TestPlayer.h"

#include "app/QtModalDialogs.h"
#include "ui/AboutBox.h"

#include <QAction>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QUrl>
#include <QtTest>

using namespace kelvane;
using namespace kelvane::testing;

namespace {

const QColor GreenText(0, 255, 0);
const QColor BlackText(0, 0, 0);

QColor NoticeColour(const AboutBox& box) {
    return box.lblCopyright->palette().color(QPalette::WindowText);
}

QPoint CentreOf(const QWidget* control) {
    return control->geometry().center();
}

// Moves the mouse over the box the way the window system does, so the event reaches the
// control under the pointer and travels up from it as it would on screen.
void MoveTo(AboutBox& box, QPoint point) {
    QTest::mouseMove(box.windowHandle(), point);
}

// A raw host on loopback that the player joins as white.
struct RawHost {
    QTcpServer server;
    QTcpSocket* peer = nullptr;

    RawHost() { server.listen(QHostAddress::LocalHost, 0); }
    bool accepted() {
        if (!peer && server.hasPendingConnections())
            peer = server.nextPendingConnection();
        return peer != nullptr;
    }
    void send(const QByteArray& data) {
        peer->write(data);
        peer->flush();
    }
};

// A player whose About box is shown with the real, nested-loop modal show.
struct PlayerWithRealModal {
    FakeSound sound;
    FakeBoxes boxes;
    FakeEnd end;
    QtModalDialogs dialogs;
    FakeLauncher launcher;
    FakeRegistry registry;
    Player player;

    explicit PlayerWithRealModal(quint16 port)
        : player({sound, boxes, end, dialogs, launcher, registry}, port) {
        player.Main();
    }
    void joinAs(const QString& name) {
        LogonDialog* logon = player.frmLogon();
        QTest::mouseClick(logon->optClient, Qt::LeftButton);
        logon->txtName->setText(name);
        logon->txtIP->setText(QStringLiteral("127.0.0.1"));
        QTest::mouseClick(logon->cmdOK, Qt::LeftButton);
    }
};

// Runs `whileOpen` once the real modal box is up, from its own event loop; a guard closes
// the box if the test never does, so a failure cannot hang the run.
struct ModalDriver {
    std::function<void(AboutBox&)> whileOpen;
    QPointer<AboutBox> seen;
    bool timedOut = false;

    void openFrom(QAction* item) {
        QTimer guard;
        guard.setSingleShot(true);
        QObject::connect(&guard, &QTimer::timeout, [this] {
            timedOut = true;
            if (QWidget* modal = QApplication::activeModalWidget())
                modal->close();
        });
        guard.start(10000);
        QTimer::singleShot(0, [this] {
            seen = qobject_cast<AboutBox*>(QApplication::activeModalWidget());
            if (seen)
                whileOpen(*seen);
        });
        item->trigger();
    }
};

} // namespace

class TestAboutBoxHandlers : public QObject {
    Q_OBJECT

private slots:
    void opensLoadedAfreshOverTheMainWindowEachTime() {
        TestPlayer p;
        p.hostAs(QStringLiteral("玩家"));
        QPixmap red(32, 32);
        red.fill(Qt::red);
        p.window().setWindowIcon(QIcon(red));
        p.window().setWindowTitle(QStringLiteral("Kelvane 第二局"));

        struct Seen {
            QString caption, title, version;
            QRgb icon = 0, picture = 0;
            QPoint centre;
            QColor notice;
            QPointer<AboutBox> box;
        } first, second;
        Seen* seen = &first;
        p.dialogs.whileOpen = [&](QDialog& dialog) {
            auto* box = qobject_cast<AboutBox*>(&dialog);
            if (!box)
                return;
            seen->box = box;
            seen->caption = box->windowTitle();
            seen->title = box->lblTitle->text();
            seen->version = box->lblVersion->text();
            seen->icon = box->windowIcon().pixmap(32, 32).toImage().pixel(16, 16);
            seen->picture = box->picIcon->pixmap().toImage().pixel(16, 16);
            seen->centre = box->frameGeometry().center();
            seen->notice = NoticeColour(*box);
            MoveTo(*box, CentreOf(box->lblCopyright)); // leaves the line green
        };
        p.window().mnuAbout->trigger();
        QCOMPARE(p.dialogs.shown, 1);
        QVERIFY(first.box.isNull()); // destroyed when closed

        QCOMPARE(first.caption, QStringLiteral("关于"));
        QCOMPARE(first.title, QStringLiteral("Kelvane 第二局"));
        QCOMPARE(first.version, QStringLiteral("Version 2.0.0"));
        QCOMPARE(first.icon, qRgb(255, 0, 0));
        QCOMPARE(first.picture, qRgb(255, 0, 0));
        const QPoint mainCentre = p.window().frameGeometry().center();
        QVERIFY2((first.centre - mainCentre).manhattanLength() <= 2,
                 qPrintable(QStringLiteral("box centred at %1,%2, main window at %3,%4")
                                .arg(first.centre.x())
                                .arg(first.centre.y())
                                .arg(mainCentre.x())
                                .arg(mainCentre.y())));
        QVERIFY(first.notice != GreenText);

        // The next opening reads the caption of that moment and starts from the layout.
        p.window().setWindowTitle(QStringLiteral("Kelvane"));
        seen = &second;
        p.window().mnuAbout->trigger();
        QCOMPARE(p.dialogs.shown, 2);
        QCOMPARE(second.title, QStringLiteral("Kelvane"));
        QCOMPARE(second.notice, first.notice);
    }

    void theNoticeTurnsGreenOverItAndBlackOnlyOverTheBareBox() {
        TestPlayer p;
        p.hostAs(QStringLiteral("玩家"));
        QList<QColor> colours;
        QColor layoutColour;
        p.dialogs.whileOpen = [&](QDialog& dialog) {
            auto& box = static_cast<AboutBox&>(dialog);
            layoutColour = box.palette().color(QPalette::WindowText);
            colours << NoticeColour(box);
            // Over another control first: no change. (It also keeps the next move from being
            // dropped as a repeat of the previous test's last position.)
            MoveTo(box, CentreOf(box.lblDisclaimer));
            colours << NoticeColour(box);
            MoveTo(box, CentreOf(box.lblCopyright));
            colours << NoticeColour(box);
            // Straight onto other controls: still green.
            for (QWidget* control :
                 {static_cast<QWidget*>(box.lblTitle), static_cast<QWidget*>(box.cmdOK),
                  static_cast<QWidget*>(box.lblDescription), static_cast<QWidget*>(box.picIcon),
                  static_cast<QWidget*>(box.lblVersion)}) {
                MoveTo(box, CentreOf(control));
                colours << NoticeColour(box);
            }
            // Out of the box, over the main window behind it: still green.
            QTest::mouseMove(p.window().windowHandle(), QPoint(10, 10));
            colours << NoticeColour(box);
            MoveTo(box, QPoint(5, 5)); // the bare background
            colours << NoticeColour(box);
            MoveTo(box, CentreOf(box.lblCopyright) + QPoint(30, 0));
            colours << NoticeColour(box);
            MoveTo(box, QPoint(100, 162)); // the etched separator is drawn on the background
            colours << NoticeColour(box);
        };
        p.window().mnuAbout->trigger();
        const QList<QColor> expected = {layoutColour, layoutColour, GreenText, GreenText,
                                        GreenText,    GreenText,    GreenText, GreenText,
                                        GreenText,    BlackText,    GreenText, BlackText};
        QCOMPARE(colours, expected);
    }

    void aClickOnTheNoticeOpensTheProjectPage() {
        TestPlayer p;
        p.hostAs(QStringLiteral("玩家"));
        bool stillOpen = false;
        p.dialogs.whileOpen = [&](QDialog& dialog) {
            auto& box = static_cast<AboutBox&>(dialog);
            QWindow* window = box.windowHandle();
            const QPoint notice = CentreOf(box.lblCopyright);
            QTest::mouseClick(window, Qt::LeftButton, {}, notice);
            // Not a click on the notice: another button, another label, or a press dragged off.
            QTest::mouseClick(window, Qt::RightButton, {}, notice);
            QTest::mouseClick(window, Qt::LeftButton, {}, CentreOf(box.lblDescription));
            QTest::mousePress(window, Qt::LeftButton, {}, notice);
            QTest::mouseRelease(window, Qt::LeftButton, {}, QPoint(5, 5));

            p.launcher.fails = true;
            QTest::mouseClick(window, Qt::LeftButton, {}, notice);
            stillOpen = box.isVisible();
        };
        p.window().mnuAbout->trigger();

        QCOMPARE(p.launcher.addresses.size(), 2);
        const QUrl page(p.launcher.addresses.first());
        QCOMPARE(page.scheme(), QStringLiteral("https"));
        QVERIFY(page.host().endsWith(QStringLiteral("example.org")));
        QCOMPARE(p.boxes.texts, QStringList{QStringLiteral("无法打开网页。")});
        QCOMPARE(p.boxes.titles, QStringList{QStringLiteral("Kelvane")});
        QVERIFY(stillOpen);
        QCOMPARE(p.end.ends, 0);
    }

    void theRealModalBoxBlocksTheMainWindowAndHandlesThePeerMeanwhile() {
        RawHost host;
        PlayerWithRealModal side(host.server.serverPort());
        side.joinAs(QStringLiteral("玩家"));
        QTRY_VERIFY(host.accepted());
        QTRY_COMPARE(side.player.status(), QStringLiteral("连线中"));
        MainWindow& main = side.player.frmMain();
        QSignalSpy newGame(main.cmdNew, &QPushButton::clicked);
        QSignalSpy chat(main.cmdSend, &QPushButton::clicked);

        bool modal = false;
        QString caption;
        int clicksWhileOpen = -1;
        bool chatArrived = false;
        ModalDriver driver;
        driver.whileOpen = [&](AboutBox& box) {
            modal = box.isModal() && QApplication::activeModalWidget() == &box;
            caption = box.windowTitle();
            QTest::mouseClick(main.windowHandle(), Qt::LeftButton, {},
                              main.cmdNew->mapTo(&main, main.cmdNew->rect().center()));
            QTest::keyClick(main.windowHandle(), Qt::Key_Return);
            clicksWhileOpen = newGame.count() + chat.count();
            // The peer talks; the box's own event loop must take it in before Esc closes it.
            host.send(QByteArray("5") + "hi");
            auto* poll = new QTimer(&box);
            QObject::connect(poll, &QTimer::timeout, &box, [&, poll] {
                if (main.labHeSay->caption() != QStringLiteral("hi"))
                    return;
                chatArrived = true;
                poll->stop();
                QTest::keyClick(box.windowHandle(), Qt::Key_Escape);
            });
            poll->start(5);
        };
        driver.openFrom(main.mnuAbout);

        QVERIFY(!driver.timedOut);
        QVERIFY(driver.seen.isNull()); // closed and destroyed
        QVERIFY(modal);
        QCOMPARE(caption, QStringLiteral("关于"));
        QCOMPARE(clicksWhileOpen, 0);
        QVERIFY(chatArrived);

        // Enter closes it too; afterwards the main window takes clicks again.
        driver.whileOpen = [](AboutBox& box) {
            QTest::keyClick(box.windowHandle(), Qt::Key_Return);
        };
        driver.openFrom(main.mnuAbout);
        QVERIFY(!driver.timedOut);
        QVERIFY(driver.seen.isNull());
        QTest::mouseClick(main.windowHandle(), Qt::LeftButton, {},
                          main.cmdNew->mapTo(&main, main.cmdNew->rect().center()));
        QCOMPARE(newGame.count(), 1);
    }

    void thePeersMovesAndChatTakeEffectWhileTheBoxAndItsMessageAreOpen() {
        RawHost host;
        TestPlayer p(host.server.serverPort());
        p.joinAs(QStringLiteral("玩家"));
        QTRY_VERIFY(host.accepted());
        QTRY_COMPARE(p->status(), QStringLiteral("连线中"));

        bool moveWhileBoxOpen = false;
        bool chatWhileMessageOpen = false;
        p.boxes.whileOpen = [&](const QString&) {
            host.send(QByteArray("5") + "ok");
            chatWhileMessageOpen = QTest::qWaitFor(
                [&] { return p.window().labHeSay->caption() == QStringLiteral("ok"); });
        };
        p.dialogs.whileOpen = [&](QDialog& dialog) {
            host.send(QByteArray("1\x08\x08", 3));
            moveWhileBoxOpen = QTest::qWaitFor([&] { return p.cell(8, 8) == int(Black); });
            // No registry answers here: the system-information message comes up.
            QTest::mouseClick(static_cast<AboutBox&>(dialog).cmdSysInfo, Qt::LeftButton);
        };
        p.window().mnuAbout->trigger();
        QVERIFY(moveWhileBoxOpen);
        QVERIFY(chatWhileMessageOpen);
        QVERIFY(p->boardTakesClicks()); // the peer's move gave this side the turn
        QCOMPARE(p.sound.plays, 1);
    }
};

QTEST_MAIN(TestAboutBoxHandlers)
#include "test_about_box_handlers.moc"
