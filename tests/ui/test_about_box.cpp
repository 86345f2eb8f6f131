#include "ui/AboutBox.h"

#include <QLabel>
#include <QPushButton>
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
    void controlsSitWhereTheLayoutPutsThem() {
        AboutBox box;
        QCOMPARE(box.size(), QSize(391, 235));
        QCOMPARE(box.minimumSize(), box.maximumSize());
        QCOMPARE(box.picIcon->geometry(), QRect(16, 16, 32, 32));
        QCOMPARE(box.cmdOK->geometry(), QRect(283, 175, 98, 23));
        QCOMPARE(box.cmdSysInfo->geometry(), QRect(284, 205, 97, 23));
        QCOMPARE(box.lblTitle->geometry(), QRect(80, 16, 273, 32));
        QCOMPARE(box.lblVersion->geometry(), QRect(80, 52, 273, 15));
        QCOMPARE(box.lblDescription->geometry(), QRect(80, 75, 273, 38));
        QCOMPARE(box.lblCopyright->geometry(), QRect(80, 128, 273, 13));
        QCOMPARE(box.lblDisclaimer->geometry(), QRect(17, 175, 258, 47));
    }

    void captionsAsLaidOut() {
        AboutBox box;
        QCOMPARE(box.windowTitle(), QString("Kelvane - 关于"));
        QCOMPARE(box.cmdOK->text(), QString("OK"));
        QCOMPARE(box.cmdSysInfo->text(), QString("&System Info..."));
        QCOMPARE(box.lblTitle->text(), QString("Application Title"));
        QCOMPARE(box.lblVersion->text(), QString("Version"));
        QCOMPARE(box.lblDescription->text(),
                 QString("五子棋，亦称\"五子连珠\"等，起源于尧帝时期。日文称\"五石\"等，英文称"
                         "\"Gobang\"等。"));
        QVERIFY(box.lblCopyright->text().contains("Kelvane"));
        const QString warning = box.lblDisclaimer->text();
        QCOMPARE(warning.size(), 50);
        QVERIFY(warning.contains("复制"));
        QVERIFY(!box.windowIcon().isNull());
        QVERIFY(!box.picIcon->pixmap().isNull());
    }

    void titleAndTextColours() {
        AboutBox box;
        QCOMPARE(box.lblTitle->font().pixelSize(), 16);
        QVERIFY(box.lblTitle->font().bold());
        QCOMPARE(box.lblTitle->palette().color(QPalette::WindowText), QColor(64, 0, 0));
        QCOMPARE(box.lblDescription->palette().color(QPalette::WindowText), QColor(Qt::black));
        QCOMPARE(box.lblDisclaimer->palette().color(QPalette::WindowText), QColor(Qt::black));
        QCOMPARE(box.picIcon->palette().color(QPalette::Window), QColor(192, 192, 192));
        QVERIFY(box.lblDescription->wordWrap());
    }

    void closeButtonButNoMinimiseOrMaximise() {
        AboutBox box;
        const Qt::WindowFlags flags = box.windowFlags();
        QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
        QVERIFY(flags.testFlag(Qt::WindowSystemMenuHint));
        QVERIFY(!flags.testFlag(Qt::WindowMinimizeButtonHint));
        QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
    }

    void etchedSeparator() {
        AboutBox box;
        const QImage shot = box.grab().toImage().convertToFormat(QImage::Format_RGB32);
        const QRgb face = box.palette().color(QPalette::Window).rgb();
        for (int x : {15, 100, 377}) {
            QCOMPARE(shot.pixel(x, 162), qRgb(128, 128, 128));
            QCOMPARE(shot.pixel(x, 161), face);
        }
        for (int x : {16, 200, 377}) {
            QCOMPARE(shot.pixel(x, 163), qRgb(255, 255, 255));
            QCOMPARE(shot.pixel(x, 164), qRgb(255, 255, 255));
            QCOMPARE(shot.pixel(x, 165), face);
        }
        QCOMPARE(shot.pixel(14, 162), face);
        QCOMPARE(shot.pixel(378, 162), face);
    }

    void enterAndEscapePressOk() {
        AboutBox box;
        ShowActive(box);
        QCOMPARE(QApplication::focusWidget(), box.cmdOK);
        QSignalSpy ok(box.cmdOK, &QPushButton::clicked);
        QTest::keyClick(box.cmdOK, Qt::Key_Escape);
        QCOMPARE(ok.count(), 1);
        QVERIFY(!box.isVisible());
        QCOMPARE(box.result(), int(QDialog::Accepted));

        ShowActive(box);
        box.cmdOK->setFocus();
        QTest::keyClick(box.cmdOK, Qt::Key_Return);
        QCOMPARE(ok.count(), 2);
        QVERIFY(!box.isVisible());
    }

    void enterOnSystemInfoPressesIt() {
        AboutBox box;
        ShowActive(box);
        QSignalSpy ok(box.cmdOK, &QPushButton::clicked);
        QSignalSpy sysInfo(box.cmdSysInfo, &QPushButton::clicked);
        QTest::keyClick(box.cmdOK, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), box.cmdSysInfo);
        QTest::keyClick(box.cmdSysInfo, Qt::Key_Return);
        QCOMPARE(sysInfo.count(), 1);
        QCOMPARE(ok.count(), 0);
        QVERIFY(box.isVisible());
    }
};

QTEST_MAIN(TestAboutBox)
#include "test_about_box.moc"
