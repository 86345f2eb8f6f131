#include "ui/LogonDialog.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QtTest>

using kelvane::LogonDialog;

namespace {

QList<QWidget*> TabChain(QWidget* first) {
    QList<QWidget*> chain{first};
    for (QWidget* w = first->nextInFocusChain(); w != first; w = w->nextInFocusChain())
        if (w->focusPolicy() & Qt::TabFocus)
            chain.append(w);
    return chain;
}

void ShowActive(QWidget& window) {
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
}

} // namespace

class TestLogonDialog : public QObject {
    Q_OBJECT

private slots:
    void controlsSitWhereTheLayoutPutsThem() {
        LogonDialog d;
        QCOMPARE(d.size(), QSize(290, 126));
        QCOMPARE(d.minimumSize(), d.maximumSize());
        QCOMPARE(d.txtName->geometry(), QRect(96, 8, 105, 18));
        QCOMPARE(d.frmMode->geometry(), QRect(16, 64, 184, 52));
        QCOMPARE(d.optServer->parentWidget(), d.frmMode);
        QCOMPARE(d.optServer->geometry(), QRect(11, 24, 81, 17));
        QCOMPARE(d.optClient->geometry(), QRect(97, 24, 81, 17));
        QCOMPARE(d.txtIP->geometry(), QRect(96, 35, 105, 21));
        QCOMPARE(d.cmdOK->geometry(), QRect(208, 28, 73, 25));
        QCOMPARE(d.cmdEnd->geometry(), QRect(208, 76, 73, 25));
        // The labels keep their corner and fit their caption.
        QCOMPARE(d.labName->pos(), QPoint(8, 8));
        QCOMPARE(d.labIP->pos(), QPoint(9, 37));
        QVERIFY(d.labName->width() >= d.labName->fontMetrics().horizontalAdvance("你的名字ID"));
        QVERIFY(d.labIP->width() >= d.labIP->fontMetrics().horizontalAdvance("连线主机IP"));
        QVERIFY(d.labName->geometry().right() < d.txtName->x());
        QVERIFY(d.labIP->geometry().right() < d.txtIP->x());
    }

    void captionsAndStartingState() {
        LogonDialog d;
        QCOMPARE(d.labName->text(), QString("你的名字ID"));
        QCOMPARE(d.frmMode->title(), QString("游戏玩法"));
        QCOMPARE(d.optServer->text(), QString("作为主机"));
        QCOMPARE(d.optClient->text(), QString("加入连线"));
        QCOMPARE(d.labIP->text(), QString("你的主机IP"));
        QCOMPARE(d.cmdOK->text(), QString("确定"));
        QCOMPARE(d.cmdEnd->text(), QString("结束"));
        QVERIFY(d.txtIP->text().isEmpty());
        QVERIFY(d.windowTitle().isEmpty());
        QVERIFY(d.optServer->isChecked());
        QVERIFY(!d.optClient->isChecked());

        const QString name = d.txtName->text();
        QCOMPARE(name, LogonDialog::DefaultName);
        QCOMPARE(name.size(), 3);
        for (QChar c : name)
            QCOMPARE(c.script(), QChar::Script_Han);
    }

    void optionButtonsExcludeEachOther() {
        LogonDialog d;
        QTest::mouseClick(d.optClient, Qt::LeftButton);
        QVERIFY(d.optClient->isChecked());
        QVERIFY(!d.optServer->isChecked());
    }

    void everyControlUsesSongTi() {
        LogonDialog d;
        for (QWidget* control : d.findChildren<QWidget*>()) {
            QCOMPARE(control->font().pixelSize(), 14);
            QVERIFY(control->font().families().contains("SimSun"));
        }
    }

    void noCloseButtonNoSystemMenuNoIcon() {
        LogonDialog d;
        const Qt::WindowFlags flags = d.windowFlags();
        QCOMPARE(flags & Qt::WindowType_Mask, Qt::Dialog);
        QVERIFY(flags.testFlag(Qt::CustomizeWindowHint));
        QVERIFY(flags.testFlag(Qt::WindowTitleHint));
        QVERIFY(!flags.testFlag(Qt::WindowCloseButtonHint));
        QVERIFY(!flags.testFlag(Qt::WindowSystemMenuHint));
        QVERIFY(!flags.testFlag(Qt::WindowMinimizeButtonHint));
        QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
    }

    void closingIsRefusedAndReported() {
        LogonDialog d;
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        QSignalSpy closing(&d, &LogonDialog::closeRequested);
        QVERIFY(!d.close());
        QCOMPARE(closing.count(), 1);
        QVERIFY(d.isVisible());
    }

    void tabOrderFollowsTheLayout() {
        LogonDialog d;
        QCOMPARE(TabChain(d.txtName), (QList<QWidget*>{d.txtName, d.optServer, d.optClient, d.txtIP,
                                                       d.cmdOK, d.cmdEnd}));
        QCOMPARE(d.labName->focusPolicy(), Qt::NoFocus);
        QCOMPARE(d.labIP->focusPolicy(), Qt::NoFocus);
    }

    void focusStartsInTheNameBox() {
        LogonDialog d;
        ShowActive(d);
        QCOMPARE(QApplication::focusWidget(), d.txtName);
    }

    void dialogIsCentredOnTheScreen() {
        LogonDialog d;
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        const QPoint offset = d.frameGeometry().center() - d.screen()->availableGeometry().center();
        QVERIFY(offset.manhattanLength() <= 2);
    }

    void enterPressesOkUnlessEndHasTheFocus() {
        LogonDialog d;
        ShowActive(d);
        QSignalSpy ok(d.cmdOK, &QPushButton::clicked);
        QSignalSpy end(d.cmdEnd, &QPushButton::clicked);

        QTest::keyClick(d.txtName, Qt::Key_Return);
        QCOMPARE(ok.count(), 1);
        d.txtIP->setFocus();
        QTest::keyClick(d.txtIP, Qt::Key_Enter, Qt::KeypadModifier);
        QCOMPARE(ok.count(), 2);
        d.optClient->setFocus();
        QTest::keyClick(d.optClient, Qt::Key_Return);
        QCOMPARE(ok.count(), 3);
        d.cmdOK->setFocus();
        QTest::keyClick(d.cmdOK, Qt::Key_Return);
        QCOMPARE(ok.count(), 4);
        QCOMPARE(end.count(), 0);

        d.cmdEnd->setFocus();
        QTest::keyClick(d.cmdEnd, Qt::Key_Return);
        QCOMPARE(end.count(), 1);
        QCOMPARE(ok.count(), 4);
    }

    void escapeDoesNothing() {
        LogonDialog d;
        ShowActive(d);
        QSignalSpy ok(d.cmdOK, &QPushButton::clicked);
        QSignalSpy end(d.cmdEnd, &QPushButton::clicked);
        QSignalSpy closing(&d, &LogonDialog::closeRequested);
        QTest::keyClick(d.txtName, Qt::Key_Escape);
        QTest::keyClick(&d, Qt::Key_Escape);
        QCOMPARE(ok.count() + end.count() + closing.count(), 0);
        QVERIFY(d.isVisible());
        QCOMPARE(d.txtName->text(), LogonDialog::DefaultName);
    }
};

QTEST_MAIN(TestLogonDialog)
#include "test_logon_dialog.moc"
