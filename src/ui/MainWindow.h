#pragma once

#include "game/Board.h"

#include <QMainWindow>
#include <QPointer>
#include <QString>

#include <optional>

class QAction;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;

namespace kelvane {

class BoardPicture;
class CaptionLabel;
class PrintSurface;

// The main window frmMain: the board, the players' panel, the status line and the menu.
// It shows what it is told and says what the user asks for; it keeps no game state.
class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    explicit MainWindow(QWidget* parent = nullptr);

    // The outer size, frame and title bar included, as the window's own area is sized.
    void setOuterSize(int widthTwips, int heightTwips);
    // Draws text with its top-left corner at (x, y) of the client area below the menu bar, in
    // the window's font and text colour, onto a background that keeps it for good.
    void printAt(double xTwips, double yTwips, const QString& text);
    // Where the board picture's top-left corner lies in the client area, in twips.
    QPoint boardOriginTwips() const;

    void setStatus(const QString& caption);
    // Why the link is down, or nothing: the status line's tooltip and description.
    void setStatusReason(const QString& reason);
    // Whether the board takes clicks: it is this side's turn.
    void setTurn(bool myTurn);
    // The colour to move, or 0 while nobody can: the status line's tooltip says whose move
    // it is, a screen reader hears it, and the pointer previews this side's stone.
    void setMover(int color);
    void setBlackPlayer(const QString& caption);
    void setWhitePlayer(const QString& caption);
    void setRecord(const QString& black, const QString& white);
    void setMyName(const QString& caption);
    void setMyLine(const QString& line);
    void setPeerName(const QString& caption);
    void setPeerLine(const QString& line);
    // The longest chat line the box takes; what is pasted beyond it is refused visibly.
    void setChatLimit(int characters);
    // `latest` is the peer's newest stone, which a screen reader hears of.
    void showStones(const Board& board, std::optional<Cell> latest = std::nullopt);
    // Marks the five of a decided game, from its first stone to its last.
    void markFive(std::pair<Cell, Cell> ends);
    void clearBoard();
    // Whether "和电脑下" can act now.
    void setComputerAvailable(bool available);
    // Whether "提示" can act now.
    void setHintAvailable(bool available);
    // Marks the cell a hint suggests, or no cell.
    void setHint(std::optional<Cell> cell);

signals:
    // A left click on a cell of the board while it takes clicks.
    void cellClicked(Cell cell);
    void newGameRequested();
    void reconnectRequested();
    // 退出, from the button, the menu or by closing the window.
    void exitRequested();
    void chatSubmitted(const QString& line);
    // A level of "和电脑下": strength 1 to 3.
    void computerRequested(int strength);
    void hintRequested();
    void helpRequested();
    void aboutRequested();
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
    void connectControls();
    void orderFocusChain();
    void nameForScreenReaders();
    void setClientSize(int width, int height);
    void showTurn();
    void picBoard_MouseUp(Qt::MouseButton button, QPointF position);
    void SendTalk();

    PrintSurface* surface_ = nullptr;

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
    QString statusReason_;
    bool myTurn_ = true;
    int mover_ = 0;
    QString lastMove_;
    QString turnNews_;
    // Where Qt sent the focus when the board stopped taking moves.
    QPointer<QWidget> focusLeftTo_;

    QMenu* mnuFileBar = nullptr;
    QAction* mnuNew = nullptr;
    QAction* mnuExit = nullptr;
    QMenu* mnuOperateBar = nullptr;
    QAction* mnuLink = nullptr;
    QAction* mnuTalk = nullptr;
    QMenu* mnuComputer = nullptr;
    QAction* mnuHint = nullptr;
    QMenu* mnuHelp = nullptr;
    QAction* mnuContent = nullptr;
    QAction* mnuAbout = nullptr;
};

} // namespace kelvane
