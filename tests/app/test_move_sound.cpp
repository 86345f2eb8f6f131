// The move sound service on a machine without audio: it must find "Move.wav" by relative
// name in whatever the current directory is at the time, and fall back to the beep at once.

#include "app/QtMoveSound.h"

#include <QAudioDevice>
#include <QDir>
#include <QFile>
#include <QMediaDevices>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

using namespace kelvane;

namespace {

using Outcome = QtMoveSound::Outcome;

void AppendLE(QByteArray& out, quint32 value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.append(static_cast<char>((value >> (8 * i)) & 0xff));
}

// A valid 50 ms, 16-bit mono WAV of silence.
QByteArray SilentWave() {
    const quint32 rate = 22050, samples = rate / 20, dataBytes = samples * 2;
    QByteArray wave("RIFF");
    AppendLE(wave, 36 + dataBytes, 4);
    wave.append("WAVEfmt ");
    AppendLE(wave, 16, 4);
    AppendLE(wave, 1, 2);
    AppendLE(wave, 1, 2);
    AppendLE(wave, rate, 4);
    AppendLE(wave, rate * 2, 4);
    AppendLE(wave, 2, 2);
    AppendLE(wave, 16, 2);
    wave.append("data");
    AppendLE(wave, dataBytes, 4);
    wave.append(QByteArray(dataBytes, '\0'));
    return wave;
}

bool WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

bool MachineHasAudioOutput() {
    return !QMediaDevices::audioOutputs().isEmpty();
}

} // namespace

class TestMoveSound : public QObject {
    Q_OBJECT

private slots:
    void init() { startDir_ = QDir::currentPath(); }
    void cleanup() { QDir::setCurrent(startDir_); }

    void missingFileBeepsAndReturns();
    void directoryNamedLikeTheSoundIsNoSound();
    void looksUpTheFileInTheCurrentDirectoryOfEachCall();

private:
    QString startDir_;
};

void TestMoveSound::missingFileBeepsAndReturns() {
    QTemporaryDir empty;
    QVERIFY(empty.isValid());
    QVERIFY(QDir::setCurrent(empty.path()));
    QtMoveSound sound;
    QCOMPARE(sound.lastOutcome(), Outcome::NothingYet);
    sound.playToEnd();
    QCOMPARE(sound.lastOutcome(), Outcome::BeepedNoFile);
    sound.playToEnd();
    QCOMPARE(sound.lastOutcome(), Outcome::BeepedNoFile);
}

void TestMoveSound::directoryNamedLikeTheSoundIsNoSound() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(QDir(dir.path()).mkdir("Move.wav"));
    QVERIFY(QDir::setCurrent(dir.path()));
    QtMoveSound sound;
    sound.playToEnd();
    QCOMPARE(sound.lastOutcome(), Outcome::BeepedNoFile);
}

void TestMoveSound::looksUpTheFileInTheCurrentDirectoryOfEachCall() {
    if (MachineHasAudioOutput())
        QSKIP("this machine has a sound device; tests never wait for audio");
    QTemporaryDir without, with;
    QVERIFY(without.isValid() && with.isValid());
    QVERIFY(WriteFile(QDir(with.path()).filePath("Move.wav"), SilentWave()));
    QtMoveSound sound;

    QVERIFY(QDir::setCurrent(without.path()));
    sound.playToEnd();
    QCOMPARE(sound.lastOutcome(), Outcome::BeepedNoFile);

    // The file is found now, and only the missing device stops it from playing.
    QVERIFY(QDir::setCurrent(with.path()));
    sound.playToEnd();
    QCOMPARE(sound.lastOutcome(), Outcome::BeepedNoAudioOutput);

    QVERIFY(QDir::setCurrent(without.path()));
    sound.playToEnd();
    QCOMPARE(sound.lastOutcome(), Outcome::BeepedNoFile);
}

QTEST_MAIN(TestMoveSound)
#include "test_move_sound.moc"
