// The About box's "System Info..." button: every way from the registry to a started tool or
// to the one message, with a recording registry, a recording launcher and real folders.
#include "support/Fakes.h"

#include "app/About.h"
#include "ui/AboutBox.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace kelvane;
using namespace kelvane::testing;

namespace {

const QString ToolKey = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO");
const QString FolderKey = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools Location");
const QString Unavailable = QStringLiteral("System Information Is Unavailable At This Time");
// A path that exists on no test machine: the first value is started without a file test.
const QString MsInfoPath =
    QStringLiteral("C:\\Program Files\\Common Files\\Microsoft Shared\\MSInfo\\msinfo32.exe");

constexpr quint32 RegMultiSz = 7;

// One About box over a plain main window, with recording services.
struct Box {
    QWidget frmMain;
    FakeRegistry registry;
    FakeLauncher launcher;
    FakeBoxes boxes;
    About about{AboutServices{registry, launcher, boxes}, frmMain};

    void clickSystemInfo() { QTest::mouseClick(about.frmAbout().cmdSysInfo, Qt::LeftButton); }

    bool showedOnlyTheMessage() const {
        return boxes.texts == QStringList{Unavailable} &&
               boxes.titles == QStringList{QStringLiteral("Kelvane")} &&
               boxes.withIcon == QList<bool>{false} &&
               boxes.parents == QList<QWidget*>{&about.frmAbout()};
    }
    QStringList keysRead() const {
        QStringList keys;
        for (const auto& open : registry.opens)
            keys << open.path;
        return keys;
    }
};

bool MakeFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write("MZ") == 2;
}

} // namespace

class TestAboutBoxSysInfo : public QObject {
    Q_OBJECT

private slots:
    void theFirstValueIsStartedAsItStands() {
        Box box;
        box.registry.setString(ToolKey, "PATH", MsInfoPath);
        box.registry.setString(FolderKey, "MSINFO", "C:\\Elsewhere");
        box.clickSystemInfo();
        QCOMPARE(box.launcher.programs, QStringList{MsInfoPath});
        QVERIFY(box.boxes.texts.isEmpty());
        QCOMPARE(box.keysRead(), QStringList{ToolKey});
        QCOMPARE(box.registry.openKeys(), 0);
    }

    void theFirstValueThatCannotStartGivesTheMessageAndTheBoxStays() {
        Box box;
        box.registry.setString(ToolKey, "PATH", MsInfoPath);
        box.launcher.fails = true;
        box.about.frmAbout().show();
        box.clickSystemInfo();
        QCOMPARE(box.launcher.programs, QStringList{MsInfoPath});
        QVERIFY(box.showedOnlyTheMessage());
        QVERIFY(box.about.frmAbout().isVisible());

        // The box is left open: the button can be pressed again.
        box.clickSystemInfo();
        QCOMPARE(box.boxes.texts.size(), 2);
    }

    void theFolderOfTheSecondValueIsUsedWhenItHoldsTheProgram() {
        Box box;
        QTemporaryDir folder;
        QVERIFY(MakeFile(QDir(folder.path()).filePath("MSINFO32.EXE")));
        box.registry.setString(FolderKey, "MSINFO", folder.path());
        box.clickSystemInfo();
        QCOMPARE(box.launcher.programs, QStringList{folder.path() + "\\MSINFO32.EXE"});
        QVERIFY(box.boxes.texts.isEmpty());
        QCOMPARE(box.keysRead(), (QStringList{ToolKey, FolderKey}));
        QCOMPARE(box.registry.closes, (QList<RegistryKey>{0, 1}));
    }

    void aFolderWithoutTheProgramGivesTheMessage() {
        Box box;
        QTemporaryDir folder;
        QVERIFY(MakeFile(QDir(folder.path()).filePath("msinfo32.exe.bak")));
        QVERIFY(QDir(folder.path()).mkdir("Sub"));
        QVERIFY(MakeFile(QDir(folder.path()).filePath("Sub/MSINFO32.EXE")));
        box.registry.setString(FolderKey, "MSINFO", folder.path());
        box.clickSystemInfo();
        QVERIFY(box.launcher.programs.isEmpty());
        QVERIFY(box.showedOnlyTheMessage());

        // A folder of that name is no program either.
        Box again;
        QTemporaryDir other;
        QVERIFY(QDir(other.path()).mkdir("MSINFO32.EXE"));
        again.registry.setString(FolderKey, "MSINFO", other.path());
        again.clickSystemInfo();
        QVERIFY(again.launcher.programs.isEmpty());
        QVERIFY(again.showedOnlyTheMessage());
    }

    void noValueAtAllGivesTheMessage() {
        Box box;
        box.clickSystemInfo();
        QVERIFY(box.launcher.programs.isEmpty());
        QVERIFY(box.showedOnlyTheMessage());
        QCOMPARE(box.keysRead(), (QStringList{ToolKey, FolderKey}));
    }

    void aFirstValueOfAnotherTypeStartsAnEmptyPathAndFails() {
        Box box;
        box.registry.set(ToolKey, "PATH", RegMultiSz, QByteArray("C:\\a.exe\0\0", 10));
        QTemporaryDir folder;
        QVERIFY(MakeFile(QDir(folder.path()).filePath("MSINFO32.EXE")));
        box.registry.setString(FolderKey, "MSINFO", folder.path());
        box.clickSystemInfo();
        // Found, so the second value is never read; the empty path does not start.
        QCOMPARE(box.launcher.programs, QStringList{QString()});
        QVERIFY(box.showedOnlyTheMessage());
        QCOMPARE(box.keysRead(), QStringList{ToolKey});
    }

    void aFirstValueWithoutAZeroByteGivesTheMessage() {
        Box box;
        box.registry.set(ToolKey, "PATH", RegSz, QByteArray(1024, 'C'));
        QTemporaryDir folder;
        QVERIFY(MakeFile(QDir(folder.path()).filePath("MSINFO32.EXE")));
        box.registry.setString(FolderKey, "MSINFO", folder.path());
        box.clickSystemInfo();
        // The error goes straight to the message, past the second value.
        QVERIFY(box.launcher.programs.isEmpty());
        QVERIFY(box.showedOnlyTheMessage());
        QCOMPARE(box.keysRead(), QStringList{ToolKey});
        QCOMPARE(box.registry.openKeys(), 0);
    }

    void aFirstValueTooLargeForTheBufferCountsAsMissing() {
        Box box;
        box.registry.set(ToolKey, "PATH", RegSz, QByteArray(1500, 'C') + '\0');
        QTemporaryDir folder;
        QVERIFY(MakeFile(QDir(folder.path()).filePath("MSINFO32.EXE")));
        box.registry.setString(FolderKey, "MSINFO", folder.path());
        box.clickSystemInfo();
        QCOMPARE(box.launcher.programs, QStringList{folder.path() + "\\MSINFO32.EXE"});
        QVERIFY(box.boxes.texts.isEmpty());
    }

    void aNumberIsStartedInItsTextForm() {
        Box box;
        box.registry.set(ToolKey, "PATH", RegDword, QByteArray("\x10\x00\x00\x00", 4));
        box.clickSystemInfo();
        QCOMPARE(box.launcher.programs, QStringList{QStringLiteral("&h10")});
    }
};

QTEST_MAIN(TestAboutBoxSysInfo)
#include "test_about_box_sysinfo.moc"
