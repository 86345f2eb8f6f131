#include "app/QtModalDialogs.h"

#include <QDialog>

namespace kelvane {

void QtModalDialogs::showModal(QDialog& dialog) {
    dialog.exec();
}

} // namespace kelvane
