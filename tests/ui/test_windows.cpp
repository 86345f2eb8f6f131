// What the main window, the logon dialog and the About box show, and which button Enter and
// Esc press. Where each control lands on screen is sampled by the black-box checks.

#include "ui/AboutBox.h"
#include "ui/LogonDialog.h"
#include "ui/MainWindow.h"

#include <QMenuBar>
#include <QtTest>

using namespace kelvane;

namespace {

void ShowActive(QWidget& window) {
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
}

void Press(QWidget* focus, Qt::Key key) {
    focus->setFocus();
    QTest::keyClick(focus, key, key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
}

// Records the texts of the buttons clicked, in order.
void RecordClicks(QStringList& pressed, std::initializer_list<QPushButton*> buttons) {
    for (QPushButton* button : buttons)
        QObject::connect(button, &QPushButton::clicked,
                         [&pressed, button] { pressed << button->text(); });
}

} // namespace

class TestWindows : public QObject {
    Q_OBJECT

private slots:
    // Every button has a menu twin with its text; the separators sit where the layout has them.
    void buttonsAndTheirMenuTwins() {
        MainWindow w;
        QStringList buttons;
        for (QPushButton* button : {w.cmdSend, w.cmdNew, w.cmdLink, w.cmdExit})
            buttons << button->text() + "|" + button->toolTip();
        QCOMPARE(buttons,
                 QStringList({"对话|发送消息", "新局|忽略本局", "重连|重新连接", "退出|退出游戏"}));
        QList<QAction*> shown;
        QStringList texts;
        for (QAction* menu : w.menuBar()->actions())
            shown << menu << menu->menu()->actions();
        for (QAction* action : shown)
            texts << action->text();
        QCOMPARE(texts, QStringList({"文件", "新局", "", "退出", "操作", "重连", "", "对话", "帮助",
                                     "主题", "关于"}));
        QCOMPARE(shown,
                 (QList<QAction*>{w.mnuFileBar->menuAction(), w.mnuNew, w.mnuFile, w.mnuExit,
                                  w.mnuOperateBar->menuAction(), w.mnuLink, w.mnuOperate, w.mnuTalk,
                                  w.mnuHelp->menuAction(), w.mnuContent, w.mnuAbout}));
        QVERIFY(w.mnuFile->isSeparator() && w.mnuOperate->isSeparator());
    }

    // The game's outer size leaves a fixed window that shows every control whole.
    void aFixedWindowShowsEveryControlWhole() {
        MainWindow w;
        w.setOuterSize(8640, 6135);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QCOMPARE(w.width(), 568);
        QCOMPARE(w.minimumSize(), w.maximumSize());
        QWidget* client = w.centralWidget();
        for (QWidget* control : client->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            QVERIFY(client->rect().contains(control->geometry()));
    }

    // The board takes the first focus, or the chat box while the board is off. Enter
    // presses cmdSend unless another button has the focus.
    void enterPressesSendUnlessAnotherButtonHasTheFocus() {
        MainWindow boardOff;
        boardOff.picBoard->setEnabled(false);
        ShowActive(boardOff);
        QCOMPARE(QApplication::focusWidget(), boardOff.txtMsg);
        MainWindow w;
        ShowActive(w);
        QCOMPARE(QApplication::focusWidget(), w.picBoard);
        QStringList pressed;
        RecordClicks(pressed, {w.cmdSend, w.cmdNew, w.cmdLink, w.cmdExit});
        QTest::keyClicks(w.txtMsg, "hello");
        Press(w.txtMsg, Qt::Key_Return);
        Press(w.txtMsg, Qt::Key_Enter);
        Press(w.picBoard, Qt::Key_Return);
        Press(w.cmdNew, Qt::Key_Return);
        Press(w.cmdExit, Qt::Key_Enter);
        w.cmdSend->setEnabled(false);
        Press(w.txtMsg, Qt::Key_Return);
        QCOMPARE(pressed, QStringList({"对话", "对话", "对话", "新局", "退出"}));
        QCOMPARE(w.txtMsg->text(), QString("hello"));
    }

    void logonStartsHostingUnderAChineseName() {
        LogonDialog d;
        QCOMPARE((QStringList{d.labName->text(), d.frmMode->title(), d.optServer->text(),
                              d.optClient->text(), d.labIP->text(), d.cmdOK->text(),
                              d.cmdEnd->text(), d.txtIP->text()}),
                 (QStringList{"你的名字ID", "游戏玩法", "作为主机", "加入连线", "你的主机IP",
                              "确定", "结束", ""}));
        // The address label also reads "连线主机IP" when joining: it must fit that too.
        QVERIFY(d.labIP->width() >= d.labIP->fontMetrics().horizontalAdvance("连线主机IP"));
        QVERIFY(d.optServer->isChecked() && !d.optClient->isChecked());
        QCOMPARE(d.txtName->text().size(), 3);
        for (QChar c : d.txtName->text())
            QCOMPARE(c.script(), QChar::Script_Han);
        // Only the two buttons lead out.
        QVERIFY(!(d.windowFlags() & (Qt::WindowCloseButtonHint | Qt::WindowSystemMenuHint)));
    }

    // Focus starts in the name box. Enter presses OK unless End has the focus; Esc does
    // nothing at all.
    void logonEnterPressesOkUnlessEndHasTheFocus() {
        LogonDialog d;
        ShowActive(d);
        QCOMPARE(QApplication::focusWidget(), d.txtName);
        QStringList pressed;
        RecordClicks(pressed, {d.cmdOK, d.cmdEnd});
        connect(&d, &LogonDialog::closeRequested, [&pressed] { pressed << "close"; });
        Press(d.txtName, Qt::Key_Return);
        Press(d.txtIP, Qt::Key_Enter);
        Press(d.optClient, Qt::Key_Return);
        Press(d.cmdEnd, Qt::Key_Return);
        Press(d.txtName, Qt::Key_Escape);
        QTest::keyClick(&d, Qt::Key_Escape);
        QCOMPARE(pressed, QStringList({"确定", "确定", "确定", "结束"}));
        QVERIFY(d.isVisible());
    }

    // OK is the default and the cancel button; Enter on System Info presses that one.
    void aboutEnterAndEscapePressOkUnlessSystemInfoHasTheFocus() {
        AboutBox box;
        ShowActive(box);
        QStringList pressed;
        RecordClicks(pressed, {box.cmdOK, box.cmdSysInfo});
        Press(box.cmdSysInfo, Qt::Key_Return);
        QVERIFY(box.isVisible());
        QTest::keyClick(box.cmdSysInfo, Qt::Key_Escape);
        QVERIFY(!box.isVisible());
        QCOMPARE(box.result(), int(QDialog::Accepted));
        ShowActive(box);
        Press(box.cmdOK, Qt::Key_Return);
        QCOMPARE(pressed, QStringList({"&System Info...", "OK", "OK"}));
        QVERIFY(!box.isVisible());
    }
};

QTEST_MAIN(TestWindows)
#include "test_windows.moc"
