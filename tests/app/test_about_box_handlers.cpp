// The About box as the Help menu opens it: what it shows, the notice line under the mouse and
// its click, and the peer's messages taken in while the real modal box is open.
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

const QColor GreenText(0, 255, 0), BlackText(0, 0, 0);

QColor NoticeColour(const AboutBox& box) {
    return box.lblCopyright->palette().color(QPalette::WindowText);
}

QPoint CentreOf(const QWidget* control) {
    return control->geometry().center();
}

// Opens the About box from the Help menu and acts on it while it is up.
void WhileAboutIsOpen(TestPlayer& p, const std::function<void(AboutBox&)>& act) {
    p.dialogs.whileOpen = [&](QDialog& dialog) { act(static_cast<AboutBox&>(dialog)); };
    p.window().mnuAbout->trigger();
}

} // namespace

class TestAboutBoxHandlers : public QObject {
    Q_OBJECT

private slots:
    void eachOpeningIsLoadedAfreshFromTheMainWindow() {
        TestPlayer p;
        p.hostAs(QStringLiteral("玩家"));
        for (const QString& caption :
             {QStringLiteral("Kelvane 第二局"), QStringLiteral("Kelvane")}) {
            p.window().setWindowTitle(caption);
            QPointer<AboutBox> opened;
            WhileAboutIsOpen(p, [&](AboutBox& box) {
                opened = &box;
                QCOMPARE(box.windowTitle(), QStringLiteral("关于"));
                QCOMPARE(box.lblTitle->text(), caption);
                QCOMPARE(box.lblVersion->text(), QStringLiteral("Version 2.0.0"));
                QCOMPARE(NoticeColour(box), box.palette().color(QPalette::WindowText));
            });
            QVERIFY(opened.isNull()); // destroyed when closed: the next opening starts anew
        }
        QCOMPARE(p.dialogs.shown, 2);
    }

    void theNoticeIsGreenUnderTheMouseAndBlackOnlyOverTheBareBox() {
        TestPlayer p;
        p.hostAs(QStringLiteral("玩家"));
        WhileAboutIsOpen(p, [&](AboutBox& box) {
            const QPoint notice = CentreOf(box.lblCopyright);
            const std::pair<QPoint, QColor> moves[] = {
                {CentreOf(box.lblDisclaimer), NoticeColour(box)}, // no change yet
                {notice, GreenText},
                {CentreOf(box.lblTitle), GreenText}, // straight onto other controls
                {CentreOf(box.cmdOK), GreenText},
                {CentreOf(box.picIcon), GreenText},
                {QPoint(5, 5), BlackText}, // the bare background
                {notice + QPoint(30, 0), GreenText},
            };
            for (const auto& [at, colour] : moves) {
                QTest::mouseMove(box.windowHandle(), at);
                QCOMPARE(NoticeColour(box), colour);
            }
            // Out of the box, over the main window behind it: still green.
            QTest::mouseMove(p.window().windowHandle(), QPoint(10, 10));
            QCOMPARE(NoticeColour(box), GreenText);
            // The etched line is painted on the background.
            QTest::mouseMove(box.windowHandle(), QPoint(100, 162));
            QCOMPARE(NoticeColour(box), BlackText);
        });
    }

    void aClickOnTheNoticeOpensTheWebPageOrSaysItCannot() {
        TestPlayer p;
        p.hostAs(QStringLiteral("玩家"));
        WhileAboutIsOpen(p, [&](AboutBox& box) {
            QWindow* window = box.windowHandle();
            const QPoint notice = CentreOf(box.lblCopyright);
            QTest::mouseClick(window, Qt::LeftButton, {}, notice);
            // No clicks on the notice: another button, a press dragged off it.
            QTest::mouseClick(window, Qt::RightButton, {}, notice);
            QTest::mousePress(window, Qt::LeftButton, {}, notice);
            QTest::mouseRelease(window, Qt::LeftButton, {}, QPoint(5, 5));
            QCOMPARE(p.launcher.addresses.size(), 1);
            QCOMPARE(QUrl(p.launcher.addresses[0]).scheme(), QStringLiteral("https"));

            p.launcher.fails = true;
            QTest::mouseClick(window, Qt::LeftButton, {}, notice);
            QVERIFY(box.isVisible());
        });
        QCOMPARE(p.boxes.texts, QStringList{QStringLiteral("无法打开网页。")});
        QCOMPARE(p.boxes.titles, QStringList{QStringLiteral("Kelvane")});
        QCOMPARE(p.end.ends, 0);
    }

    void theRealModalBoxTakesInThePeersMoveAndChatButNoInputForTheMainWindow() {
        QTcpServer host;
        QVERIFY(host.listen(QHostAddress::LocalHost, 0));
        TestPlayer p(host.serverPort());
        QtModalDialogs realModal;
        p.dialogs.real = &realModal;
        p.joinAs(QStringLiteral("玩家"));
        QTRY_VERIFY(host.hasPendingConnections());
        QTcpSocket* peer = host.nextPendingConnection();
        QTRY_COMPARE(p->status(), QStringLiteral("连线中"));
        MainWindow& main = p.window();
        QSignalSpy newGame(main.cmdNew, &QPushButton::clicked);

        // Acts from the modal box's own event loop, one step a tick; closes a box left open.
        int step = 0;
        QTimer tick, guard;
        connect(&tick, &QTimer::timeout, [&] {
            auto* box = qobject_cast<AboutBox*>(QApplication::activeModalWidget());
            if (box && step == 0) {
                const QPoint onNew = main.cmdNew->mapTo(&main, main.cmdNew->rect().center());
                QTest::mouseClick(main.windowHandle(), Qt::LeftButton, {}, onNew);
                peer->write(QByteArray("1\x08\x08", 3));
                step = 1;
            } else if (box && step == 1 && p.cell(8, 8) == int(Black)) {
                peer->write("5hi");
                step = 2;
            } else if (box && step == 2 && main.labHeSay->caption() == QStringLiteral("hi")) {
                step = 3;
                QTest::keyClick(box->windowHandle(), Qt::Key_Escape);
            }
        });
        connect(&guard, &QTimer::timeout, [] {
            for (QWidget* window : QApplication::topLevelWidgets()) {
                if (qobject_cast<AboutBox*>(window))
                    window->close();
            }
        });
        tick.start(5);
        guard.start(10000);
        main.mnuAbout->trigger();

        QCOMPARE(step, 3);
        QCOMPARE(newGame.count(), 0);
        QCOMPARE(p.sound.plays, 1);
        QVERIFY(p->boardTakesClicks()); // the peer's move gave this side the turn
    }
};

QTEST_MAIN(TestAboutBoxHandlers)
#include "test_about_box_handlers.moc"
