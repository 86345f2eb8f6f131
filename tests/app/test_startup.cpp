// What the player sees right after start: the disabled main window behind the logon dialog.
#include "support/TestPlayer.h"

#include "ui/CaptionLabel.h"

#include <QApplication>
#include <QtTest>

using namespace kelvane;
using namespace kelvane::testing;

class Startup : public QObject {
    Q_OBJECT

private slots:
    void theLogonDialogIsInFrontOfTheDisabledMainWindow() {
        TestPlayer player;
        QVERIFY(player.window().isVisible());
        QVERIFY(!player.window().isEnabled());
        QVERIFY(player->frmLogon()->isVisible());
        QCOMPARE(player.window().windowTitle(), QStringLiteral("Kelvane"));
        QCOMPARE(player->frmLogon()->windowTitle(), QStringLiteral("Kelvane"));
        QCOMPARE(player->status(), QString());
        QTRY_COMPARE(QApplication::activeWindow(), player->frmLogon());
    }

    void activatingTheDisabledMainWindowHandsTheKeyboardBack() {
        TestPlayer player;
        QApplication::setActiveWindow(&player.window());
        QTRY_COMPARE(QApplication::activeWindow(), player->frmLogon());
    }

    void endingFromTheDialogEndsAtOnceAndSendsNothing() {
        TestPlayer player;
        QTest::mouseClick(player->frmLogon()->cmdEnd, Qt::LeftButton);
        QCOMPARE(player.end.ends, 1);
        QVERIFY(!player.window().isVisible());
    }

    void aWindowManagerClosingTheDialogEndsLikeEnd() {
        TestPlayer player;
        player->frmLogon()->close();
        QCOMPARE(player.end.ends, 1);
    }
};

QTEST_MAIN(Startup)
#include "test_startup.moc"
