#include "ui/LogonDialog.h"

#include <QSignalSpy>
#include <QtTest>

using kelvane::LogonDialog;

namespace {

void Press(QWidget* focus, Qt::Key key) {
    focus->setFocus();
    QTest::keyClick(focus, key, key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
}

} // namespace

class TestLogonDialog : public QObject {
    Q_OBJECT

private slots:
    void startsAsLaidOut() {
        LogonDialog d;
        QCOMPARE(d.size(), QSize(290, 126));
        QCOMPARE((QStringList{d.labName->text(), d.frmMode->title(), d.optServer->text(),
                              d.optClient->text(), d.labIP->text(), d.cmdOK->text(),
                              d.cmdEnd->text(), d.txtIP->text()}),
                 (QStringList{"你的名字ID", "游戏玩法", "作为主机", "加入连线", "你的主机IP",
                              "确定", "结束", ""}));
        // The labels fit their longest caption without running into their boxes.
        QVERIFY(d.labIP->width() >= d.labIP->fontMetrics().horizontalAdvance("连线主机IP"));
        QVERIFY(d.labIP->geometry().right() < d.txtIP->x());
        QVERIFY(d.optServer->isChecked() && !d.optClient->isChecked());
        // A person-style name of three Chinese characters.
        QCOMPARE(d.txtName->text(), LogonDialog::DefaultName);
        QCOMPARE(d.txtName->text().size(), 3);
        for (QChar c : d.txtName->text())
            QCOMPARE(c.script(), QChar::Script_Han);
    }

    // Only the two buttons lead out: no close button, no system menu, close() refused.
    void cannotBeClosedFromTheTitleBar() {
        LogonDialog d;
        QVERIFY(d.windowFlags().testFlag(Qt::CustomizeWindowHint));
        QVERIFY(!(d.windowFlags() & (Qt::WindowCloseButtonHint | Qt::WindowSystemMenuHint)));
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        QSignalSpy closing(&d, &LogonDialog::closeRequested);
        QVERIFY(!d.close());
        QCOMPARE(closing.count(), 1);
        QVERIFY(d.isVisible());
    }

    // Focus starts in the name box and Tab follows the layout. Enter presses OK unless End
    // has the focus; Esc does nothing at all.
    void keyboardFollowsTheLayout() {
        LogonDialog d;
        d.show();
        d.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&d));
        QCOMPARE(QApplication::focusWidget(), d.txtName);
        for (QWidget* next :
             std::initializer_list<QWidget*>{d.optServer, d.txtIP, d.cmdOK, d.cmdEnd, d.txtName}) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), next);
        }
        QStringList pressed;
        for (QPushButton* button : {d.cmdOK, d.cmdEnd})
            connect(button, &QPushButton::clicked,
                    [&pressed, button] { pressed << button->text(); });
        connect(&d, &LogonDialog::closeRequested, [&pressed] { pressed << "close"; });
        Press(d.txtName, Qt::Key_Return);
        Press(d.txtIP, Qt::Key_Enter);
        Press(d.optClient, Qt::Key_Return);
        Press(d.cmdOK, Qt::Key_Return);
        Press(d.cmdEnd, Qt::Key_Return);
        Press(d.txtName, Qt::Key_Escape);
        QTest::keyClick(&d, Qt::Key_Escape);
        QCOMPARE(pressed, QStringList({"确定", "确定", "确定", "确定", "结束"}));
        QVERIFY(d.isVisible());
    }
};

QTEST_MAIN(TestLogonDialog)
#include "test_logon_dialog.moc"
