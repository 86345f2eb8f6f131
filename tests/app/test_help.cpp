// The Help menu's topics item, and the launcher that starts programs and hands files and web
// addresses to the desktop.
#include "support/TestPlayer.h"

#include "app/DesktopLauncher.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

using namespace kelvane;
using namespace kelvane::testing;

namespace {

// Each test starts in a folder of its own and gives the process its directory back.
struct CurrentDirectory {
    const QString saved = QDir::currentPath();
    QTemporaryDir elsewhere;
    CurrentDirectory() { QDir::setCurrent(elsewhere.path()); }
    ~CurrentDirectory() { QDir::setCurrent(saved); }
};

struct PathOverride {
    const QByteArray saved = qgetenv("PATH");
    explicit PathOverride(const QString& path) { qputenv("PATH", QFile::encodeName(path)); }
    ~PathOverride() { qputenv("PATH", saved); }
};

QString Canonical(const QString& path) {
    return QFileInfo(path).canonicalFilePath();
}

// A shell script that writes its arguments, one a line, to `log`, using shell built-ins
// only, so that it runs with any PATH.
bool MakeRecorder(const QString& path, const QString& log) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write("#!/bin/sh\nprintf '%s\\n' \"$@\" > '" + QFile::encodeName(log) + "'\n");
    file.close();
    return file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

QStringList ReadLines(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
}

} // namespace

class TestHelp : public QObject {
    Q_OBJECT

private slots:
    void topicsMovesToTheProgramsDirectoryAndOpensTheReadmeThere() {
        CurrentDirectory directory;
        TestPlayer p;
        const QString programDir = QCoreApplication::applicationDirPath();
        QVERIFY(!QFileInfo(QStringLiteral("Move.wav")).absoluteFilePath().startsWith(programDir));

        p.window().mnuContent->trigger();
        QCOMPARE(Canonical(QDir::currentPath()), Canonical(programDir));
        // From now on the move sound is looked up beside the program.
        QCOMPARE(QFileInfo(QStringLiteral("Move.wav")).absoluteFilePath(),
                 QDir(programDir).filePath(QStringLiteral("Move.wav")));
        QCOMPARE(p.launcher.editedFiles,
                 QStringList{QDir(programDir).filePath(QStringLiteral("readme.txt"))});
        QVERIFY(p.launcher.programs.isEmpty());
        QVERIFY(p.boxes.texts.isEmpty());
    }

    void anEditorThatCannotStartIsReportedAndTheGameGoesOn() {
        CurrentDirectory directory;
        TestPlayer p;
        p.hostAs(QStringLiteral("玩家"));
        QTcpSocket peer;
        peer.connectToHost(QHostAddress::LocalHost, p->wskLink().ListeningPort());
        QTRY_COMPARE(p->status(), QStringLiteral("连线中"));

        p.launcher.fails = true;
        p.window().mnuContent->trigger();
        QCOMPARE(p.boxes.texts, QStringList{QStringLiteral("无法打开说明文件。")});
        QCOMPARE(p.boxes.titles, QStringList{QStringLiteral("Kelvane")});
        QCOMPARE(p.boxes.parents, QList<QWidget*>{&p.window()});
        QCOMPARE(p.end.ends, 0);
        // The directory is changed all the same.
        QCOMPARE(Canonical(QDir::currentPath()), Canonical(QCoreApplication::applicationDirPath()));

        // The game goes on: a move still goes out to the peer.
        p.clickCell(8, 8);
        QTRY_COMPARE(peer.bytesAvailable(), qint64(3));
        QCOMPARE(peer.readAll(), QByteArray("1\x08\x08", 3));
        QVERIFY(p.window().isVisible());
    }

    void theLauncherStartsProgramsDetachedAndReportsThoseItCannot() {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("with space")));
        const QString spaced = dir.filePath(QStringLiteral("with space/tool"));
        const QString plain = dir.filePath(QStringLiteral("tool"));
        const QString log = dir.filePath(QStringLiteral("log"));
        QVERIFY(MakeRecorder(spaced, log));
        QVERIFY(MakeRecorder(plain, log));

        DesktopLauncher launcher;
        QVERIFY(!launcher.startProgram(QString()));
        QVERIFY(!launcher.startProgram(QStringLiteral("   ")));
        QVERIFY(!launcher.startProgram(dir.filePath(QStringLiteral("missing"))));

        // A path with spaces that names a program runs as it stands.
        QVERIFY(launcher.startProgram(spaced));
        QTRY_VERIFY(QFile::exists(log));
        QTest::qWait(50); // nothing more is coming: no arguments
        QCOMPARE(ReadLines(log), QStringList());
        QVERIFY(QFile::remove(log));

        // Anything else is a command line.
        QVERIFY(launcher.startProgram(plain + QStringLiteral(" one \"two words\"")));
        QTRY_COMPARE(ReadLines(log), (QStringList{"one", "two words"}));
    }

    void theDesktopOpenerGetsTheFileAndTheAddress() {
        CurrentDirectory directory;
        QTemporaryDir bin;
        const QString log = bin.filePath(QStringLiteral("log"));
        QVERIFY(MakeRecorder(bin.filePath(QStringLiteral("xdg-open")), log));
        PathOverride path(bin.path());

        DesktopLauncher launcher;
        QVERIFY(launcher.openInTextEditor(QStringLiteral("readme.txt")));
        QTRY_COMPARE(ReadLines(log), QStringList{QDir::current().absoluteFilePath("readme.txt")});
        QVERIFY(QFile::remove(log));

        QVERIFY(launcher.openInBrowser(QStringLiteral("https://kelvane.example.org/")));
        QTRY_COMPARE(ReadLines(log), QStringList{QStringLiteral("https://kelvane.example.org/")});

        QVERIFY(!launcher.openInBrowser(QStringLiteral("not an address")));
    }

    void withoutADesktopOpenerNothingOpens() {
        QTemporaryDir empty;
        PathOverride path(empty.path());
        DesktopLauncher launcher;
        // Under the offscreen platform the toolkit has no opener of its own either.
        QVERIFY(!launcher.openInTextEditor(QStringLiteral("readme.txt")));
        QVERIFY(!launcher.openInBrowser(QStringLiteral("https://kelvane.example.org/")));
    }
};

QTEST_MAIN(TestHelp)
#include "test_help.moc"
