#include "app/QuitProgram.h"

#include <QCoreApplication>

namespace kelvane {

void QuitProgram::endNow() {
    QCoreApplication::exit(0);
}

} // namespace kelvane
