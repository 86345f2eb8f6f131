#include "app/QtMoveSound.h"

#include <QApplication>
#include <QAudioDevice>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMediaDevices>
#include <QSoundEffect>
#include <QUrl>
#include <QtEndian>

#include <algorithm>
#include <utility>
#include <optional>

namespace kelvane {

namespace {

const char* const SoundFileName = "Move.wav";

// Loading reads a small local file; past this something is wrong with the audio stack.
constexpr int LoadTimeoutMs = 3000;
// When the file's length cannot be read, the sound counts as this long.
constexpr int UnknownLengthMs = 300;
constexpr int LongestSoundMs = 10000;

bool HasAudioOutput() {
    return !QMediaDevices::audioOutputs().isEmpty() &&
           !QMediaDevices::defaultAudioOutput().isNull();
}

quint32 ReadLE32(const QByteArray& bytes, int offset) {
    return qFromLittleEndian<quint32>(bytes.constData() + offset);
}

// The playing time of a RIFF/WAVE file, from its byte rate and the size of its data.
std::optional<int> WaveLengthMs(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray riff = file.read(12);
    if (riff.size() < 12 || !riff.startsWith("RIFF") || riff.mid(8, 4) != "WAVE")
        return std::nullopt;
    quint32 byteRate = 0;
    for (;;) {
        const QByteArray header = file.read(8);
        if (header.size() < 8)
            return std::nullopt;
        const quint32 size = ReadLE32(header, 4);
        const qint64 next = file.pos() + size + (size & 1);
        if (header.startsWith("fmt ")) {
            const QByteArray format = file.read(16);
            if (format.size() < 16)
                return std::nullopt;
            byteRate = ReadLE32(format, 8);
        } else if (header.startsWith("data")) {
            if (byteRate == 0)
                return std::nullopt;
            return static_cast<int>(
                std::min<qint64>(qint64(size) * 1000 / byteRate, LongestSoundMs));
        }
        if (!file.seek(next))
            return std::nullopt;
    }
}

} // namespace

QtMoveSound::QtMoveSound() {
    clock_.setSingleShot(true);
    connect(&clock_, &QTimer::timeout, this, &QtMoveSound::finish);
}

QtMoveSound::~QtMoveSound() = default;

void QtMoveSound::play(std::function<void()> done) {
    finish();
    done_ = std::move(done);
    // Looked up at every move: the Help menu may change the current directory.
    const QString path = QDir::current().absoluteFilePath(QString::fromLatin1(SoundFileName));
    if (!QFileInfo(path).isFile())
        return beep(Outcome::BeepedNoFile);
    if (!HasAudioOutput())
        return beep(Outcome::BeepedNoAudioOutput);
    if (!effect_) {
        effect_ = std::make_unique<QSoundEffect>();
        connect(effect_.get(), &QSoundEffect::statusChanged, this, [this] {
            if (!done_ || clock_.isActive() == false)
                return;
            if (effect_->status() == QSoundEffect::Ready && lastOutcome_ == Outcome::NothingYet)
                startLoaded();
            else if (effect_->status() == QSoundEffect::Error)
                beep(Outcome::BeepedNotLoadable);
        });
    }
    lastOutcome_ = Outcome::NothingYet;
    if (loadedPath_ != path) {
        loadedPath_ = path;
        lengthMs_ = WaveLengthMs(path).value_or(UnknownLengthMs);
        effect_->setSource(QUrl::fromLocalFile(path));
    }
    if (effect_->status() == QSoundEffect::Ready)
        return startLoaded();
    if (effect_->status() == QSoundEffect::Error)
        return beep(Outcome::BeepedNotLoadable);
    // Still loading: the status change starts it, and the clock gives up on a load that
    // never ends.
    clock_.start(LoadTimeoutMs);
}

void QtMoveSound::startLoaded() {
    lastOutcome_ = Outcome::Played;
    effect_->play();
    clock_.start(lengthMs_);
}

void QtMoveSound::beep(Outcome why) {
    lastOutcome_ = why;
    if (why == Outcome::BeepedNotLoadable) {
        // Try the file afresh next time: it may have been replaced.
        loadedPath_.clear();
        effect_->setSource(QUrl());
    }
    QApplication::beep();
    // Done from the event loop, as a sound that played would be.
    clock_.start(0);
}

void QtMoveSound::finish() {
    clock_.stop();
    if (lastOutcome_ == Outcome::NothingYet) { // the load never ended
        lastOutcome_ = Outcome::BeepedNotLoadable;
        QApplication::beep();
    }
    if (auto done = std::exchange(done_, nullptr))
        done();
}

} // namespace kelvane
