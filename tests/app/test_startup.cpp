// What the player sees right after start: the disabled main window behind the logon dialog;
// and whether there is a display to start on at all.
#include "support/TestPlayer.h"

#include "app/DisplayCheck.h"

#include <QApplication>
#include <QtTest>

using namespace kelvane;
using namespace kelvane::testing;

class Startup : public QObject {
    Q_OBJECT

private slots:
    // Activating the disabled main window hands the keyboard straight back to the dialog.
    void theLogonDialogIsInFrontOfTheDisabledMainWindowAndKeepsTheKeyboard() {
        TestPlayer player;
        QVERIFY(player.window().isVisible() && !player.window().isEnabled());
        // The dialog's own first activation must be over, or a late one would pass for the
        // hand-back.
        QVERIFY(QTest::qWaitFor([&] { return QApplication::activeWindow() == player.logon(); }));
        QSignalSpy focus(qApp, &QGuiApplication::focusWindowChanged);
        player.window().activateWindow();
        QVERIFY(QTest::qWaitFor([&] { return focus.count() == 2; })); // there, then straight back
        QCOMPARE(focus[0][0].value<QWindow*>(), player.window().windowHandle());
        QCOMPARE(QApplication::activeWindow(), player.logon());
    }

    // The logon dialog is transient for the main window and centred on it; the wayland
    // session runs this under a compositor, which places windows itself.
    void theLogonDialogBelongsToTheMainWindow() {
        TestPlayer player;
        QVERIFY(QTest::qWaitForWindowExposed(&player.window()));
        QVERIFY(QTest::qWaitForWindowExposed(player.logon()));
        QCOMPARE(player.logon()->windowHandle()->transientParent(), player.window().windowHandle());
        if (QGuiApplication::platformName() == QLatin1String("wayland"))
            return;
        player.window().move(player.window().pos() + QPoint(-40, 30));
        player->logon().open();
        QCOMPARE(player.logon()->frameGeometry().center(),
                 player.window().frameGeometry().center());
    }

    // By its End button or by the window manager, the dialog ends the program at once.
    void endingFromTheDialogEndsAtOnce() {
        for (bool byButton : {true, false}) {
            TestPlayer player;
            if (byButton)
                QTest::mouseClick(player.in(player.logon(), "cmdEnd"), Qt::LeftButton);
            else
                player.logon()->close();
            QCOMPARE(player.end.ends, 1);
            QVERIFY(!player.window().isVisible() && !player.logon()->isVisible());
        }
    }

    void aMissingDisplayIsExplainedOnOneLineAndOthersAreLeftToQt() {
        // The three variables, and whether the display is missing.
        const std::tuple<const char*, const char*, const char*, bool> cases[] = {
            {"", "", "", true},           {":987", "", "", true},
            {"unix:987.0", "", "", true}, {"remote.example:0", "", "", false},
            {"", "wayland-0", "", false}, {"", "", "offscreen", false},
        };
        for (const auto& [display, wayland, platform, missing] : cases) {
            const EnvOverride x("DISPLAY", display), w("WAYLAND_DISPLAY", wayland),
                q("QT_QPA_PLATFORM", platform);
            const auto reason = MissingDisplayReason();
            QCOMPARE(reason.has_value(), missing);
            QVERIFY(!reason || (reason->rfind("kelvane: ", 0) == 0 &&
                                reason->find('\n') == std::string::npos));
        }
    }
};

QTEST_MAIN(Startup)
#include "test_startup.moc"
