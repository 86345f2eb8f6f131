#pragma once

#include "ui/BoardPicture.h"
#include "ui/CaptionLabel.h"

// The controls are public members, so their classes come with the window.
#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QPushButton>
#include <QString>

namespace kelvane {

class PrintSurface;

// The main window frmMain: the board, the players' panel, the status line and the menu.
// It shows state and forwards events; the handlers live in the application layer, which
// connects to the controls' own signals.
class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    explicit MainWindow(QWidget* parent = nullptr);

    // The outer size, frame and title bar included, as the window's own area is sized.
    void setOuterSize(int widthTwips, int heightTwips);

    // Draws text with its top-left corner at (x, y) of the client area below the menu bar, in
    // the window's font and text colour, onto a background that keeps it for good.
    void printAt(double xTwips, double yTwips, const QString& text);

    // The players' panel.
    QGroupBox* fraContainer = nullptr;
    CaptionLabel* labBlack = nullptr;
    CaptionLabel* labBlackScore = nullptr;
    CaptionLabel* labWhite = nullptr;
    CaptionLabel* labWhiteScore = nullptr;
    CaptionLabel* labHe = nullptr;
    CaptionLabel* labHeSay = nullptr;
    CaptionLabel* labI = nullptr;
    CaptionLabel* labISay = nullptr;
    QLineEdit* txtMsg = nullptr;
    QPushButton* cmdSend = nullptr;
    QPushButton* cmdNew = nullptr;
    QPushButton* cmdLink = nullptr;
    QPushButton* cmdExit = nullptr;

    BoardPicture* picBoard = nullptr;
    // The stone strip; it lies beneath picBoard and is never seen.
    QLabel* picBlock = nullptr;
    CaptionLabel* lblStatus = nullptr;

    QMenu* mnuFileBar = nullptr;
    QAction* mnuNew = nullptr;
    QAction* mnuFile = nullptr; // separator
    QAction* mnuExit = nullptr;
    QMenu* mnuOperateBar = nullptr;
    QAction* mnuLink = nullptr;
    QAction* mnuOperate = nullptr; // separator
    QAction* mnuTalk = nullptr;
    QMenu* mnuHelp = nullptr;
    QAction* mnuContent = nullptr;
    QAction* mnuAbout = nullptr;

signals:
    // The user closed the window. The window stays open: what closing means is the
    // application's decision.
    void unloadRequested();
    // The window became the active one while disabled: a window manager may hand the
    // focus to a disabled window, where typing goes nowhere.
    void activatedWhileDisabled();

protected:
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void createPlayersPanel();
    void createBoard();
    void createStatusLine();
    void createMenus();
    void orderFocusChain();
    void setClientSize(int width, int height);

    PrintSurface* surface_ = nullptr;
};

} // namespace kelvane
