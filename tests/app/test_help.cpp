// The Help menu: the topics item, the launcher behind it and the move sound that follows the
// current directory it leaves; the About box with its notice line, its system-information
// button, and the peer's messages taken in while it is open.
#include "support/TestPlayer.h"

#include "app/DesktopLauncher.h"
#include "app/HelpMenu.h"
#include "app/QtModalDialogs.h"
#include "app/QtMoveSound.h"
#include "ui/AboutBox.h"

#include <QAction>
#include <QAudioDevice>
#include <QDir>
#include <QMediaDevices>
#include <QTemporaryDir>
#include <QtTest>

using namespace kelvane;
using namespace kelvane::testing;

namespace {

QAction* MenuItem(QWidget& window, const QString& text) {
    for (QAction* action : window.findChildren<QAction*>())
        if (action->text() == text)
            return action;
    qFatal("no menu item %s", qPrintable(text));
}

// Opens the About box from the Help menu and acts on it while it is up.
void WhileAboutIsOpen(TestPlayer& p, const std::function<void(QDialog&)>& act) {
    p.dialogs.whileOpen = act;
    MenuItem(p.window(), QStringLiteral("关于"))->trigger();
}

} // namespace

class TestHelp : public QObject {
    Q_OBJECT

private slots:
    void topicsMovesToTheProgramsDirectoryAndTheGameGoesOnWithoutAnEditor() {
        const QString saved = QDir::currentPath();
        QTemporaryDir elsewhere;
        QVERIFY(QDir::setCurrent(elsewhere.path()));
        RawJoiner side;
        QVERIFY(QTest::qWaitFor([&] { return side.ready(); }));
        side.player.launcher.fails = true;
        MenuItem(side.player.window(), QStringLiteral("主题"))->trigger();
        // The directory stays changed: from now on "Move.wav" is looked up beside the program.
        const QDir programDir(QCoreApplication::applicationDirPath());
        const bool moved = QDir::current() == programDir;
        QDir::setCurrent(saved);
        QVERIFY(moved);
        QCOMPARE(side.player.launcher.editedFiles, QStringList{programDir.filePath("readme.txt")});
        QCOMPARE(side.player.boxes.texts, QStringList{QStringLiteral("无法打开说明文件。")});
        QCOMPARE(side.player.boxes.parents, QList<QWidget*>{&side.player.window()});
        side.player.clickCell(8, 8);
        QCOMPARE(side.received(3), QByteArray("1\x08\x08", 3));
    }

    // Done from the event loop, never inside play(), whatever became of the sound; a sound
    // started while another plays cuts it short.
    void theMoveSoundIsLookedUpInTheCurrentDirectoryOfEachCall() {
        QTemporaryDir without, folderOfThatName, with;
        QVERIFY(QDir(folderOfThatName.path()).mkdir("Move.wav"));
        // 16-bit mono PCM at 22050 Hz, four bytes of silence.
        QVERIFY(MakeScript(with.filePath("Move.wav"),
                           QByteArray::fromHex("524946462800000057415645666d7420100000000100010022"
                                               "56000044ac000002001000646174610400000000000000"),
                           false));
        using Outcome = QtMoveSound::Outcome;
        const Outcome found = QMediaDevices::audioOutputs().isEmpty() ? Outcome::BeepedNoAudioOutput
                                                                      : Outcome::Played;
        const QString saved = QDir::currentPath();
        QtMoveSound sound;
        QStringList done;
        for (const auto& [directory, outcome] :
             {std::pair{with.path(), found}, std::pair{without.path(), Outcome::BeepedNoFile},
              std::pair{folderOfThatName.path(), Outcome::BeepedNoFile}}) {
            QVERIFY(QDir::setCurrent(directory));
            sound.play([&done, directory = directory] { done << directory; });
            QDir::setCurrent(saved);
            QVERIFY(done.isEmpty());
            QVERIFY(QTest::qWaitFor([&] { return !done.isEmpty(); }));
            QCOMPARE(done.takeFirst(), directory);
            QCOMPARE(sound.lastOutcome(), outcome);
        }
        sound.play([&done] { done << "first"; });
        sound.play([&done] { done << "second"; });
        QCOMPARE(done, QStringList{"first"});
        QVERIFY(QTest::qWaitFor([&] { return done.size() == 2; }));
    }

    void systemInfoStartsTheFirstProgramFoundOrSaysItIsUnavailable() {
        QTemporaryDir first, second, empty;
        const QStringList& names = HelpMenu::SystemInfoPrograms;
        QVERIFY(MakeScript(first.filePath(names[0]), "#!/bin/sh\n", false));
        QVERIFY(MakeScript(first.filePath(names[2])) && MakeScript(second.filePath(names[1])));
        const QString both = first.path() + ':' + second.path();
        const QStringList found{second.filePath(names[1]), first.filePath(names[2])};
        // PATH, whether starting fails, what is started and whether the box comes.
        for (const auto& [path, fails, started, unavailable] :
             {std::tuple{both, false, found.first(1), false},
              {both, true, found, true},
              {empty.path(), false, QStringList(), true}}) {
            TestPlayer p;
            const EnvOverride programs("PATH", path);
            p.launcher.fails = fails;
            // Structured bindings are captured by name only from clang 16 on.
            WhileAboutIsOpen(p, [&, &started = started, unavailable = unavailable](QDialog& about) {
                QTest::mouseClick(about.findChild<QWidget*>("cmdSysInfo"), Qt::LeftButton);
                QCOMPARE(p.launcher.programs, started);
                QCOMPARE(
                    p.boxes.texts,
                    QStringList(unavailable, "System Information Is Unavailable At This Time"));
                QCOMPARE(p.boxes.withIcon, QList<bool>(unavailable, false));
                QCOMPARE(p.boxes.parents, QList<QWidget*>(unavailable, &about));
                QVERIFY(about.isVisible());
            });
        }
    }

    // While the real modal box is up, a click on the main window goes nowhere, but the peer's
    // move and chat take effect at once.
    void theRealModalBoxTakesInThePeersMoveAndChatButNoInputForTheMainWindow() {
        RawJoiner side;
        QtModalDialogs realModal;
        side.player.dialogs.real = &realModal;
        QVERIFY(QTest::qWaitFor([&] { return side.ready(); }));
        side.player.clickCell(8, 8); // black opens
        QCOMPARE(side.received(3), QByteArray("1\x08\x08", 3));
        MainWindow& main = side.player.window();
        QSignalSpy newGame(&main, &MainWindow::newGameRequested);
        bool boxUp = false, takenIn = false;
        QTimer::singleShot(0, [&] { // runs inside the box's own event loop
            boxUp = qobject_cast<AboutBox*>(QApplication::activeModalWidget()) != nullptr;
            QWidget* cmdNew = side.player.control("cmdNew");
            QTest::mouseClick(main.windowHandle(), Qt::LeftButton, {},
                              cmdNew->mapTo(&main, cmdNew->rect().center()));
            side.send(QByteArray("1\x09\x09", 3) + "5hi");
            takenIn = QTest::qWaitFor([&] {
                return side.player.cell(9, 9) == White && side.player.caption("labHeSay") == "hi";
            });
            QApplication::activeModalWidget()->close();
        });
        MenuItem(main, QStringLiteral("关于"))->trigger();
        QVERIFY(boxUp && takenIn);
        QCOMPARE(newGame.count(), 0);
    }
};

QTEST_MAIN(TestHelp)
#include "test_help.moc"
