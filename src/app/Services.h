#pragma once

#include <QString>
#include <QtGlobal>

#include <functional>

class QDialog;
class QWidget;

namespace kelvane {

// Platform services sit behind these small interfaces so that tests can run two players in
// one process without a sound device, a person to click a message box, or a real exit.

class MoveSound {
public:
    virtual ~MoveSound() = default;
    // Starts "Move.wav" from the current directory and returns at once; `done` runs from the
    // event loop once the sound has ended. Falls back to the system beep, and is done at
    // once, when the file or the audio device is missing. A sound started while another
    // plays cuts that one short: its `done` runs first.
    virtual void play(std::function<void()> done) = 0;
};

class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    // A modal box with the information icon and one OK button; returns when it is closed.
    virtual void information(QWidget* parent, const QString& title, const QString& text) = 0;
    // The same without an icon.
    virtual void plain(QWidget* parent, const QString& title, const QString& text) = 0;
};

class ProgramEnd {
public:
    virtual ~ProgramEnd() = default;
    // Ends the program at once; no further handler of this player runs.
    virtual void endNow() = 0;
};

class ModalDialogs {
public:
    virtual ~ModalDialogs() = default;
    // Shows the dialog modally and returns when it has been closed. Events that are not
    // user input, such as the peer's messages, go on being handled meanwhile.
    virtual void showModal(QDialog& dialog) = 0;
};

// Starts other programs and returns at once, without waiting for them. Each call tells
// whether the program could be started.
class Launcher {
public:
    virtual ~Launcher() = default;
    // Runs a program in a normal window that gets the focus.
    virtual bool startProgram(const QString& program) = 0;
    // Opens a file in the desktop's text editor.
    virtual bool openInTextEditor(const QString& path) = 0;
    // Opens a web address in the desktop's browser.
    virtual bool openInBrowser(const QString& address) = 0;
};

} // namespace kelvane
