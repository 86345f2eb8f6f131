// The About box's "System Info..." button: every way from the registry to a started tool or
// to the one message, with a recording registry and launcher and real folders; and the
// desktop's stand-in registry against real programs on a real PATH.
#include "support/Fakes.h"

#include "app/About.h"
#include "app/DesktopRegistry.h"
#include "app/GetKeyValue.h"
#include "ui/AboutBox.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

using namespace kelvane;
using namespace kelvane::testing;

namespace {

const QString ToolKey = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO");
const QString FolderKey = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools Location");
const QString Unavailable = QStringLiteral("System Information Is Unavailable At This Time");
// A path that exists on no test machine: the first value is started without a file test.
const QByteArray MsInfoPath =
    "C:\\Program Files\\Common Files\\Microsoft Shared\\MSInfo\\msinfo32.exe";
const QString InFolder = QStringLiteral("<folder>\\MSINFO32.EXE");

constexpr int NoValue = 0, RegMultiSz = 7;
enum Folder { NoFolder, WithProgram, WithoutProgram, ProgramIsAFolder };

// The first value (its type and data), the second value's folder, whether starting fails, and
// what comes of it: the command lines started and the message or not.
struct Case {
    quint32 firstType;
    QByteArray firstData;
    Folder folder;
    bool startFails;
    QStringList started;
    bool message;
};

} // namespace

Q_DECLARE_METATYPE(Case)

class TestAboutBoxSysInfo : public QObject {
    Q_OBJECT

private slots:
    void systemInfoFromTheRegistry_data() {
        QTest::addColumn<Case>("c");
        const auto row = [](const char* name, const Case& c) { QTest::newRow(name) << c; };
        const QString path = QString::fromLatin1(MsInfoPath);
        const QByteArray c1023(1023, 'C'), c1024(1024, 'C');
        const QByteArray twoTexts("C:\\one\0C:\\two\0", 14), number("\x4C\x3D\x2E\x1F", 4);
        // clang-format off
        row("first value as it stands", {RegSz,      MsInfoPath + '\0', WithProgram,      false, {path},         false});
        row("first value cannot start", {RegSz,      MsInfoPath,        WithProgram,      true,  {path},         true});
        row("up to the first zero",     {RegSz,      twoTexts,          NoFolder,         false, {"C:\\one"},    false});
        row("zero from the buffer",     {RegSz,      c1023,             NoFolder,         false, {c1023},        false});
        row("1024 bytes, no zero",      {RegSz,      c1024,             WithProgram,      false, {},             true});
        row("over 1024 bytes",          {RegSz,      c1024 + '\0',      WithProgram,      false, {InFolder},     false});
        row("number as text",           {RegDword,   number,            NoFolder,         false, {"&h1F2E3D4C"}, false});
        row("another type",             {RegMultiSz, "C:\\a.exe",       WithProgram,      false, {QString()},    true});
        row("folder with the program",  {NoValue,    {},                WithProgram,      false, {InFolder},     false});
        row("folder without it",        {NoValue,    {},                WithoutProgram,   false, {},             true});
        row("folder of that name",      {NoValue,    {},                ProgramIsAFolder, false, {},             true});
        row("no value at all",          {NoValue,    {},                NoFolder,         false, {},             true});
        // clang-format on
    }

    void systemInfoFromTheRegistry() {
        QFETCH(Case, c);
        QWidget frmMain;
        FakeRegistry registry;
        FakeLauncher launcher;
        FakeBoxes boxes;
        About about({registry, launcher, boxes}, frmMain);
        QTemporaryDir dir;
        if (c.firstType != NoValue)
            registry.keys[ToolKey]["PATH"] = {c.firstType, c.firstData};
        if (c.folder != NoFolder)
            registry.keys[FolderKey]["MSINFO"] = {RegSz, QFile::encodeName(dir.path()) + '\0'};
        if (c.folder == WithProgram)
            QVERIFY(MakeScript(dir.filePath("MSINFO32.EXE")));
        if (c.folder == ProgramIsAFolder)
            QVERIFY(QDir(dir.path()).mkdir("MSINFO32.EXE"));
        launcher.fails = c.startFails;
        about.frmAbout().show();
        QTest::mouseClick(about.frmAbout().cmdSysInfo, Qt::LeftButton);

        QCOMPARE(launcher.programs, c.started.replaceInStrings("<folder>", dir.path()));
        const int shown = c.message ? 1 : 0;
        QCOMPARE(boxes.texts, QStringList(shown, Unavailable));
        QCOMPARE(boxes.titles, QStringList(shown, QStringLiteral("Kelvane")));
        QCOMPARE(boxes.withIcon, QList<bool>(shown, false));
        QCOMPARE(boxes.parents, QList<QWidget*>(shown, &about.frmAbout()));
        QVERIFY(about.frmAbout().isVisible());
        // Every key is closed, also one that did not open and one whose read failed.
        QCOMPARE(registry.closed.size(), registry.opened.size());
        QCOMPARE(registry.openKeys, 0);
    }

    void theDesktopRegistryNamesThePreferredSystemInfoProgram() {
        QTemporaryDir first, second, empty;
        QVERIFY(
            MakeScript(first.filePath("hardinfo"), "#!/bin/sh\n", false)); // not a program: skipped
        QVERIFY(MakeScript(first.filePath("kinfocenter")));
        QVERIFY(MakeScript(second.filePath("gnome-system-monitor")));
        EnvOverride path("PATH", first.path() + ':' + second.path());
        DesktopRegistry registry;
        QString text;
        QVERIFY(GetKeyValue(registry, HkeyLocalMachine, ToolKey, "PATH", text));
        QCOMPARE(text, second.filePath("gnome-system-monitor"));
        QVERIFY(!GetKeyValue(registry, HkeyLocalMachine, FolderKey, "MSINFO", text));
        EnvOverride nothing("PATH", empty.path());
        QVERIFY(!GetKeyValue(registry, HkeyLocalMachine, ToolKey, "PATH", text));
    }
};

QTEST_MAIN(TestAboutBoxSysInfo)
#include "test_about_box_sysinfo.moc"
