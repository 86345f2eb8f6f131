#pragma once

#include "app/Services.h"

#include <QString>

#include <memory>
#include <optional>

class QSoundEffect;

namespace kelvane {

// The move sound through Qt Multimedia. Playing holds the caller until the sound has ended,
// as a synchronous system sound call would, but never waits on an audio system that is not
// there: without the file, a loadable sound or an output device it beeps and returns.
class QtMoveSound : public MoveSound {
public:
    // What the latest playToEnd() did.
    enum class Outcome {
        NothingYet,
        Played,
        BeepedNoFile,        // no "Move.wav" in the current directory
        BeepedNoAudioOutput, // the machine has no sound device
        BeepedNotLoadable,   // the file is there but is not a sound Qt can play
    };

    QtMoveSound();
    ~QtMoveSound() override;

    void playToEnd() override;
    Outcome lastOutcome() const { return lastOutcome_; }

private:
    Outcome play(const QString& path);
    bool load(const QString& path);
    void waitUntilPlayed(std::optional<int> lengthMs);

    // One effect, made on first use and kept: loading a sound is slow next to playing it.
    std::unique_ptr<QSoundEffect> effect_;
    QString loadedPath_;
    Outcome lastOutcome_ = Outcome::NothingYet;
};

} // namespace kelvane
