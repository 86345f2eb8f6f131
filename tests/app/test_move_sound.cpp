// The move sound service on a machine without audio: it must find "Move.wav" by relative
// name in whatever the current directory is at the time, and fall back to the beep at once.
#include "app/QtMoveSound.h"

#include <QAudioDevice>
#include <QDir>
#include <QMediaDevices>
#include <QTemporaryDir>
#include <QTest>

using namespace kelvane;
using Outcome = QtMoveSound::Outcome;

class TestMoveSound : public QObject {
    Q_OBJECT

private slots:
    void looksUpTheFileInTheCurrentDirectoryOfEachCall() {
        QTemporaryDir without, folderOfThatName, with;
        QVERIFY(QDir(folderOfThatName.path()).mkdir("Move.wav"));
        // 16-bit mono PCM at 22050 Hz, four bytes of silence.
        QFile wave(with.filePath("Move.wav"));
        QVERIFY(wave.open(QIODevice::WriteOnly) &&
                wave.write(
                    QByteArray::fromHex("524946462800000057415645666d74201000000001000100"
                                        "2256000044ac000002001000646174610400000000000000")) == 48);
        wave.close();
        // A file that is found is played only where there is no sound device: tests never
        // wait for audio.
        const bool audio = !QMediaDevices::audioOutputs().isEmpty();
        const QString saved = QDir::currentPath();
        QtMoveSound sound;
        const std::pair<QString, Outcome> calls[] = {
            {without.path(), Outcome::BeepedNoFile},
            {folderOfThatName.path(), Outcome::BeepedNoFile},
            {with.path(), Outcome::BeepedNoAudioOutput},
            {without.path(), Outcome::BeepedNoFile},
        };
        for (const auto& [directory, outcome] : calls) {
            if (audio && outcome == Outcome::BeepedNoAudioOutput)
                continue;
            QVERIFY(QDir::setCurrent(directory));
            sound.playToEnd();
            QDir::setCurrent(saved);
            QCOMPARE(sound.lastOutcome(), outcome);
        }
    }
};

QTEST_MAIN(TestMoveSound)
#include "test_move_sound.moc"
