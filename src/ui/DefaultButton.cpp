#include "ui/DefaultButton.h"

#include <QKeyEvent>
#include <QPushButton>

namespace kelvane {

bool IsPlainKey(const QKeyEvent& event) {
    return (event.modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
}

bool PressOnPlainEnter(QKeyEvent* event, QPushButton* button) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (!enter || !IsPlainKey(*event))
        return false;
    if (button->isVisible() && button->isEnabled())
        button->click();
    event->accept();
    return true;
}

} // namespace kelvane
