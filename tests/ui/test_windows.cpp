// Which button Enter and Esc press in the three windows, heard through the windows' signals.
// Where each control lands on screen is sampled by the black-box checks.
#include "ui/AboutBox.h"
#include "ui/LogonDialog.h"
#include "ui/MainWindow.h"

#include <QLineEdit>
#include <QtTest>

using namespace kelvane;

namespace {

void ShowActive(QWidget& window) {
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
}

QWidget* Control(QWidget& window, const char* name) {
    QWidget* found = window.findChild<QWidget*>(name);
    if (!found)
        qFatal("no control %s", name);
    return found;
}

// Gives the control the focus and presses the key there; Enter is the keypad's.
void Press(QWidget& window, const char* control, Qt::Key key) {
    QWidget* focus = Control(window, control);
    focus->setFocus();
    QTest::keyClick(focus, key, key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
}

// Writes `word` into `heard` each time the signal comes.
template <class Sender, class Signal>
void Hear(Sender* sender, Signal signal, QStringList& heard, const QString& word) {
    QObject::connect(sender, signal, [&heard, word] { heard << word; });
}

} // namespace

class TestWindows : public QObject {
    Q_OBJECT

private slots:
    // The outer size leaves a fixed window that shows every control whole. The board takes
    // the first focus, or the chat box while the board is off; Enter sends the line unless
    // another button has the focus.
    void mainWindowEnterSendsUnlessAnotherButtonHasTheFocus() {
        MainWindow boardOff;
        boardOff.setTurn(false);
        ShowActive(boardOff);
        QCOMPARE(QApplication::focusWidget(), Control(boardOff, "txtMsg"));
        MainWindow w;
        w.setOuterSize(8640, 6135);
        ShowActive(w);
        QCOMPARE(w.minimumSize(), w.maximumSize());
        for (QWidget* control :
             w.centralWidget()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            QVERIFY(w.centralWidget()->rect().contains(control->geometry()));
        QCOMPARE(QApplication::focusWidget(), Control(w, "picBoard"));
        QStringList heard;
        connect(&w, &MainWindow::chatSubmitted, [&heard](const QString& line) { heard << line; });
        Hear(&w, &MainWindow::newGameRequested, heard, "new");
        Hear(&w, &MainWindow::exitRequested, heard, "exit");
        QTest::keyClicks(Control(w, "txtMsg"), "hello");
        Press(w, "txtMsg", Qt::Key_Return);
        Press(w, "txtMsg", Qt::Key_Enter);
        Press(w, "picBoard", Qt::Key_Return);
        Press(w, "cmdNew", Qt::Key_Return);
        Press(w, "cmdExit", Qt::Key_Enter);
        Control(w, "cmdSend")->setEnabled(false);
        Press(w, "txtMsg", Qt::Key_Return);
        QCOMPARE(heard, QStringList({"hello", "hello", "hello", "new", "exit"}));
    }

    // Focus starts in the name box; Enter confirms unless End has the focus; Esc does
    // nothing; only the two buttons lead out, and a close from the window manager is End.
    void logonEnterConfirmsUnlessEndHasTheFocus() {
        LogonDialog d;
        QVERIFY(!(d.windowFlags() & (Qt::WindowCloseButtonHint | Qt::WindowSystemMenuHint)));
        ShowActive(d);
        QCOMPARE(QApplication::focusWidget(), Control(d, "txtName"));
        static_cast<QLineEdit*>(Control(d, "txtName"))->setText("张三");
        d.setAddress("10.0.0.7");
        QStringList heard;
        connect(&d, &LogonDialog::confirmed, [&heard](const QString& name, const QString& address) {
            heard << name + "@" + address;
        });
        Hear(&d, &LogonDialog::endRequested, heard, "end");
        Press(d, "txtName", Qt::Key_Return);
        Press(d, "txtIP", Qt::Key_Enter);
        Press(d, "optClient", Qt::Key_Return);
        Press(d, "cmdEnd", Qt::Key_Return);
        Press(d, "txtName", Qt::Key_Escape);
        QTest::keyClick(&d, Qt::Key_Escape);
        QVERIFY(d.isVisible());
        d.close();
        QCOMPARE(heard,
                 QStringList({"张三@10.0.0.7", "张三@10.0.0.7", "张三@10.0.0.7", "end", "end"}));
        QVERIFY(d.isVisible());
    }

    // OK is the default and the cancel button; Enter on System Info presses that one.
    void aboutEnterAndEscapePressOkUnlessSystemInfoHasTheFocus() {
        AboutBox box;
        ShowActive(box);
        QStringList heard;
        Hear(&box, &AboutBox::sysInfoRequested, heard, "sysinfo");
        Hear(&box, &QDialog::accepted, heard, "ok");
        Press(box, "cmdSysInfo", Qt::Key_Return);
        QVERIFY(box.isVisible());
        Press(box, "cmdSysInfo", Qt::Key_Escape);
        QVERIFY(!box.isVisible());
        ShowActive(box);
        Press(box, "cmdOK", Qt::Key_Return);
        QCOMPARE(heard, QStringList({"sysinfo", "ok", "ok"}));
        QVERIFY(!box.isVisible());
    }
};

QTEST_MAIN(TestWindows)
#include "test_windows.moc"
