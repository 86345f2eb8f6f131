#include "ui/MainWindow.h"

#include "ui/BoardGeometry.h"
#include "ui/BoardPicture.h"
#include "ui/CaptionLabel.h"
#include "ui/DefaultButton.h"
#include "ui/Fonts.h"
#include "ui/Pictures.h"
#include "ui/ScreenCentre.h"
#include "ui/Twips.h"

#include <QAction>
#include <QCloseEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QToolTip>

#include <algorithm>
#include <tuple>
#include <vector>

namespace kelvane {

namespace {

// Client size of the layout; the application replaces it by an outer size.
constexpr int LayoutClientWidth = 8355;
constexpr int LayoutClientHeight = 5700;

// The players' labels are as wide as the panel's inside; labHe and labI grow to their
// caption but never past that.
constexpr int PanelLabelWidth = 2805;

// What a fixed single border takes from the outer size on a classic desktop: a four-pixel
// frame on each side and a title bar above the menu bar.
constexpr int FramePixels = 4;
constexpr int TitleBarPixels = 19;

// Player labels: window-background colour behind black text.
CaptionLabel* PanelLabel(QWidget* parent, int top) {
    auto* label = new CaptionLabel(parent);
    label->setFont(SongTi(10.5));
    label->setAutoFillBackground(true);
    QPalette palette = label->palette();
    palette.setColor(QPalette::Window, palette.color(QPalette::Base));
    palette.setColor(QPalette::WindowText, Qt::black);
    label->setPalette(palette);
    Place(label, 120, top, PanelLabelWidth, 255);
    return label;
}

QPushButton* PanelButton(QWidget* parent, const QString& caption, const QString& toolTip, int left,
                         int top) {
    auto* button = new QPushButton(caption, parent);
    button->setFont(SongTi(9));
    button->setToolTip(toolTip);
    // Enter on a focused button presses that button, as on a dialog.
    button->setAutoDefault(true);
    Place(button, left, top, 1200, 375);
    return button;
}

} // namespace

// The client area below the menu bar. Everything printed on it stays, drawn again on every
// repaint in the order it was printed, with the font and colour it was printed in.
class PrintSurface : public QWidget {
public:
    explicit PrintSurface(QWidget* parent) : QWidget(parent) { setAutoFillBackground(true); }

    void print(QPointF topLeft, const QString& text) {
        printed_.push_back({topLeft, text, font(), palette().color(QPalette::WindowText)});
        update();
    }

protected:
    // The painter comes clipped to the region being repainted.
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        for (const Printed& item : printed_) {
            painter.setFont(item.font);
            painter.setPen(item.colour);
            const QRectF unbounded(item.topLeft, QSizeF(1e6, 1e6));
            painter.drawText(unbounded, Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip, item.text);
        }
    }

private:
    struct Printed {
        QPointF topLeft;
        QString text;
        QFont font;
        QColor colour;
    };
    std::vector<Printed> printed_;
};

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent) {
    setObjectName("frmMain");
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setWindowIcon(ProgramIcon());
    setFont(SansSerif(8.25, true));

    surface_ = new PrintSurface(this);
    setCentralWidget(surface_);
    createPlayersPanel();
    createBoard();
    createStatusLine();
    createMenus();
    connectControls();
    orderFocusChain();
    nameForScreenReaders();
    // The window gives this focus back when it is first activated.
    picBoard->setFocus();
    CentreWhenFirstShown(*this);
    setClientSize(TwipsToPixels(LayoutClientWidth), TwipsToPixels(LayoutClientHeight));
}

// Names a screen reader reads for the controls. Buttons and menus are read by their
// captions and tooltips; the labels are read by their captions, and by these titles while
// they have none.
void MainWindow::nameForScreenReaders() {
    fraContainer->setAccessibleName("对局信息");
    labBlack->setAccessibleTitle("黑方玩家");
    labBlackScore->setAccessibleTitle("黑方战绩");
    labWhite->setAccessibleTitle("白方玩家");
    labWhiteScore->setAccessibleTitle("白方战绩");
    labHe->setAccessibleTitle("对方名字");
    labHeSay->setAccessibleTitle("对方的话");
    labI->setAccessibleTitle("我的名字");
    labISay->setAccessibleTitle("我的话");
    txtMsg->setAccessibleName("对话内容");
    txtMsg->setAccessibleDescription("输入要发送给对方的一句话");
    picBoard->setAccessibleName("棋盘");
    picBoard->setAccessibleDescription("十五乘十五的棋盘，点击空格落子，或用方向键选格、回车落子");
    picBlock->setAccessibleName("棋子图样");
    lblStatus->setAccessibleTitle("连线状态");
}

void MainWindow::createPlayersPanel() {
    fraContainer = new QGroupBox(surface_);
    fraContainer->setObjectName("fraContainer");
    Place(fraContainer, 5280, 270, 3000, 4650);

    labBlack = PanelLabel(fraContainer, 240);
    labBlackScore = PanelLabel(fraContainer, 480);
    labWhite = PanelLabel(fraContainer, 960);
    labWhiteScore = PanelLabel(fraContainer, 1200);
    labHe = PanelLabel(fraContainer, 1680);
    labHeSay = PanelLabel(fraContainer, 1920);
    labI = PanelLabel(fraContainer, 2400);
    labISay = PanelLabel(fraContainer, 2880);
    const std::pair<QWidget*, const char*> names[] = {
        {labBlack, "labBlack"}, {labBlackScore, "labBlackScore"}, {labWhite, "labWhite"},
        {labWhiteScore, "labWhiteScore"}, {labHe, "labHe"}, {labHeSay, "labHeSay"},
        {labI, "labI"}, {labISay, "labISay"}};
    for (const auto& [widget, name] : names)
        widget->setObjectName(name);
    labHe->setAutoSizeMaxWidth(TwipsToPixels(PanelLabelWidth));
    labI->setAutoSizeMaxWidth(TwipsToPixels(PanelLabelWidth));

    txtMsg = new QLineEdit(fraContainer);
    txtMsg->setObjectName("txtMsg");
    txtMsg->setFont(SansSerif(8.25, false));
    Place(txtMsg, 120, 3360, 2805, 285);

    cmdSend = PanelButton(fraContainer, "对话", "发送消息", 240, 3720);
    cmdNew = PanelButton(fraContainer, "新局", "忽略本局", 1560, 3720);
    cmdLink = PanelButton(fraContainer, "重连", "重新连接", 240, 4110);
    cmdExit = PanelButton(fraContainer, "退出", "退出游戏", 1560, 4110);
    cmdSend->setObjectName("cmdSend");
    cmdNew->setObjectName("cmdNew");
    cmdLink->setObjectName("cmdLink");
    cmdExit->setObjectName("cmdExit");
    // Only drawn as the default; keyPressEvent makes Enter press it.
    cmdSend->setDefault(true);
}

void MainWindow::createBoard() {
    picBlock = new QLabel(surface_);
    picBlock->setPixmap(QPixmap::fromImage(StoneStrip()));
    picBlock->setFrameStyle(QFrame::Box | QFrame::Plain);
    picBlock->setLineWidth(1);
    QPalette blackBorder = picBlock->palette();
    blackBorder.setColor(QPalette::WindowText, Qt::black);
    picBlock->setPalette(blackBorder);
    picBlock->setGeometry(QRect(QPoint(TwipsToPixels(3240), TwipsToPixels(3720)), QSize(86, 22)));

    picBoard = new BoardPicture(surface_);
    picBoard->setObjectName("picBoard");
    picBoard->move(TwipsToPixels(360), TwipsToPixels(360));
    picBoard->setFocusPolicy(Qt::StrongFocus);
    // Later siblings lie above earlier ones; raise anyway so the strip can never show.
    picBoard->raise();
}

void MainWindow::createStatusLine() {
    lblStatus = new CaptionLabel(surface_);
    lblStatus->setObjectName("lblStatus");
    Place(lblStatus, 120, 5160, 8400, 300);
}

void MainWindow::createMenus() {
    QMenuBar* bar = menuBar();
    // The layout counts on a menu bar inside the window, not a desktop-wide one.
    bar->setNativeMenuBar(false);
    // Menus use the desktop's menu face, not the window's bold one.
    bar->setFont(SongTi(9));

    mnuFileBar = bar->addMenu("文件");
    mnuNew = mnuFileBar->addAction("新局");
    mnuFileBar->addSeparator();
    mnuExit = mnuFileBar->addAction("退出");

    mnuOperateBar = bar->addMenu("操作");
    mnuLink = mnuOperateBar->addAction("重连");
    mnuOperateBar->addSeparator();
    mnuTalk = mnuOperateBar->addAction("对话");
    mnuComputer = mnuOperateBar->addMenu("和电脑下");
    mnuComputer->setObjectName("mnuComputer");
    mnuComputer->menuAction()->setToolTip("等待加入或尚未连线时，请电脑来做对手");
    mnuComputer->menuAction()->setEnabled(false);
    int levels = 0;
    for (const char* level : {"初级", "中级", "高级"}) {
        QAction* item = mnuComputer->addAction(level);
        connect(item, &QAction::triggered, this,
                [this, strength = ++levels] { emit computerRequested(strength); });
    }
    mnuHint = mnuOperateBar->addAction("提示");
    mnuHint->setObjectName("mnuHint");
    mnuHint->setToolTip("和电脑下棋时，在棋盘上标出电脑认为最好的一步");
    mnuHint->setEnabled(false);
    connect(mnuHint, &QAction::triggered, this, &MainWindow::hintRequested);

    mnuHelp = bar->addMenu("帮助");
    mnuContent = mnuHelp->addAction("主题");
    mnuAbout = mnuHelp->addAction("关于");

    for (QMenu* menu : {mnuFileBar, mnuOperateBar, mnuHelp})
        menu->setFont(SongTi(9));
}

void MainWindow::connectControls() {
    connect(picBoard, &BoardPicture::mouseUp, this, &MainWindow::picBoard_MouseUp);
    // Each menu item does what its button does.
    for (auto [button, item, intention] :
         {std::tuple{cmdNew, mnuNew, &MainWindow::newGameRequested},
          std::tuple{cmdLink, mnuLink, &MainWindow::reconnectRequested},
          std::tuple{cmdExit, mnuExit, &MainWindow::exitRequested}}) {
        connect(button, &QPushButton::clicked, this, intention);
        connect(item, &QAction::triggered, this, intention);
    }
    connect(cmdSend, &QPushButton::clicked, this, &MainWindow::SendTalk);
    connect(mnuTalk, &QAction::triggered, this, &MainWindow::SendTalk);
    connect(mnuContent, &QAction::triggered, this, &MainWindow::helpRequested);
    connect(mnuAbout, &QAction::triggered, this, &MainWindow::aboutRequested);
    // A pasted line longer than the box takes is cut by the box; say so where it happened.
    connect(txtMsg, &QLineEdit::inputRejected, this, [this] {
        const QString note =
            QStringLiteral("一句话最多 %1 个字，多出的部分没有放进来。").arg(txtMsg->maxLength());
        txtMsg->setAccessibleDescription(note);
        QToolTip::showText(txtMsg->mapToGlobal(QPoint(0, txtMsg->height())), note, txtMsg);
    });
}

void MainWindow::picBoard_MouseUp(Qt::MouseButton button, QPointF position) {
    if (button != Qt::LeftButton)
        return;
    if (const auto cell = CellAt(position.x(), position.y()))
        emit cellClicked(*cell);
}

// The line is sent exactly as typed and stays in the box, so it can be sent again.
void MainWindow::SendTalk() {
    emit chatSubmitted(txtMsg->text());
}

QPoint MainWindow::boardOriginTwips() const {
    return picBoard->pos() * 15;
}

void MainWindow::setStatus(const QString& caption) {
    lblStatus->setCaption(caption);
}

void MainWindow::setStatusReason(const QString& reason) {
    statusReason_ = reason;
    showTurn();
}

// A board that takes no move takes no focus either, and Qt hands the focus on. When the
// player has not moved it since, the board takes it back with the turn, so that keyboard
// play goes on from the same cell.
void MainWindow::setTurn(bool myTurn) {
    const bool boardHadFocus = focusWidget() == picBoard;
    picBoard->setEnabled(myTurn);
    if (!myTurn && boardHadFocus) {
        focusLeftTo_ = focusWidget();
    } else if (myTurn && focusLeftTo_) {
        if (focusWidget() == focusLeftTo_)
            picBoard->setFocus(Qt::OtherFocusReason);
        focusLeftTo_ = nullptr;
    }
    myTurn_ = myTurn;
    showTurn();
}

void MainWindow::setMover(int color) {
    mover_ = color;
    showTurn();
}

// Why the link is down comes first; while it is up, whose move it is.
void MainWindow::showTurn() {
    const QString side = mover_ == Black ? QStringLiteral("黑方") : QStringLiteral("白方");
    const QString turn = mover_ == 0 ? QString()
                         : myTurn_   ? QStringLiteral("轮到您了（%1）").arg(side)
                                     : QStringLiteral("等待%1落子").arg(side);
    lblStatus->setReason(statusReason_.isEmpty() ? turn : statusReason_);
    picBoard->setPreviewColor(myTurn_ ? mover_ : 0);
    if (turn != turnNews_) {
        turnNews_ = turn;
        if (!turn.isEmpty())
            picBoard->announce(lastMove_.isEmpty() ? turn
                                                   : lastMove_ + QStringLiteral("，") + turn);
    }
}

void MainWindow::setBlackPlayer(const QString& caption) {
    labBlack->setCaption(caption);
}

void MainWindow::setWhitePlayer(const QString& caption) {
    labWhite->setCaption(caption);
}

void MainWindow::setRecord(const QString& black, const QString& white) {
    labBlackScore->setCaption(black);
    labWhiteScore->setCaption(white);
}

void MainWindow::setMyName(const QString& caption) {
    labI->setCaption(caption);
}

void MainWindow::setMyLine(const QString& line) {
    labISay->setCaption(line);
}

void MainWindow::setPeerName(const QString& caption) {
    labHe->setCaption(caption);
}

void MainWindow::setPeerLine(const QString& line) {
    labHeSay->setCaption(line);
}

void MainWindow::setChatLimit(int characters) {
    txtMsg->setMaxLength(characters);
}

void MainWindow::showStones(const Board& board, std::optional<Cell> latest) {
    picBoard->showStones(board, latest);
    if (latest) {
        const int color = board.at(latest->column, latest->row);
        // Told together with the turn that it brings.
        lastMove_ = (color == Black ? QStringLiteral("黑方") : QStringLiteral("白方")) +
                    QStringLiteral("下在 ") + BoardPicture::CellName(*latest);
    }
}

void MainWindow::markFive(std::pair<Cell, Cell> ends) {
    picBoard->markFive(ends);
    picBoard->announce(
        (picBoard->stoneAt(ends.first) == Black ? QStringLiteral("黑方") : QStringLiteral("白方")) +
        QStringLiteral("连成五子，从 %1 到 %2")
            .arg(BoardPicture::CellName(ends.first), BoardPicture::CellName(ends.second)));
}

void MainWindow::clearBoard() {
    picBoard->clearPicture();
    lastMove_.clear();
}

void MainWindow::setComputerAvailable(bool available) {
    mnuComputer->menuAction()->setEnabled(available);
}

void MainWindow::setHintAvailable(bool available) {
    mnuHint->setEnabled(available);
}

void MainWindow::setHint(std::optional<Cell> cell) {
    picBoard->setHint(cell);
}

void MainWindow::orderFocusChain() {
    QWidget* const order[] = {picBoard, txtMsg, cmdExit, cmdLink, cmdNew, cmdSend};
    for (std::size_t i = 1; i < std::size(order); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
}

void MainWindow::setClientSize(int width, int height) {
    setFixedSize(width, menuBar()->sizeHint().height() + height);
}

// The window manager draws the frame and title bar, so the outer size cannot be set as such.
// The window's own area gets the outer size less a classic fixed single frame; it is never
// made smaller than its controls, so the status line stays whole even when the title bar or
// menu bar of this desktop is taller than the classic ones.
void MainWindow::setOuterSize(int widthTwips, int heightTwips) {
    const int menuHeight = menuBar()->sizeHint().height();
    const QRect controls = surface_->childrenRect();
    const int width = TwipsToPixels(widthTwips) - 2 * FramePixels;
    const int clientHeight =
        TwipsToPixels(heightTwips) - 2 * FramePixels - TitleBarPixels - menuHeight;
    setClientSize(std::max(width, controls.right() + 1),
                  std::max(clientHeight, controls.bottom() + 1));
}

void MainWindow::printAt(double xTwips, double yTwips, const QString& text) {
    surface_->print(QPointF(TwipsToPixelsF(xTwips), TwipsToPixelsF(yTwips)), text);
}

void MainWindow::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && !isEnabled())
        emit activatedWhileDisabled();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    event->ignore();
    emit exitRequested();
}

// QMainWindow has no default button: Enter that no focused button took presses cmdSend.
void MainWindow::keyPressEvent(QKeyEvent* event) {
    if (!PressOnPlainEnter(event, cmdSend))
        QMainWindow::keyPressEvent(event);
}

} // namespace kelvane
