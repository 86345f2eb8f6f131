#pragma once

#include <QString>

class QWidget;

namespace kelvane {

// Platform services sit behind these small interfaces so that tests can run two players in
// one process without a sound device, a person to click a message box, or a real exit.

class MoveSound {
public:
    virtual ~MoveSound() = default;
    // Plays "Move.wav" from the current directory and returns when it has finished. Falls
    // back to the system beep, at once, when the file or the audio device is missing.
    virtual void playToEnd() = 0;
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

} // namespace kelvane
