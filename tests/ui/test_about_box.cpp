#include "ui/AboutBox.h"

#include <QSignalSpy>
#include <QtTest>

using kelvane::AboutBox;

namespace {

void ShowActive(QWidget& window) {
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
}

} // namespace

class TestAboutBox : public QObject {
    Q_OBJECT

private slots:
    void textsAsLaidOut() {
        AboutBox box;
        QCOMPARE(box.cmdOK->text(), QString("OK"));
        QCOMPARE(box.cmdSysInfo->text(), QString("&System Info..."));
        QCOMPARE(box.lblDescription->text(),
                 QString("五子棋，亦称\"五子连珠\"等，起源于尧帝时期。日文称\"五石\"等，英文称"
                         "\"Gobang\"等。"));
        QCOMPARE(box.lblDisclaimer->text().size(), 50);
        QVERIFY(!box.picIcon->pixmap().isNull());
        // A close button, but neither minimise nor maximise.
        const Qt::WindowFlags buttons =
            box.windowFlags() & (Qt::WindowCloseButtonHint | Qt::WindowMinimizeButtonHint |
                                 Qt::WindowMaximizeButtonHint);
        QCOMPARE(buttons, Qt::WindowCloseButtonHint);
    }

    // OK is the default and the cancel button; Enter on System Info presses that one.
    void enterAndEscapePressOkUnlessSystemInfoHasTheFocus() {
        AboutBox box;
        ShowActive(box);
        QCOMPARE(QApplication::focusWidget(), box.cmdOK);
        QSignalSpy ok(box.cmdOK, &QPushButton::clicked);
        QSignalSpy sysInfo(box.cmdSysInfo, &QPushButton::clicked);
        QTest::keyClick(box.cmdOK, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), box.cmdSysInfo);
        QTest::keyClick(box.cmdSysInfo, Qt::Key_Return);
        QCOMPARE(sysInfo.count(), 1);
        QCOMPARE(ok.count(), 0);
        QVERIFY(box.isVisible());

        QTest::keyClick(box.cmdSysInfo, Qt::Key_Escape);
        QCOMPARE(ok.count(), 1);
        QVERIFY(!box.isVisible());
        QCOMPARE(box.result(), int(QDialog::Accepted));

        ShowActive(box);
        box.cmdOK->setFocus();
        QTest::keyClick(box.cmdOK, Qt::Key_Return);
        QCOMPARE(ok.count(), 2);
        QVERIFY(!box.isVisible());
    }
};

QTEST_MAIN(TestAboutBox)
#include "test_about_box.moc"
