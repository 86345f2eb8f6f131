#include "ui/AboutBox.h"

#include "ui/Fonts.h"
#include "ui/Pictures.h"
#include "ui/Twips.h"

#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>

namespace kelvane {

namespace {

QLabel* TextLabel(const QString& text, QWidget* parent, QRect twips) {
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Place(label, twips.x(), twips.y(), twips.width(), twips.height());
    return label;
}

void SetTextColour(QLabel* label, const QColor& colour) {
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
}

} // namespace

AboutBox::AboutBox(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
    setObjectName("frmAbout");
    setWindowTitle("Kelvane - 关于");
    setWindowIcon(ProgramIcon());
    // The classic dialog face, at a size that does not depend on the screen's DPI.
    setFont(SansSerif(8.25, false));
    setFixedSize(TwipsToPixels(5865), TwipsToPixels(3525));
    setSizeGripEnabled(false);

    // The icon's picture box takes the size of its picture, 32 x 32.
    picIcon = new QLabel(this);
    picIcon->setPixmap(ProgramIcon().pixmap(32, 32));
    picIcon->setAutoFillBackground(true);
    QPalette silver = picIcon->palette();
    silver.setColor(QPalette::Window, QColor(192, 192, 192));
    picIcon->setPalette(silver);
    picIcon->setGeometry(QRect(QPoint(TwipsToPixels(240), TwipsToPixels(240)), QSize(32, 32)));
    // A picture has no text for a screen reader to read; the other controls are read by theirs.
    picIcon->setAccessibleName("程序图标");

    createTexts();
    createButtons();
}

void AboutBox::createTexts() {
    lblTitle = TextLabel("Application Title", this, QRect(1200, 240, 4095, 480));
    lblTitle->setFont(SansSerif(12, true));
    SetTextColour(lblTitle, QColor(64, 0, 0));

    lblVersion = TextLabel("Version", this, QRect(1200, 780, 4095, 225));

    lblDescription = TextLabel("五子棋，亦称\"五子连珠\"等，起源于尧帝时期。日文称\"五石\"等，"
                               "英文称\"Gobang\"等。",
                               this, QRect(1200, 1125, 4095, 570));
    lblDescription->setWordWrap(true);
    SetTextColour(lblDescription, Qt::black);

    lblCopyright =
        TextLabel("Copyright (C) 2026 Kelvane 开发组", this, QRect(1200, 1920, 4095, 195));
    // Moves without a button held reach only widgets that track the mouse.
    lblCopyright->setMouseTracking(true);
    lblCopyright->installEventFilter(this);
    setMouseTracking(true);

    lblDisclaimer = TextLabel("警告：本程序受著作权法保护。未经授权，任何人不得擅自复制或传播本程序"
                              "的全部或部分，违者依法追究责任。",
                              this, QRect(255, 2625, 3870, 705));
    lblDisclaimer->setWordWrap(true);
    SetTextColour(lblDisclaimer, Qt::black);
}

void AboutBox::createButtons() {
    cmdOK = new QPushButton("OK", this);
    Place(cmdOK, 4245, 2625, 1467, 345);
    cmdOK->setDefault(true);
    cmdSysInfo = new QPushButton("&System Info...", this);
    Place(cmdSysInfo, 4260, 3075, 1452, 345);
    connect(cmdOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(cmdSysInfo, &QPushButton::clicked, this, &AboutBox::sysInfoRequested);
    cmdOK->setObjectName("cmdOK");
    cmdSysInfo->setObjectName("cmdSysInfo");
    lblCopyright->setObjectName("lblCopyright");
    lblTitle->setObjectName("lblTitle");
    lblVersion->setObjectName("lblVersion");

    QWidget::setTabOrder(cmdOK, cmdSysInfo);
    cmdOK->setFocus();
}

void AboutBox::setIcon(const QIcon& icon) {
    setWindowIcon(icon);
    picIcon->setPixmap(icon.pixmap(picIcon->size()));
}

void AboutBox::setTitle(const QString& title) {
    lblTitle->setText(title);
}

void AboutBox::setVersion(const QString& version) {
    lblVersion->setText(version);
}

bool AboutBox::eventFilter(QObject* watched, QEvent* event) {
    if (watched == lblCopyright) {
        if (event->type() == QEvent::MouseMove) {
            SetTextColour(lblCopyright, QColor(0, 255, 0));
        } else if (event->type() == QEvent::MouseButtonRelease) {
            const auto* release = static_cast<QMouseEvent*>(event);
            if (release->button() == Qt::LeftButton &&
                lblCopyright->rect().contains(release->position().toPoint()))
                emit copyrightClicked();
        }
    }
    return QDialog::eventFilter(watched, event);
}

// Moves over the notice line come here as well, passed on by the label, which does not take
// them itself: only a move over the bare background turns the line black.
void AboutBox::mouseMoveEvent(QMouseEvent* event) {
    if (childAt(event->position().toPoint()) == nullptr)
        SetTextColour(lblCopyright, Qt::black);
    QDialog::mouseMoveEvent(event);
}

// OK is the cancel button as well: Esc presses it rather than just rejecting the box.
void AboutBox::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        cmdOK->click();
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

// The etched separator: a grey line with a white line of two pixels just below it.
void AboutBox::paintEvent(QPaintEvent* event) {
    QDialog::paintEvent(event);
    QPainter painter(this);
    const int right = TwipsToPixels(5657);
    const int greyTop = TwipsToPixels(2430);
    const int whiteTop = TwipsToPixels(2445);
    const int greyLeft = TwipsToPixels(225);
    const int whiteLeft = TwipsToPixels(240);
    painter.fillRect(QRect(whiteLeft, whiteTop, right - whiteLeft + 1, 2), Qt::white);
    painter.fillRect(QRect(greyLeft, greyTop, right - greyLeft + 1, 1), QColor(128, 128, 128));
}

} // namespace kelvane
