#include "ui/ScreenCentre.h"

#include <QEvent>
#include <QScreen>
#include <QWidget>
#include <QWindow>

namespace kelvane {

namespace {

void CentreOnScreen(QWidget& window) {
    const QScreen* screen = window.screen();
    if (screen == nullptr)
        return;
    QRect frame = window.frameGeometry();
    const QWindow* handle = window.windowHandle();
    const QWindow* owner = handle ? handle->transientParent() : nullptr;
    frame.moveCenter(owner && owner->isVisible() ? owner->frameGeometry().center()
                                                 : screen->availableGeometry().center());
    window.move(frame.topLeft());
}

// Sees the window's first show event, which comes before the window appears, then goes.
class FirstShowCentring : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show) {
            CentreOnScreen(*static_cast<QWidget*>(watched));
            watched->removeEventFilter(this);
            deleteLater();
        }
        return false;
    }
};

} // namespace

void CentreWhenFirstShown(QWidget& window) {
    window.installEventFilter(new FirstShowCentring(&window));
}

void BelongTo(QWidget& dialog, QWidget& owner) {
    dialog.winId();
    owner.winId();
    dialog.windowHandle()->setTransientParent(owner.windowHandle());
}

} // namespace kelvane
