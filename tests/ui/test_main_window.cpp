#include "ui/BoardPicture.h"
#include "ui/CaptionLabel.h"
#include "ui/MainWindow.h"
#include "ui/Pictures.h"

#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QtTest>

using kelvane::CaptionLabel;
using kelvane::MainWindow;

namespace {

QRect GeometryIn(const QWidget* widget, const QWidget* ancestor) {
    return QRect(widget->mapTo(ancestor, QPoint(0, 0)), widget->size());
}

QImage Grab(QWidget* widget) {
    return widget->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

QImage Grab(QWidget* widget, QRect area) {
    return widget->grab(area).toImage().convertToFormat(QImage::Format_RGB32);
}

int CountPixelsUnlike(const QImage& image, QRect area, QRgb background) {
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (image.pixel(x, y) != background)
                ++count;
    return count;
}

// The widgets that Tab visits, in order, starting at `first`.
QList<QWidget*> TabChain(QWidget* first) {
    QList<QWidget*> chain{first};
    for (QWidget* w = first->nextInFocusChain(); w != first; w = w->nextInFocusChain())
        if ((w->focusPolicy() & Qt::TabFocus) && w->isEnabled())
            chain.append(w);
    return chain;
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
    void controlsSitWhereTheLayoutPutsThem() {
        MainWindow w;
        QWidget* client = w.centralWidget();
        QCOMPARE(GeometryIn(w.picBoard, client), QRect(24, 24, 321, 305));
        QCOMPARE(GeometryIn(w.picBlock, client), QRect(216, 248, 86, 22));
        QCOMPARE(GeometryIn(w.fraContainer, client), QRect(352, 18, 200, 310));
        QCOMPARE(GeometryIn(w.lblStatus, client), QRect(8, 344, 560, 20));

        QCOMPARE(w.cmdSend->parentWidget(), w.fraContainer);
        QCOMPARE(w.cmdSend->geometry(), QRect(16, 248, 80, 25));
        QCOMPARE(w.cmdNew->geometry(), QRect(104, 248, 80, 25));
        QCOMPARE(w.cmdLink->geometry(), QRect(16, 274, 80, 25));
        QCOMPARE(w.cmdExit->geometry(), QRect(104, 274, 80, 25));
        QCOMPARE(w.txtMsg->geometry(), QRect(8, 224, 187, 19));
        QCOMPARE(w.labBlack->geometry(), QRect(8, 16, 187, 17));
        QCOMPARE(w.labBlackScore->geometry(), QRect(8, 32, 187, 17));
        QCOMPARE(w.labWhite->geometry(), QRect(8, 64, 187, 17));
        QCOMPARE(w.labWhiteScore->geometry(), QRect(8, 80, 187, 17));
        QCOMPARE(w.labHeSay->geometry(), QRect(8, 128, 187, 17));
        QCOMPARE(w.labISay->geometry(), QRect(8, 192, 187, 17));
        QCOMPARE(w.labHe->geometry(), QRect(8, 112, 187, 17));
        QCOMPARE(w.labI->geometry(), QRect(8, 160, 187, 17));
        for (QWidget* inFrame : {static_cast<QWidget*>(w.labBlack), static_cast<QWidget*>(w.labI),
                                 static_cast<QWidget*>(w.txtMsg)})
            QCOMPARE(inFrame->parentWidget(), w.fraContainer);
    }

    void layoutClientSizeUntilTheOuterSizeIsSet() {
        MainWindow w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QCOMPARE(w.centralWidget()->size(), QSize(557, 380));
        QCOMPARE(w.centralWidget()->y(), w.menuBar()->height());
    }

    void outerSizeKeepsEveryControlVisible_data() {
        QTest::addColumn<int>("widthTwips");
        QTest::addColumn<int>("heightTwips");
        QTest::addColumn<int>("expectedWidth");
        QTest::newRow("the program's size") << 8640 << 6135 << 568;
        QTest::newRow("too small") << 3000 << 2000 << 568;
        QTest::newRow("larger") << 9600 << 7500 << 632;
    }

    void outerSizeKeepsEveryControlVisible() {
        QFETCH(int, widthTwips);
        QFETCH(int, heightTwips);
        QFETCH(int, expectedWidth);
        MainWindow w;
        w.setOuterSize(widthTwips, heightTwips);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QCOMPARE(w.width(), expectedWidth);
        QCOMPARE(w.minimumSize(), w.maximumSize());
        const QRect client = w.centralWidget()->rect();
        for (QWidget* control :
             w.centralWidget()->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
            QVERIFY2(client.contains(control->geometry()), qPrintable(control->objectName()));
        // The status line's text is drawn inside the window.
        w.lblStatus->setCaption("等待加入中");
        const QImage shot = Grab(w.centralWidget(), w.lblStatus->geometry());
        QVERIFY(CountPixelsUnlike(shot, shot.rect(), shot.pixel(0, 0)) > 0);
    }

    void windowHasAFixedBorderWithoutMaximise() {
        MainWindow w;
        const Qt::WindowFlags flags = w.windowFlags();
        QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
        QVERIFY(flags.testFlag(Qt::WindowMinimizeButtonHint));
        QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
        QVERIFY(flags.testFlag(Qt::WindowSystemMenuHint));
        QCOMPARE(w.minimumSize(), w.maximumSize());
        QVERIFY(!w.windowIcon().isNull());
        QVERIFY(w.windowTitle().isEmpty());
    }

    void windowIsCentredOnTheScreenWhenFirstShown() {
        MainWindow w;
        w.setOuterSize(8640, 6135);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        const QPoint offset = w.frameGeometry().center() - w.screen()->availableGeometry().center();
        QVERIFY2(offset.manhattanLength() <= 2, qPrintable(QString::number(offset.x())));
    }

    void captionsAndToolTips() {
        MainWindow w;
        QCOMPARE(w.cmdSend->text(), QString("对话"));
        QCOMPARE(w.cmdNew->text(), QString("新局"));
        QCOMPARE(w.cmdLink->text(), QString("重连"));
        QCOMPARE(w.cmdExit->text(), QString("退出"));
        QCOMPARE(w.cmdSend->toolTip(), QString("发送消息"));
        QCOMPARE(w.cmdNew->toolTip(), QString("忽略本局"));
        QCOMPARE(w.cmdLink->toolTip(), QString("重新连接"));
        QCOMPARE(w.cmdExit->toolTip(), QString("退出游戏"));
        QVERIFY(w.fraContainer->title().isEmpty());
        QVERIFY(w.txtMsg->text().isEmpty());
        for (CaptionLabel* label : {w.labBlack, w.labBlackScore, w.labWhite, w.labWhiteScore,
                                    w.labHe, w.labHeSay, w.labI, w.labISay, w.lblStatus}) {
            QVERIFY(label->caption().isEmpty());
            QVERIFY(label->text().isEmpty());
        }
    }

    void menusReadAsTheLayoutGivesThem() {
        MainWindow w;
        const QList<QAction*> bar = w.menuBar()->actions();
        QCOMPARE(bar, (QList<QAction*>{w.mnuFileBar->menuAction(), w.mnuOperateBar->menuAction(),
                                       w.mnuHelp->menuAction()}));
        QCOMPARE(w.mnuFileBar->title(), QString("文件"));
        QCOMPARE(w.mnuOperateBar->title(), QString("操作"));
        QCOMPARE(w.mnuHelp->title(), QString("帮助"));

        QCOMPARE(w.mnuFileBar->actions(), (QList<QAction*>{w.mnuNew, w.mnuFile, w.mnuExit}));
        QCOMPARE(w.mnuOperateBar->actions(), (QList<QAction*>{w.mnuLink, w.mnuOperate, w.mnuTalk}));
        QCOMPARE(w.mnuHelp->actions(), (QList<QAction*>{w.mnuContent, w.mnuAbout}));
        QVERIFY(w.mnuFile->isSeparator());
        QVERIFY(w.mnuOperate->isSeparator());

        const QList<QPair<QAction*, QString>> items{{w.mnuNew, "新局"},     {w.mnuExit, "退出"},
                                                    {w.mnuLink, "重连"},    {w.mnuTalk, "对话"},
                                                    {w.mnuContent, "主题"}, {w.mnuAbout, "关于"}};
        for (const auto& [action, caption] : items) {
            QCOMPARE(action->text(), caption);
            QVERIFY(!action->isSeparator());
            QVERIFY(action->shortcut().isEmpty());
            QVERIFY(!action->isCheckable());
            QVERIFY(action->isEnabled());
        }
        QVERIFY(!w.menuBar()->isNativeMenuBar());
    }

    void menuItemsTrigger() {
        MainWindow w;
        QSignalSpy about(w.mnuAbout, &QAction::triggered);
        w.mnuAbout->trigger();
        QCOMPARE(about.count(), 1);
    }

    void fontsFollowTheLayout() {
        MainWindow w;
        QCOMPARE(w.font().pixelSize(), 11);
        QVERIFY(w.font().bold());
        QCOMPARE(w.lblStatus->font(), w.font());
        QCOMPARE(w.labBlack->font().pixelSize(), 14);
        QVERIFY(!w.labBlack->font().bold());
        QVERIFY(w.labBlack->font().families().contains("SimSun"));
        QCOMPARE(w.labISay->font(), w.labBlack->font());
        QCOMPARE(w.cmdSend->font().pixelSize(), 12);
        QCOMPARE(w.cmdExit->font().pixelSize(), 12);
        QCOMPARE(w.txtMsg->font().pixelSize(), 11);
        QVERIFY(!w.txtMsg->font().bold());
        QVERIFY(!w.menuBar()->font().bold());
    }

    void playerLabelsAreBlackOnWindowBackground() {
        MainWindow w;
        w.labBlack->setCaption("黑方：陈雨桐");
        const QPalette palette = w.labBlack->palette();
        QCOMPARE(palette.color(QPalette::Window), palette.color(QPalette::Base));
        QCOMPARE(palette.color(QPalette::WindowText), QColor(Qt::black));
        QVERIFY(w.labBlack->autoFillBackground());
        // What is painted: the base colour behind, black text on it.
        const QImage shot = Grab(w.labBlack);
        QCOMPARE(shot.pixel(shot.width() - 1, 0), palette.color(QPalette::Base).rgb());
        QVERIFY(CountPixelsUnlike(shot, shot.rect(), palette.color(QPalette::Base).rgb()) > 0);
        QVERIFY(!w.lblStatus->autoFillBackground());
    }

    void heAndISizeThemselvesWithinThePanel() {
        MainWindow w;
        QCOMPARE(w.labHe->autoSizeMaxWidth(), 187);
        QCOMPARE(w.labI->autoSizeMaxWidth(), 187);
        QCOMPARE(w.labHeSay->autoSizeMaxWidth(), 0);
        w.labI->setCaption("陈雨桐说：");
        QCOMPARE(w.labI->width(), w.labI->fontMetrics().horizontalAdvance("陈雨桐说："));
        w.labHe->setCaption(QString("很长的名字").repeated(30) + "说：");
        QCOMPARE(w.labHe->width(), 187);
        w.labHeSay->setCaption("短");
        QCOMPARE(w.labHeSay->width(), 187);
    }

    void tabOrderStartsAtTheBoard() {
        MainWindow w;
        QCOMPARE(TabChain(w.picBoard), (QList<QWidget*>{w.picBoard, w.txtMsg, w.cmdExit, w.cmdLink,
                                                        w.cmdNew, w.cmdSend}));
        QCOMPARE(w.picBlock->focusPolicy(), Qt::NoFocus);
        QCOMPARE(w.lblStatus->focusPolicy(), Qt::NoFocus);
    }

    void focusStartsOnTheBoard() {
        MainWindow w;
        ShowActive(w);
        QCOMPARE(QApplication::focusWidget(), w.picBoard);
    }

    // The board is off until the game starts: the next control in the order takes the focus.
    void focusStartsOnTheChatBoxWhileTheBoardIsOff() {
        MainWindow w;
        w.picBoard->setEnabled(false);
        ShowActive(w);
        QCOMPARE(QApplication::focusWidget(), w.txtMsg);
    }

    void tabMovesTheFocusInLayoutOrder() {
        MainWindow w;
        ShowActive(w);
        w.picBoard->setFocus();
        QCOMPARE(QApplication::focusWidget(), w.picBoard);
        for (QWidget* next :
             {static_cast<QWidget*>(w.txtMsg), static_cast<QWidget*>(w.cmdExit),
              static_cast<QWidget*>(w.cmdLink), static_cast<QWidget*>(w.cmdNew),
              static_cast<QWidget*>(w.cmdSend), static_cast<QWidget*>(w.picBoard)}) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), next);
        }
    }

    void enterPressesSendUnlessAnotherButtonHasTheFocus() {
        MainWindow w;
        ShowActive(w);
        QSignalSpy send(w.cmdSend, &QPushButton::clicked);
        QSignalSpy newGame(w.cmdNew, &QPushButton::clicked);
        QSignalSpy exit(w.cmdExit, &QPushButton::clicked);

        w.txtMsg->setFocus();
        QTest::keyClicks(w.txtMsg, "hello");
        QTest::keyClick(w.txtMsg, Qt::Key_Return);
        QCOMPARE(send.count(), 1);
        QTest::keyClick(w.txtMsg, Qt::Key_Enter, Qt::KeypadModifier);
        QCOMPARE(send.count(), 2);
        QCOMPARE(w.txtMsg->text(), QString("hello"));

        w.picBoard->setFocus();
        QTest::keyClick(w.picBoard, Qt::Key_Return);
        QCOMPARE(send.count(), 3);

        w.cmdNew->setFocus();
        QTest::keyClick(w.cmdNew, Qt::Key_Return);
        QCOMPARE(newGame.count(), 1);
        w.cmdExit->setFocus();
        QTest::keyClick(w.cmdExit, Qt::Key_Enter, Qt::KeypadModifier);
        QCOMPARE(exit.count(), 1);
        QCOMPARE(send.count(), 3);

        w.cmdSend->setEnabled(false);
        w.txtMsg->setFocus();
        QTest::keyClick(w.txtMsg, Qt::Key_Return);
        QCOMPARE(send.count(), 3);
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

    // The coordinate labels are printed once, before the window is shown.
    void printedTextSurvivesRepaints() {
        MainWindow w;
        w.setOuterSize(8640, 6135);
        // Row number 1 beside the board: (picBoard.Left - 240, picBoard.Top + 294 - 180).
        w.printAt(120, 474, "15");
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QWidget* client = w.centralWidget();
        const QRgb background = client->palette().color(QPalette::Window).rgb();
        const QRect textArea(8, 31, 16, 14);

        const QImage before = Grab(client);
        QVERIFY(CountPixelsUnlike(before, textArea, background) > 10);
        // Top-left corner at (8, 31.6): nothing printed left of or above it.
        QCOMPARE(CountPixelsUnlike(before, QRect(0, 20, 8, 30), background), 0);
        QCOMPARE(CountPixelsUnlike(before, QRect(8, 20, 14, 11), background), 0);

        client->update();
        w.picBoard->update();
        QApplication::processEvents();
        client->repaint();
        const QImage after = Grab(client);
        QCOMPARE(after.copy(textArea), before.copy(textArea));

        MainWindow plain;
        plain.setOuterSize(8640, 6135);
        plain.show();
        QVERIFY(QTest::qWaitForWindowExposed(&plain));
        QCOMPARE(CountPixelsUnlike(Grab(plain.centralWidget()), textArea, background), 0);
    }

    void printedTextUsesTheWindowsTextColour() {
        MainWindow w;
        w.printAt(600, 0, "A");
        const QImage shot = Grab(w.centralWidget(), QRect(40, 0, 12, 14));
        int darkest = 255;
        for (int y = 0; y < shot.height(); ++y)
            for (int x = 0; x < shot.width(); ++x)
                darkest = std::min(darkest, qGray(shot.pixel(x, y)));
        QCOMPARE(darkest, qGray(w.palette().color(QPalette::WindowText).rgb()));
    }

    void stoneStripLiesBeneathTheBoard() {
        MainWindow w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QCOMPARE(w.picBlock->pixmap().toImage().convertToFormat(QImage::Format_RGB32),
                 kelvane::StoneStrip().convertToFormat(QImage::Format_RGB32));
        QVERIFY(w.picBoard->geometry().contains(w.picBlock->geometry()));
        QVERIFY(w.picBlock->isVisible());

        // The strip itself: a black one-pixel border round the 84 x 20 picture.
        const QImage strip = Grab(w.picBlock);
        QCOMPARE(strip.size(), QSize(86, 22));
        QCOMPARE(strip.pixel(0, 0), qRgb(0, 0, 0));
        QCOMPARE(strip.pixel(85, 21), qRgb(0, 0, 0));
        QCOMPARE(strip.pixel(1, 1),
                 kelvane::StoneStrip().convertToFormat(QImage::Format_RGB32).pixel(0, 0));

        // What the window shows there is the board.
        const QRect area = w.picBlock->geometry();
        const QImage shown = Grab(w.centralWidget(), area);
        const QImage board = Grab(w.picBoard, area.translated(-w.picBoard->pos()));
        QCOMPARE(shown, board);
        QVERIFY(shown != strip);
    }
};

QTEST_MAIN(TestMainWindow)
#include "test_main_window.moc"
