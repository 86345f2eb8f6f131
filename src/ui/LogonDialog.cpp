#include "ui/LogonDialog.h"

#include "ui/DefaultButton.h"
#include "ui/Fonts.h"
#include "ui/ScreenCentre.h"
#include "ui/Twips.h"

#include <QAbstractItemView>
#include <QCloseEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QCompleter>
#include <QScreen>
#include <QScrollBar>
#include <QStandardItemModel>
#include <QStyle>
#include <QTextDocument>
#include <QToolTip>

#include <algorithm>

namespace kelvane {

const QString LogonDialog::DefaultName = QStringLiteral("陈雨桐");

namespace {

// Labels keep their left and top and take the size of their caption. Both captions that
// labIP shows are equally wide, so sizing once fits either.
QLabel* SizedLabel(const QString& caption, QWidget* parent, int left, int top) {
    auto* label = new QLabel(caption, parent);
    label->setTextFormat(Qt::PlainText);
    label->move(TwipsToPixels(left), TwipsToPixels(top));
    label->adjustSize();
    return label;
}

} // namespace

LogonDialog::LogonDialog(QWidget* parent)
    : QWidget(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    setObjectName("frmLogon");
    // Every control uses it; the children inherit it.
    setFont(SongTi(10.5));
    setFixedSize(TwipsToPixels(4350), TwipsToPixels(1890));
    createControls();
    orderFocusChain();
    nameForScreenReaders();
    // The window gives this focus back when it is first activated.
    txtName->setFocus();
    CentreWhenFirstShown(*this);
}

// Names a screen reader reads for the controls. The labels name their text boxes; buttons,
// the frame and the option buttons are read by their captions.
void LogonDialog::nameForScreenReaders() {
    setAccessibleName("登录");
    labName->setBuddy(txtName);
    txtName->setAccessibleName("你的名字");
    labIP->setBuddy(txtIP);
    txtIP->setAccessibleName("主机IP地址");
}

void LogonDialog::createControls() {
    labName = SizedLabel("你的名字ID", this, 120, 120);
    txtName = new QLineEdit(DefaultName, this);
    Place(txtName, 1440, 120, 1575, 270);

    frmMode = new QGroupBox("游戏玩法", this);
    Place(frmMode, 240, 960, 2760, 780);
    optServer = new QRadioButton("作为主机", frmMode);
    Place(optServer, 165, 360, 1215, 255);
    optServer->setChecked(true);
    optClient = new QRadioButton("加入连线", frmMode);
    Place(optClient, 1455, 360, 1215, 255);

    labIP = SizedLabel("你的主机IP", this, 135, 555);
    txtIP = new QLineEdit(this);
    Place(txtIP, 1440, 525, 1575, 315);

    cmdOK = new QPushButton("确定", this);
    Place(cmdOK, 3120, 420, 1095, 375);
    cmdEnd = new QPushButton("结束", this);
    Place(cmdEnd, 3120, 1140, 1095, 375);
    // Enter on a focused button presses that button; elsewhere keyPressEvent presses cmdOK.
    cmdOK->setAutoDefault(true);
    cmdEnd->setAutoDefault(true);
    cmdOK->setDefault(true);

    const std::pair<QWidget*, const char*> names[] = {
        {txtName, "txtName"}, {optServer, "optServer"}, {optClient, "optClient"},
        {labIP, "labIP"},     {txtIP, "txtIP"},         {cmdOK, "cmdOK"},
        {cmdEnd, "cmdEnd"}};
    for (const auto& [widget, name] : names)
        widget->setObjectName(name);

    connect(optServer, &QRadioButton::clicked, this, &LogonDialog::hostChosen);
    connect(optClient, &QRadioButton::clicked, this, &LogonDialog::joinChosen);
    connect(cmdOK, &QPushButton::clicked, this,
            [this] { emit confirmed(txtName->text(), txtIP->text()); });
    connect(cmdEnd, &QPushButton::clicked, this, &LogonDialog::endRequested);

    // Found hosts: the list shows "name — address", picking one fills in the address.
    suggestions_ = new QStandardItemModel(this);
    completer_ = new QCompleter(suggestions_, this);
    completer_->setCompletionRole(Qt::UserRole);
    completer_->setFilterMode(Qt::MatchContains);
    completer_->setCaseSensitivity(Qt::CaseInsensitive);
    txtIP->setCompleter(completer_);
}

void LogonDialog::setAddressCaption(const QString& caption) {
    labIP->setText(caption);
}

void LogonDialog::setAddress(const QString& address) {
    txtIP->setText(address);
}

void LogonDialog::setAddressNote(const QString& note) {
    note_ = note;
    txtIP->setToolTip(note);
    txtIP->setAccessibleDescription(note);
}

void LogonDialog::selectAddress() {
    txtIP->setSelection(0, txtIP->text().size());
    txtIP->setFocus();
}

void LogonDialog::showProblem(const QString& problem) {
    txtIP->setToolTip(problem);
    txtIP->setAccessibleDescription(problem);
    QToolTip::showText(txtIP->mapToGlobal(QPoint(0, txtIP->height())), problem, txtIP);
    // The next change of the address makes the problem old news.
    connect(
        txtIP, &QLineEdit::textEdited, this, [this] { setAddressNote(note_); },
        Qt::SingleShotConnection);
}

void LogonDialog::setSuggestions(const QList<HostSuggestion>& hosts) {
    suggestions_->clear();
    QAbstractItemView* popup = completer_->popup();
    int widest = 0;
    for (const HostSuggestion& host : hosts) {
        auto* item = new QStandardItem(host.shown);
        item->setData(host.address, Qt::UserRole);
        // A tooltip takes what looks like markup as markup; names are shown as typed.
        item->setToolTip(Qt::mightBeRichText(host.shown)
                             ? Qt::convertFromPlainText(host.shown, Qt::WhiteSpaceNoWrap)
                             : host.shown);
        item->setData(host.shown, Qt::AccessibleTextRole);
        item->setEditable(false);
        suggestions_->appendRow(item);
        widest = std::max(widest, popup->fontMetrics().horizontalAdvance(host.shown));
    }
    // The drop-down would be as narrow as the address box, which cuts off the addresses; it
    // is made as wide as its widest entry, with room for the item margins, frame and scroll
    // bar, and no wider than the screen.
    const int itemMargins = 2 * (popup->style()->pixelMetric(QStyle::PM_FocusFrameHMargin) + 1);
    const int chrome = 2 * popup->frameWidth() + popup->verticalScrollBar()->sizeHint().width();
    popup->setMinimumWidth(
        std::min(widest + itemMargins + chrome, txtIP->screen()->availableGeometry().width()));
    // Shown at once while the user is at the address box and has not typed a filter.
    if (!hosts.isEmpty() && txtIP->hasFocus() && txtIP->text().isEmpty())
        completer_->complete();
}

void LogonDialog::orderFocusChain() {
    QWidget* const order[] = {txtName, optServer, optClient, txtIP, cmdOK, cmdEnd};
    for (std::size_t i = 1; i < std::size(order); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
}

void LogonDialog::closeEvent(QCloseEvent* event) {
    event->ignore();
    emit endRequested();
}

// A plain widget window has no default button: Enter that no focused button took presses
// cmdOK. Esc is swallowed here, since the dialog has no cancel button.
void LogonDialog::keyPressEvent(QKeyEvent* event) {
    if (PressOnPlainEnter(event, cmdOK))
        return;
    if (event->key() == Qt::Key_Escape && IsPlainKey(*event)) {
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

} // namespace kelvane
