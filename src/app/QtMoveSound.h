#pragma once

#include "app/Services.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>

class QSoundEffect;

namespace kelvane {

// The move sound through Qt Multimedia. It never holds the caller: it is done when the file
// has played for its own length, and never waits on an audio system that is not there:
// without the file, a loadable sound or an output device it beeps and is done at once.
class QtMoveSound : public QObject, public MoveSound {
public:
    // What the latest play() did.
    enum class Outcome {
        NothingYet,
        Played,
        BeepedNoFile,        // no "Move.wav" in the current directory
        BeepedNoAudioOutput, // the machine has no sound device
        BeepedNotLoadable,   // the file is there but is not a sound Qt can play
    };

    QtMoveSound();
    ~QtMoveSound() override;

    void play(std::function<void()> done) override;
    Outcome lastOutcome() const { return lastOutcome_; }

private:
    void startLoaded();
    void beep(Outcome why);
    void finish();

    // One effect, made on first use and kept: loading a sound is slow next to playing it.
    std::unique_ptr<QSoundEffect> effect_;
    QString loadedPath_;
    int lengthMs_ = 0;
    QTimer clock_;
    std::function<void()> done_;
    Outcome lastOutcome_ = Outcome::NothingYet;
};

} // namespace kelvane
