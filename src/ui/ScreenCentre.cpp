#include "ui/ScreenCentre.h"

#include <QScreen>
#include <QWidget>

namespace kelvane {

void CentreOnScreen(QWidget& window) {
    const QScreen* screen = window.screen();
    if (screen == nullptr)
        return;
    QRect frame = window.frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    window.move(frame.topLeft());
}

} // namespace kelvane
