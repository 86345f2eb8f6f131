#include "ui/BoardPicture.h"

#include "ui/BoardGeometry.h"
#include "ui/Pictures.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QWindow>

#include <array>
#include <cmath>
#include <cstring>

namespace kelvane {

namespace {

// The bitmap sits inside a flat one-pixel black border.
constexpr int BorderWidth = 1;

// Qt hands widgets the pointer rounded to whole pixels. At a device pixel ratio above 1 it
// can lie between two of them, and rounding would move every cell's click zone by a device
// pixel; the event's position in its window is exact, so the rounding is undone from it.
// An event made up by code may give that position in another frame: a difference of more
// than half a pixel is no rounding, and then the position is taken as it is.
QPointF ExactPosition(const QWidget& widget, const QMouseEvent& event) {
    const QPointF rounded = event.position();
    const QPointF error = event.scenePosition() - widget.mapTo(widget.window(), rounded);
    if (std::abs(error.x()) > 0.5 || std::abs(error.y()) > 0.5)
        return rounded;
    return rounded + error;
}

constexpr int Sharp = 2;

int IndexOf(Cell cell) {
    return (cell.row - 1) * BoardSize + (cell.column - 1);
}

// One cell of the board as a screen reader meets it: its coordinates and what lies there.
class CellAccessible : public QAccessibleInterface, public QAccessibleTableCellInterface {
public:
    CellAccessible(BoardPicture* board, Cell cell) : board_(board), cell_(cell) {}

    bool isValid() const override { return board_ != nullptr; }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return board_->window()->windowHandle(); }
    QAccessibleInterface* parent() const override {
        return QAccessible::queryAccessibleInterface(board_);
    }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QString text(QAccessible::Text kind) const override {
        if (kind == QAccessible::Name)
            return board_->cellText(cell_);
        if (kind == QAccessible::Description && board_->cursor() == cell_)
            return board_->news();
        return {};
    }
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override {
        const QRect zone(1 + CellLeft(cell_.column), 1 + CellTop(cell_.row), CellWidth, CellHeight);
        return zone.translated(board_->mapToGlobal(QPoint(0, 0)));
    }
    QAccessible::Role role() const override { return QAccessible::Cell; }
    QAccessible::State state() const override {
        QAccessible::State state;
        state.focusable = true;
        state.focused = board_->hasFocus() && board_->cursor() == cell_;
        state.disabled = !board_->isEnabled();
        return state;
    }
    void* interface_cast(QAccessible::InterfaceType type) override {
        return type == QAccessible::TableCellInterface
                   ? static_cast<QAccessibleTableCellInterface*>(this)
                   : nullptr;
    }

    bool isSelected() const override { return false; }
    QList<QAccessibleInterface*> columnHeaderCells() const override { return {}; }
    QList<QAccessibleInterface*> rowHeaderCells() const override { return {}; }
    int columnIndex() const override { return cell_.column - 1; }
    int rowIndex() const override { return cell_.row - 1; }
    int columnExtent() const override { return 1; }
    int rowExtent() const override { return 1; }
    QAccessibleInterface* table() const override { return parent(); }

private:
    QPointer<BoardPicture> board_;
    Cell cell_;
};

// The board as a grid of 15 x 15 cells, the one under the keyboard's cursor focused.
class BoardAccessible : public QAccessibleWidget, public QAccessibleTableInterface {
public:
    explicit BoardAccessible(BoardPicture* board) : QAccessibleWidget(board, QAccessible::Table) {}
    ~BoardAccessible() override {
        for (QAccessible::Id id : ids_)
            if (id != 0)
                QAccessible::deleteAccessibleInterface(id);
    }

    BoardPicture* board() const { return static_cast<BoardPicture*>(widget()); }
    int childCount() const override { return BoardSize * BoardSize; }
    QAccessibleInterface* child(int index) const override {
        if (index < 0 || index >= childCount())
            return nullptr;
        QAccessible::Id& id = ids_[static_cast<std::size_t>(index)];
        if (id == 0)
            id = QAccessible::registerAccessibleInterface(
                new CellAccessible(board(), {index % BoardSize + 1, index / BoardSize + 1}));
        return QAccessible::accessibleInterface(id);
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        const QAccessibleTableCellInterface* cell =
            child ? const_cast<QAccessibleInterface*>(child)->tableCellInterface() : nullptr;
        return cell && child->parent() == this ? cell->rowIndex() * BoardSize + cell->columnIndex()
                                               : -1;
    }
    QAccessibleInterface* childAt(int x, int y) const override {
        const QPoint at = board()->mapFromGlobal(QPoint(x, y)) - QPoint(1, 1);
        const std::optional<Cell> cell = CellAt(at.x(), at.y());
        return cell ? child(IndexOf(*cell)) : nullptr;
    }
    QAccessibleInterface* focusChild() const override {
        return board()->hasFocus() ? child(IndexOf(board()->cursor())) : nullptr;
    }
    QString text(QAccessible::Text kind) const override {
        const QString text = QAccessibleWidget::text(kind);
        return kind == QAccessible::Description && !board()->news().isEmpty() ? board()->news()
                                                                              : text;
    }
    void* interface_cast(QAccessible::InterfaceType type) override {
        return type == QAccessible::TableInterface ? static_cast<QAccessibleTableInterface*>(this)
                                                   : QAccessibleWidget::interface_cast(type);
    }

    QAccessibleInterface* caption() const override { return nullptr; }
    QAccessibleInterface* summary() const override { return nullptr; }
    QAccessibleInterface* cellAt(int row, int column) const override {
        return Board::contains(column + 1, row + 1) ? child(row * BoardSize + column) : nullptr;
    }
    int selectedCellCount() const override { return 0; }
    QList<QAccessibleInterface*> selectedCells() const override { return {}; }
    QString columnDescription(int column) const override {
        return BoardPicture::CellName({column + 1, 1}).left(1);
    }
    QString rowDescription(int row) const override { return QString::number(row + 1); }
    int selectedColumnCount() const override { return 0; }
    int selectedRowCount() const override { return 0; }
    int columnCount() const override { return BoardSize; }
    int rowCount() const override { return BoardSize; }
    QList<int> selectedColumns() const override { return {}; }
    QList<int> selectedRows() const override { return {}; }
    bool isColumnSelected(int) const override { return false; }
    bool isRowSelected(int) const override { return false; }
    bool selectRow(int) override { return false; }
    bool selectColumn(int) override { return false; }
    bool unselectRow(int) override { return false; }
    bool unselectColumn(int) override { return false; }
    void modelChange(QAccessibleTableModelChangeEvent*) override {}

private:
    mutable std::array<QAccessible::Id, BoardSize * BoardSize> ids_{};
};

QAccessibleInterface* BoardAccessibleFactory(const QString& className, QObject* object) {
    if (className == QLatin1String(BoardPicture::staticMetaObject.className()) && object &&
        object->isWidgetType())
        return new BoardAccessible(static_cast<BoardPicture*>(object));
    return nullptr;
}

} // namespace

BoardPicture::BoardPicture(QWidget* parent)
    : QWidget(parent), image_(BoardBitmap()), strip_(StoneStrip()), sharpStrip_(StoneStrip2x()) {
    static const bool factoryInstalled =
        (QAccessible::installFactory(BoardAccessibleFactory), true);
    (void)factoryInstalled;
    sharpImage_ = image_.scaled(image_.size() * Sharp);
    setFixedSize(image_.width() + 2 * BorderWidth, image_.height() + 2 * BorderWidth);
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    // The image covers every pixel, so Qt need not clear the background first.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

// A plain block copy, scanline by scanline: both images are 32-bit RGB, and a stone
// replaces whatever was under it. The sharp picture gets the same stone at twice the size.
void BoardPicture::copySprite(int stripLeft, int x, int y) {
    const auto copy = [](const QImage& strip, QImage& image, QRect source, QPoint at) {
        source = source.intersected(strip.rect());
        const QRect target = QRect(at, source.size()).intersected(image.rect());
        if (target.isEmpty())
            return;
        const int fromX = source.left() + (target.left() - at.x());
        const int fromY = source.top() + (target.top() - at.y());
        const size_t rowBytes = static_cast<size_t>(target.width()) * sizeof(QRgb);
        for (int row = 0; row < target.height(); ++row) {
            const auto* from = reinterpret_cast<const QRgb*>(strip.constScanLine(fromY + row));
            auto* to = reinterpret_cast<QRgb*>(image.scanLine(target.top() + row));
            std::memcpy(to + target.left(), from + fromX, rowBytes);
        }
    };
    copy(strip_, image_, QRect(stripLeft, 0, CellWidth, CellHeight), QPoint(x, y));
    copy(sharpStrip_, sharpImage_,
         QRect(stripLeft * Sharp, 0, CellWidth * Sharp, CellHeight * Sharp), QPoint(x, y) * Sharp);
}

void BoardPicture::showStones(const Board& board, std::optional<Cell> latest) {
    board_ = board;
    for (int column = 1; column <= BoardSize; ++column) {
        for (int row = 1; row <= BoardSize; ++row) {
            const int color = board.at(column, row);
            if (color == Black || color == White)
                copySprite(SpriteLeft(color, latest == Cell{column, row}), CellLeft(column),
                           CellTop(row));
        }
    }
    tellCursor(QAccessible::NameChanged);
    update();
}

void BoardPicture::clearPicture() {
    image_ = BoardBitmap();
    sharpImage_ = image_.scaled(image_.size() * Sharp);
    board_.clear();
    five_.reset();
    tellCursor(QAccessible::NameChanged);
    update();
}

// A screen reader hears the suggested cell as the latest news.
void BoardPicture::setHint(std::optional<Cell> cell) {
    if (cell == hint_)
        return;
    hint_ = cell;
    if (cell)
        announce(QStringLiteral("提示：") + CellName(*cell));
    update();
}

void BoardPicture::setPreviewColor(int color) {
    previewColor_ = color;
    update();
}

void BoardPicture::markFive(std::pair<Cell, Cell> ends) {
    five_ = ends;
    update();
}

void BoardPicture::announce(const QString& news) {
    news_ = news;
    if (QAccessible::isActive()) {
        QAccessibleEvent boardEvent(this, QAccessible::DescriptionChanged);
        QAccessible::updateAccessibility(&boardEvent);
    }
    tellCursor(QAccessible::DescriptionChanged);
}

QString BoardPicture::CellName(Cell cell) {
    return QChar(u'A' + cell.column - 1) + QString::number(cell.row);
}

QString BoardPicture::cellText(Cell cell) const {
    static const QString contents[] = {QStringLiteral("空"), QStringLiteral("黑子"),
                                       QStringLiteral("白子")};
    const int code = stoneAt(cell);
    return CellName(cell) + QLatin1Char(' ') + contents[code == Black || code == White ? code : 0];
}

// The cell under the cursor is the one a screen reader follows: it hears the cell's name
// when the cursor lands on it, and the news as the cell's description.
void BoardPicture::tellCursor(int eventType) {
    if (!QAccessible::isActive() || (eventType == QAccessible::Focus && !hasFocus()))
        return;
    QAccessibleEvent event(this, static_cast<QAccessible::Event>(eventType));
    event.setChild(IndexOf(cursor_));
    QAccessible::updateAccessibility(&event);
}

void BoardPicture::moveCursor(Cell cell) {
    cursorShown_ = true;
    if (cell != cursor_) {
        cursor_ = cell;
        tellCursor(QAccessible::Focus);
    }
    update();
}

QRectF BoardPicture::cellRect(Cell cell) const {
    return QRectF(BorderWidth + CellLeft(cell.column), BorderWidth + CellTop(cell.row), CellWidth,
                  CellHeight);
}

void BoardPicture::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    const qreal ratio = devicePixelRatioF();
    if (ratio == 1) {
        painter.drawImage(QPoint(BorderWidth, BorderWidth), image_);
    } else {
        // Between whole ratios the sharp picture is scaled smoothly; at 2 it is exact.
        painter.setRenderHint(QPainter::SmoothPixmapTransform, ratio != Sharp);
        painter.drawImage(QRectF(BorderWidth, BorderWidth, image_.width(), image_.height()),
                          sharpImage_);
    }
    painter.setRenderHint(QPainter::Antialiasing);
    const auto centre = [this](Cell cell) { return cellRect(cell).topLeft() + QPointF(9.5, 9.5); };
    if (hovered_ && previewColor_ != 0 && board_.at(hovered_->column, hovered_->row) == Empty) {
        painter.setPen(QPen(QColor(0, 0, 0, 120), 1));
        painter.setBrush(previewColor_ == Black ? QColor(0, 0, 0, 110)
                                                : QColor(255, 255, 255, 150));
        painter.drawEllipse(centre(*hovered_), 9, 9);
    }
    if (five_) {
        painter.setPen(QPen(QColor(220, 0, 0, 210), 3, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(centre(five_->first), centre(five_->second));
    }
    // Corners only: they lie outside the round stone, so the cursor never hides one.
    if (cursorShown_ && hasFocus()) {
        const QRectF cell = cellRect(cursor_).adjusted(0.75, 0.75, -0.75, -0.75);
        painter.setPen(QPen(QColor(0, 70, 230), 1.5, Qt::SolidLine, Qt::SquareCap));
        constexpr double Arm = 4;
        for (const QPointF corner :
             {cell.topLeft(), cell.topRight(), cell.bottomLeft(), cell.bottomRight()}) {
            const double dx = corner.x() < cell.center().x() ? Arm : -Arm;
            const double dy = corner.y() < cell.center().y() ? Arm : -Arm;
            painter.drawPolyline(
                QList<QPointF>{corner + QPointF(dx, 0), corner, corner + QPointF(0, dy)});
        }
    }
    if (hint_) {
        painter.setPen(QPen(Qt::red, 2));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(cellRect(*hint_).adjusted(2, 2, -2, -2));
    }
}

void BoardPicture::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
    emit mouseUp(event->button(), ExactPosition(*this, *event) - QPointF(BorderWidth, BorderWidth));
}

void BoardPicture::mouseMoveEvent(QMouseEvent* event) {
    const QPointF at = ExactPosition(*this, *event) - QPointF(BorderWidth, BorderWidth);
    const std::optional<Cell> cell =
        rect().contains(event->position().toPoint()) ? CellAt(at.x(), at.y()) : std::nullopt;
    if (cell != hovered_) {
        hovered_ = cell;
        update();
    }
}

void BoardPicture::keyPressEvent(QKeyEvent* event) {
    const int c = cursor_.column, r = cursor_.row;
    const std::pair<int, Cell> moves[] = {{Qt::Key_Left, {std::max(1, c - 1), r}},
                                          {Qt::Key_Right, {std::min(BoardSize, c + 1), r}},
                                          {Qt::Key_Up, {c, std::max(1, r - 1)}},
                                          {Qt::Key_Down, {c, std::min(BoardSize, r + 1)}},
                                          {Qt::Key_Home, {1, r}},
                                          {Qt::Key_End, {BoardSize, r}},
                                          {Qt::Key_PageUp, {c, 1}},
                                          {Qt::Key_PageDown, {c, BoardSize}}};
    for (const auto& [key, to] : moves)
        if (event->key() == key)
            return moveCursor(to);
    const bool plain = (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    if (!plain || (event->key() != Qt::Key_Return && event->key() != Qt::Key_Enter &&
                   event->key() != Qt::Key_Space))
        return QWidget::keyPressEvent(event);
    moveCursor(cursor_);
    // The middle of the cursor's click zone, where a click would choose the same cell.
    emit mouseUp(Qt::LeftButton, QPointF(CellWidth * (c - 1) + CellWidth / 2.0,
                                         CellHeight * (r - 1) + CellHeight / 2.0));
}

void BoardPicture::focusInEvent(QFocusEvent* event) {
    if (event->reason() == Qt::TabFocusReason || event->reason() == Qt::BacktabFocusReason)
        cursorShown_ = true;
    // Qt tells of the focus on the board itself after this event: the cell follows, so that
    // the cell is what a screen reader reads last.
    QMetaObject::invokeMethod(
        this, [this] { tellCursor(QAccessible::Focus); }, Qt::QueuedConnection);
    update();
    QWidget::focusInEvent(event);
}

void BoardPicture::focusOutEvent(QFocusEvent* event) {
    update();
    QWidget::focusOutEvent(event);
}

// Over a board that waits for the peer the pointer says so. Qt shows the cursor of the
// nearest enabled widget, so the waiting one is set on the window while the pointer moves
// over this disabled picture; the next widget the pointer enters sets its own again.
void BoardPicture::showWaiting() {
    if (QWindow* window = this->window()->windowHandle())
        window->setCursor(Qt::WaitCursor);
}

bool BoardPicture::event(QEvent* event) {
    if (!isEnabled() && (event->type() == QEvent::MouseMove || event->type() == QEvent::Enter))
        showWaiting();
    if (event->type() == QEvent::Leave && hovered_) {
        hovered_.reset();
        update();
    }
    return QWidget::event(event);
}

void BoardPicture::changeEvent(QEvent* event) {
    if (event->type() == QEvent::EnabledChange) {
        hovered_.reset();
        if (!isEnabled() && underMouse())
            showWaiting();
        else
            setCursor(Qt::ArrowCursor);
        update();
    }
    QWidget::changeEvent(event);
}

} // namespace kelvane
