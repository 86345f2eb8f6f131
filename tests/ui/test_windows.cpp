// Which button Enter and Esc press in the three windows, heard through the windows' signals.
// Where each control lands on screen is sampled by the black-box checks.
#include "ui/AboutBox.h"
#include "ui/BoardPicture.h"
#include "ui/LogonDialog.h"
#include "ui/MainWindow.h"

#include <QClipboard>
#include <QLineEdit>
#include <QtTest>

using namespace kelvane;

namespace {

QString ShowActive(QWidget& window) {
    window.show();
    window.activateWindow();
    return QTest::qWaitForWindowActive(&window) ? QApplication::focusWidget()->objectName()
                                                : QString();
}

// Presses each key in its control, the focus put there first, keypad Enter and all; returns
// what the window said meanwhile, which `heard` collected.
QStringList Press(QWidget& window, QStringList& heard,
                  std::initializer_list<std::pair<const char*, Qt::Key>> presses) {
    for (const auto& [name, key] : presses) {
        QWidget* control = window.findChild<QWidget*>(name);
        control->setFocus();
        QTest::keyClick(control, key, key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
    }
    return std::exchange(heard, {});
}

} // namespace

class TestWindows : public QObject {
    Q_OBJECT

private slots:
    // The outer size leaves a fixed window that shows every control whole. The board takes
    // the first focus, or the chat box while the board is off; Enter sends the line, as
    // typed, unless another button or the board, which plays at its cursor, has the focus.
    void mainWindowEnterSendsUnlessAnotherButtonHasTheFocus() {
        MainWindow boardOff;
        boardOff.setTurn(false);
        QCOMPARE(ShowActive(boardOff), QString("txtMsg"));
        MainWindow w;
        w.setOuterSize(8640, 6135);
        QCOMPARE(ShowActive(w), QString("picBoard"));
        QCOMPARE(w.minimumSize(), w.maximumSize());
        QWidget* client = w.centralWidget();
        for (QWidget* control : client->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            QVERIFY(client->rect().contains(control->geometry()));
        QStringList heard;
        connect(&w, &MainWindow::chatSubmitted, [&](const QString& line) { heard << line; });
        connect(&w, &MainWindow::newGameRequested, [&] { heard << "new"; });
        connect(&w, &MainWindow::exitRequested, [&] { heard << "exit"; });
        connect(&w, &MainWindow::cellClicked,
                [&](Cell cell) { heard << BoardPicture::CellName(cell); });
        QTest::keyClicks(w.findChild<QWidget*>("txtMsg"), " hi ");
        QCOMPARE(Press(w, heard,
                       {{"txtMsg", Qt::Key_Return},
                        {"txtMsg", Qt::Key_Enter},
                        {"picBoard", Qt::Key_Return},
                        {"cmdNew", Qt::Key_Return},
                        {"cmdExit", Qt::Key_Enter}}),
                 QStringList({" hi ", " hi ", "H8", "new", "exit"}));
        w.findChild<QWidget*>("cmdSend")->setEnabled(false);
        QCOMPARE(Press(w, heard, {{"txtMsg", Qt::Key_Return}}), QStringList());
    }

    // In this side's turn a translucent stone of its colour follows the pointer over the
    // empty cells; out of turn there is none, the pointer waits, and the status line's tooltip
    // says whose move it is.
    void theBoardShowsWhoseMoveItIs() {
        MainWindow w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        auto* board = w.findChild<BoardPicture*>("picBoard");
        // Where a stone would lie in cell (c, 4), off the board's lines.
        const auto at = [](int c) { return QPoint(4 + 21 * (c - 1) + 12, 3 + 60 + 12); };
        const auto lightness = [&](int c) {
            return board->grab().toImage().pixelColor(at(c)).lightness();
        };
        const auto point = [&](int c) {
            QTest::mouseMove(w.windowHandle(), board->mapTo(&w, at(c)));
        };
        const int bare = lightness(4);
        Board stones;
        stones.set(5, 4, WhiteStone);
        w.showStones(stones);
        const int stone = lightness(5);
        for (int color : {Black, White}) {
            w.setMover(color);
            w.setTurn(true);
            point(4);
            QTRY_VERIFY(color == Black ? lightness(4) < bare - 40 : lightness(4) > bare + 10);
            point(5);
            QTRY_COMPARE(lightness(4), bare);
            QCOMPARE(lightness(5), stone);
        }
        w.setTurn(false);
        point(4);
        QTRY_COMPARE(w.windowHandle()->cursor().shape(), Qt::WaitCursor);
        QCOMPARE(lightness(4), bare);
        QVERIFY(w.findChild<QWidget*>("lblStatus")->toolTip().contains("等待白方落子"));
    }

    // Focus starts in the name box; Enter confirms unless End has the focus; Esc does
    // nothing. Only the two buttons lead out: a close from the window manager is End.
    void logonEnterConfirmsUnlessEndHasTheFocus() {
        LogonDialog d;
        QVERIFY(!(d.windowFlags() & (Qt::WindowCloseButtonHint | Qt::WindowSystemMenuHint)));
        QCOMPARE(ShowActive(d), QString("txtName"));
        d.findChild<QLineEdit*>("txtName")->setText("张三");
        d.setAddress("10.0.0.7");
        QStringList heard;
        connect(&d, &LogonDialog::confirmed, [&](QString name, QString at) { heard << name + at; });
        connect(&d, &LogonDialog::endRequested, [&] { heard << "end"; });
        QCOMPARE(Press(d, heard,
                       {{"txtName", Qt::Key_Return},
                        {"txtIP", Qt::Key_Enter},
                        {"optClient", Qt::Key_Return},
                        {"cmdEnd", Qt::Key_Return},
                        {"txtName", Qt::Key_Escape}}),
                 QStringList({"张三10.0.0.7", "张三10.0.0.7", "张三10.0.0.7", "end"}));
        d.close();
        QVERIFY(d.isVisible());
        QCOMPARE(heard, QStringList{"end"});
    }

    // OK is the default and the cancel button; Enter on System Info presses that one.
    // A pasted chat line longer than the box takes is cut, and the box says so.
    void aChatLineTooLongIsRefusedVisibly() {
        MainWindow window;
        auto* line = window.findChild<QLineEdit*>("txtMsg");
        QGuiApplication::clipboard()->setText(QString(40000, QLatin1Char('x')));
        line->paste();
        QCOMPARE(line->text().size(), line->maxLength());
        QVERIFY(line->accessibleDescription().contains(QString::number(line->maxLength())));
    }

    void aboutEnterAndEscapePressOkUnlessSystemInfoHasTheFocus() {
        AboutBox box;
        ShowActive(box);
        QStringList heard;
        connect(&box, &AboutBox::sysInfoRequested, [&] { heard << "sysinfo"; });
        connect(&box, &QDialog::accepted, [&] { heard << "ok"; });
        QCOMPARE(Press(box, heard, {{"cmdSysInfo", Qt::Key_Return}}), QStringList{"sysinfo"});
        QVERIFY(box.isVisible());
        QCOMPARE(Press(box, heard, {{"cmdSysInfo", Qt::Key_Escape}}), QStringList{"ok"});
        QVERIFY(!box.isVisible());
        ShowActive(box);
        QCOMPARE(Press(box, heard, {{"cmdOK", Qt::Key_Return}}), QStringList{"ok"});
    }
};

QTEST_MAIN(TestWindows)
#include "test_windows.moc"
