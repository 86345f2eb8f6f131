// The Help menu: the topics item and the launcher behind it, and the About box with its
// notice line, its failure message, and the peer's messages taken in while it is open.
#include "support/TestPlayer.h"

#include "app/DesktopLauncher.h"
#include "app/QtModalDialogs.h"
#include "ui/AboutBox.h"
#include "ui/CaptionLabel.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QPointer>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>
#include <QtTest>

using namespace kelvane;
using namespace kelvane::testing;

namespace {

// A script that writes its arguments, one a line, to `log`, with shell built-ins only so
// that it runs with any PATH.
bool MakeRecorder(const QString& path, const QString& log) {
    return MakeScript(path,
                      "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" + QFile::encodeName(log) + "'\n");
}

QStringList ReadLines(const QString& path) {
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
}

QColor NoticeColour(const AboutBox& box) {
    return box.lblCopyright->palette().color(QPalette::WindowText);
}

QPoint CentreOf(const QWidget* control) {
    return control->geometry().center();
}

// Opens the About box from the Help menu and acts on it while it is up.
void WhileAboutIsOpen(TestPlayer& p, const std::function<void(AboutBox&)>& act) {
    p.dialogs.whileOpen = [&](QDialog& dialog) { act(static_cast<AboutBox&>(dialog)); };
    p.window().mnuAbout->trigger();
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
        QTRY_VERIFY(side.ready());
        side.player.launcher.fails = true;
        side.player.window().mnuContent->trigger();
        // The directory stays changed: from now on "Move.wav" is looked up beside the program.
        const QString programDir = QCoreApplication::applicationDirPath();
        const bool moved = QDir::current() == QDir(programDir);
        QDir::setCurrent(saved);
        QVERIFY(moved);
        QCOMPARE(side.player.launcher.editedFiles,
                 QStringList{QDir(programDir).filePath("readme.txt")});
        QCOMPARE(side.player.boxes.texts, QStringList{QStringLiteral("无法打开说明文件。")});
        QCOMPARE(side.player.boxes.titles, QStringList{QStringLiteral("Kelvane")});
        QCOMPARE(side.player.boxes.parents, QList<QWidget*>{&side.player.window()});
        QCOMPARE(side.player.end.ends, 0);
        side.player.clickCell(8, 8);
        QCOMPARE(side.received(3), QByteArray("1\x08\x08", 3));
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
            EnvOverride path("PATH", bin.path());
            QVERIFY(launcher.openInBrowser(page));
            QTRY_COMPARE(ReadLines(log), QStringList{page});
        }
        // Without xdg-open nothing opens: the offscreen toolkit has no opener of its own.
        EnvOverride path("PATH", empty.path());
        QVERIFY(!launcher.openInTextEditor(QStringLiteral("readme.txt")));
        QVERIFY(!launcher.openInBrowser(page));
    }

    // The notice line turns green under the mouse and black only over the bare box; a click
    // on it opens the web page or says it cannot. Each opening starts afresh.
    void theAboutBoxNoticeLineFollowsTheMouseAndOpensTheWebPage() {
        const QColor green(0, 255, 0), black(0, 0, 0);
        TestPlayer p;
        p.hostAs(QStringLiteral("玩家"));
        QPointer<AboutBox> first;
        WhileAboutIsOpen(p, [&](AboutBox& box) {
            first = &box;
            QCOMPARE(box.lblVersion->text(), QStringLiteral("Version 2.0.0"));
            const QPoint notice = CentreOf(box.lblCopyright);
            const std::pair<QPoint, QColor> moves[] = {
                {CentreOf(box.lblDisclaimer), NoticeColour(box)}, // no change yet
                {notice, green},
                {CentreOf(box.cmdOK), green}, // straight onto another control
                {QPoint(5, 5), black},        // the bare background
                {notice + QPoint(30, 0), green},
                {QPoint(100, 162), black}, // the etched line is painted on the background
            };
            for (const auto& [at, colour] : moves) {
                QTest::mouseMove(box.windowHandle(), at);
                QCOMPARE(NoticeColour(box), colour);
            }
            QWindow* window = box.windowHandle();
            QTest::mouseClick(window, Qt::LeftButton, {}, notice);
            // No clicks on the notice: another button, a press dragged off it.
            QTest::mouseClick(window, Qt::RightButton, {}, notice);
            QTest::mousePress(window, Qt::LeftButton, {}, notice);
            QTest::mouseRelease(window, Qt::LeftButton, {}, QPoint(5, 5));
            QCOMPARE(p.launcher.addresses.size(), 1);
            QCOMPARE(QUrl(p.launcher.addresses[0]).scheme(), QStringLiteral("https"));
            p.launcher.fails = true;
            QTest::mouseClick(window, Qt::LeftButton, {}, notice);
            QVERIFY(box.isVisible());
        });
        QCOMPARE(p.boxes.texts, QStringList{QStringLiteral("无法打开网页。")});
        QCOMPARE(p.boxes.titles, QStringList{QStringLiteral("Kelvane")});
        QCOMPARE(p.end.ends, 0);
        QVERIFY(first.isNull()); // destroyed when closed

        p.window().setWindowTitle(QStringLiteral("Kelvane 第二局"));
        WhileAboutIsOpen(p, [&](AboutBox& box) {
            QCOMPARE(box.lblTitle->text(), QStringLiteral("Kelvane 第二局"));
            QCOMPARE(NoticeColour(box), box.palette().color(QPalette::WindowText));
        });
        QCOMPARE(p.dialogs.shown, 2);
    }

    // While the real modal box is up, a click on the main window goes nowhere, but the peer's
    // move and chat take effect at once.
    void theRealModalBoxTakesInThePeersMoveAndChatButNoInputForTheMainWindow() {
        RawJoiner side;
        QtModalDialogs realModal;
        side.player.dialogs.real = &realModal;
        QTRY_VERIFY(side.ready());
        MainWindow& main = side.player.window();
        QSignalSpy newGame(main.cmdNew, &QPushButton::clicked);
        bool boxUp = false, takenIn = false;
        QTimer::singleShot(0, [&] { // runs inside the box's own event loop
            boxUp = qobject_cast<AboutBox*>(QApplication::activeModalWidget()) != nullptr;
            const QPoint onNew = main.cmdNew->mapTo(&main, main.cmdNew->rect().center());
            QTest::mouseClick(main.windowHandle(), Qt::LeftButton, {}, onNew);
            side.send(QByteArray("1\x08\x08", 3) + "5hi");
            takenIn = QTest::qWaitFor([&] {
                return side.player.cell(8, 8) == White && main.labHeSay->caption() == "hi";
            });
            for (QWidget* window : QApplication::topLevelWidgets())
                if (qobject_cast<AboutBox*>(window))
                    window->close();
        });
        main.mnuAbout->trigger();
        QVERIFY(boxUp);
        QVERIFY(takenIn);
        QCOMPARE(newGame.count(), 0);
        QCOMPARE(side.player.sound.plays, 1);
        QVERIFY(side.silent());
    }
};

QTEST_MAIN(TestHelp)
#include "test_help.moc"
