// The Help menu's topics item, and the launcher that starts programs and hands files and web
// addresses to the desktop.
#include "support/TestPlayer.h"

#include "app/DesktopLauncher.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

using namespace kelvane;
using namespace kelvane::testing;

namespace {

// A script that writes its arguments, one a line, to `log`, with shell built-ins only so
// that it runs with any PATH.
bool MakeRecorder(const QString& path, const QString& log) {
    QFile file(path);
    const QByteArray script =
        "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" + QFile::encodeName(log) + "'\n";
    return file.open(QIODevice::WriteOnly) && file.write(script) == script.size() &&
           file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

QStringList ReadLines(const QString& path) {
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
}

} // namespace

class TestHelp : public QObject {
    Q_OBJECT

private slots:
    void topicsMovesToTheProgramsDirectoryAndTheGameGoesOnWithoutAnEditor() {
        const QString saved = QDir::currentPath();
        QTemporaryDir elsewhere;
        QVERIFY(QDir::setCurrent(elsewhere.path()));
        TestPlayer p;
        p.hostAs(QStringLiteral("玩家"));
        QTcpSocket peer;
        peer.connectToHost(QHostAddress::LocalHost, p->wskLink().ListeningPort());
        QTRY_COMPARE(p->status(), QStringLiteral("连线中"));

        p.launcher.fails = true;
        p.window().mnuContent->trigger();
        // The directory stays changed: from now on "Move.wav" is looked up beside the program.
        const QString programDir = QCoreApplication::applicationDirPath();
        const bool moved = QDir::current() == QDir(programDir);
        QDir::setCurrent(saved);
        QVERIFY(moved);
        QCOMPARE(p.launcher.editedFiles, QStringList{QDir(programDir).filePath("readme.txt")});
        QCOMPARE(p.boxes.texts, QStringList{QStringLiteral("无法打开说明文件。")});
        QCOMPARE(p.boxes.titles, QStringList{QStringLiteral("Kelvane")});
        QCOMPARE(p.boxes.parents, QList<QWidget*>{&p.window()});
        QCOMPARE(p.end.ends, 0);
        // The game goes on: a move still goes out to the peer.
        p.clickCell(8, 8);
        QTRY_COMPARE(peer.bytesAvailable(), qint64(3));
        QCOMPARE(peer.readAll(), QByteArray("1\x08\x08", 3));
    }

    void theDesktopLauncherStartsWhatThereIsAndReportsWhatNot() {
        QTemporaryDir bin, empty;
        const QString log = bin.filePath("log"), opener = bin.filePath("xdg-open");
        const QString page = QStringLiteral("https://kelvane.example.org/");
        QVERIFY(MakeRecorder(opener, log));
        DesktopLauncher launcher;
        for (const QString& cannot : {QString(), QStringLiteral("   "), bin.filePath("missing")})
            QVERIFY(!launcher.startProgram(cannot));
        QVERIFY(launcher.startProgram(opener + " one \"two words\""));
        QTRY_COMPARE(ReadLines(log), (QStringList{"one", "two words"}));
        {
            PathOverride path(bin.path());
            QVERIFY(launcher.openInBrowser(page));
            QTRY_COMPARE(ReadLines(log), QStringList{page});
        }
        // Without xdg-open nothing opens: the offscreen toolkit has no opener of its own.
        PathOverride path(empty.path());
        QVERIFY(!launcher.openInTextEditor(QStringLiteral("readme.txt")));
        QVERIFY(!launcher.openInBrowser(page));
    }
};

QTEST_MAIN(TestHelp)
#include "test_help.moc"
