#include "app/QtMoveSound.h"

#include <QApplication>
#include <QAudioDevice>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QMediaDevices>
#include <QSoundEffect>
#include <QTimer>
#include <QUrl>
#include <QtEndian>

#include <algorithm>
#include <functional>
#include <optional>

namespace kelvane {

namespace {

const char* const SoundFileName = "Move.wav";

// Loading reads a small local file; past this something is wrong with the audio stack.
constexpr int LoadTimeoutMs = 3000;
// How much longer than the sound itself we wait for the audio system to report its end.
constexpr int PlayMarginMs = 150;
constexpr int UnknownLengthMs = 2000;
constexpr int LongestSoundMs = 10000;

// Only the sound's arrival and end may run while we wait: user input and socket events
// stay queued, so no second click or incoming move slips in while the sound plays.
constexpr QEventLoop::ProcessEventsFlags WaitFlags =
    QEventLoop::ExcludeUserInputEvents | QEventLoop::ExcludeSocketNotifiers;

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

// Runs the sound's events until done() holds or the time is up. done() is checked on
// every change of the sound and once more at recheckMs, when that is given.
void WaitFor(QSoundEffect& effect, const std::function<bool()>& done, int timeoutMs,
             int recheckMs = -1) {
    if (done())
        return;
    QEventLoop loop;
    const auto check = [&] {
        if (done())
            loop.quit();
    };
    QTimer safety, recheck;
    safety.setSingleShot(true);
    recheck.setSingleShot(true);
    QObject::connect(&safety, &QTimer::timeout, &loop, &QEventLoop::quit);
    QObject::connect(&recheck, &QTimer::timeout, &loop, check);
    QObject::connect(&effect, &QSoundEffect::statusChanged, &loop, check);
    QObject::connect(&effect, &QSoundEffect::playingChanged, &loop, check);
    safety.start(timeoutMs);
    if (recheckMs >= 0)
        recheck.start(recheckMs);
    loop.exec(WaitFlags);
}

} // namespace

QtMoveSound::QtMoveSound() = default;
QtMoveSound::~QtMoveSound() = default;

void QtMoveSound::playToEnd() {
    // Looked up at every move: the Help menu may change the current directory.
    const QString path = QDir::current().absoluteFilePath(QString::fromLatin1(SoundFileName));
    lastOutcome_ = play(path);
    if (lastOutcome_ != Outcome::Played)
        QApplication::beep();
}

QtMoveSound::Outcome QtMoveSound::play(const QString& path) {
    if (!QFileInfo(path).isFile())
        return Outcome::BeepedNoFile;
    if (!HasAudioOutput())
        return Outcome::BeepedNoAudioOutput;
    if (!load(path))
        return Outcome::BeepedNotLoadable;
    waitUntilPlayed(WaveLengthMs(path));
    return Outcome::Played;
}

bool QtMoveSound::load(const QString& path) {
    if (!effect_)
        effect_ = std::make_unique<QSoundEffect>();
    if (loadedPath_ != path) {
        loadedPath_ = path;
        effect_->setSource(QUrl::fromLocalFile(path));
    }
    QSoundEffect& effect = *effect_;
    WaitFor(
        effect, [&effect] { return effect.status() != QSoundEffect::Loading; }, LoadTimeoutMs);
    if (effect.status() == QSoundEffect::Ready)
        return true;
    // Try the file afresh next time: it may have been replaced.
    loadedPath_.clear();
    effect.setSource(QUrl());
    return false;
}

// The playing flag alone is no clock: with some audio back ends it falls as soon as the
// samples are handed over, with others it stays up long after they have sounded. So the
// wait lasts at least the file's own length, and at most that plus a margin.
void QtMoveSound::waitUntilPlayed(std::optional<int> lengthMs) {
    QSoundEffect& effect = *effect_;
    const int shortest = lengthMs.value_or(0);
    const int longest = lengthMs ? *lengthMs + PlayMarginMs : UnknownLengthMs;
    QElapsedTimer clock;
    const auto finished = [&] {
        if (effect.status() == QSoundEffect::Error)
            return true;
        return clock.elapsed() >= shortest && !effect.isPlaying();
    };
    clock.start();
    effect.play();
    WaitFor(effect, finished, longest, shortest);
}

} // namespace kelvane
