#pragma once

class QKeyEvent;
class QPushButton;

namespace kelvane {

// Whether the key came without modifiers (the keypad's Enter counts as plain).
bool IsPlainKey(const QKeyEvent& event);

// What a dialog's default button does, for windows that have none of their own: a plain
// Enter or Return that no focused button took presses `button` when it can be pressed.
// Returns whether the key was such an Enter; it is then used up either way.
bool PressOnPlainEnter(QKeyEvent* event, QPushButton* button);

} // namespace kelvane
