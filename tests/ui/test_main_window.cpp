// The main window as laid out, its keyboard behaviour and the text printed on it. Where each
// control lands on screen is sampled pixel by pixel by the black-box start-up check; here a
// few representative rows guard the layout in the window's own coordinates.

#include "ui/MainWindow.h"
#include "ui/Pictures.h"

#include <QMenuBar>
#include <QSignalSpy>
#include <QtTest>

#include <tuple>

using kelvane::MainWindow;

namespace {

QImage Grab(QWidget* widget, QRect area) {
    return widget->grab(area).toImage().convertToFormat(QImage::Format_RGB32);
}

int CountPixelsUnlike(const QImage& image, QRgb background) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += image.pixel(x, y) != background;
    return count;
}

void Press(QWidget* focus, Qt::Key key) {
    focus->setFocus();
    QTest::keyClick(focus, key, key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
}

void ShowActive(QWidget& window) {
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
}

} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT

private slots:
    // Whatever outer size the application asks for, the window is fixed and shows every
    // control whole.
    void layoutFitsAFixedWindow() {
        for (const auto& [widthTwips, heightTwips, width] :
             std::initializer_list<std::tuple<int, int, int>>{
                 {8640, 6135, 568}, {3000, 2000, 568}, {9600, 7500, 632}}) {
            MainWindow w;
            w.setOuterSize(widthTwips, heightTwips);
            w.show();
            QVERIFY(QTest::qWaitForWindowExposed(&w));
            QCOMPARE(w.width(), width);
            QCOMPARE(w.minimumSize(), w.maximumSize());
            QVERIFY(!w.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
            QVERIFY(w.windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
            QWidget* client = w.centralWidget();
            for (QWidget* control : client->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
                QVERIFY(client->rect().contains(control->geometry()));
        }
        MainWindow w;
        for (const auto& [control, rect] :
             QList<QPair<QWidget*, QRect>>{{w.picBoard, {24, 24, 321, 305}},
                                           {w.labHeSay, {360, 146, 187, 17}},
                                           {w.cmdSend, {368, 266, 80, 25}},
                                           {w.lblStatus, {8, 344, 560, 20}}})
            QCOMPARE(QRect(control->mapTo(w.centralWidget(), QPoint()), control->size()), rect);
    }

    void captionsToolTipsAndMenus() {
        MainWindow w;
        QStringList buttons;
        for (QPushButton* button : {w.cmdSend, w.cmdNew, w.cmdLink, w.cmdExit})
            buttons << button->text() + "|" + button->toolTip();
        QCOMPARE(buttons,
                 QStringList({"对话|发送消息", "新局|忽略本局", "重连|重新连接", "退出|退出游戏"}));

        // The menus in order, with the separators where the layout puts them.
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

    // The board is off until the game starts: then the chat box takes the first focus.
    void focusStartsOnTheBoardAndTabFollowsTheLayout() {
        MainWindow w;
        ShowActive(w);
        QCOMPARE(QApplication::focusWidget(), w.picBoard);
        for (QWidget* next : std::initializer_list<QWidget*>{w.txtMsg, w.cmdExit, w.cmdLink,
                                                             w.cmdNew, w.cmdSend, w.picBoard}) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), next);
        }
        MainWindow boardOff;
        boardOff.picBoard->setEnabled(false);
        ShowActive(boardOff);
        QCOMPARE(QApplication::focusWidget(), boardOff.txtMsg);
    }

    void enterPressesSendUnlessAnotherButtonHasTheFocus() {
        MainWindow w;
        ShowActive(w);
        QStringList pressed;
        for (QPushButton* button : {w.cmdSend, w.cmdNew, w.cmdLink, w.cmdExit})
            connect(button, &QPushButton::clicked,
                    [&pressed, button] { pressed << button->text(); });
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

    void closingAsksTheApplicationAndStaysOpen() {
        MainWindow w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QSignalSpy unload(&w, &MainWindow::unloadRequested);
        QVERIFY(!w.close());
        QCOMPARE(unload.count(), 1);
        QVERIFY(w.isVisible());
    }

    // The coordinate labels are printed once, before the window is shown, and must survive
    // every repaint.
    void printedTextSurvivesRepaints() {
        MainWindow w;
        w.setOuterSize(8640, 6135);
        w.printAt(120, 474, "15");
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QWidget* client = w.centralWidget();
        const QRgb background = client->palette().color(QPalette::Window).rgb();
        // Top-left corner at (8, 31.6): nothing printed left of or above it.
        const QRect textArea(8, 31, 16, 14);
        const QImage before = Grab(client, textArea);
        QVERIFY(CountPixelsUnlike(before, background) > 10);
        QCOMPARE(CountPixelsUnlike(Grab(client, QRect(0, 20, 8, 30)), background), 0);
        QCOMPARE(CountPixelsUnlike(Grab(client, QRect(8, 20, 14, 11)), background), 0);

        client->update();
        w.picBoard->update();
        QApplication::processEvents();
        client->repaint();
        QCOMPARE(Grab(client, textArea), before);
    }

    // The stone strip is a visible control, yet what the window shows there is the board.
    void stoneStripLiesBeneathTheBoard() {
        MainWindow w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QVERIFY(w.picBlock->isVisible());
        const QImage strip = w.picBlock->grab().toImage().convertToFormat(QImage::Format_RGB32);
        QCOMPARE(strip.copy(1, 1, 84, 20), kelvane::StoneStrip());

        const QRect area = w.picBlock->geometry();
        QVERIFY(w.picBoard->geometry().contains(area));
        const QImage shown = Grab(w.centralWidget(), area);
        QCOMPARE(shown, Grab(w.picBoard, area.translated(-w.picBoard->pos())));
        QVERIFY(shown != strip);
    }
};

QTEST_MAIN(TestMainWindow)
#include "test_main_window.moc"
