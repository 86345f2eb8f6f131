// Reading the registry: GetKeyValue's steps against a recording registry, and the desktop's
// stand-in registry against real programs on a real PATH.
#include "support/Fakes.h"

#include "app/DesktopRegistry.h"
#include "app/GetKeyValue.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace kelvane;
using namespace kelvane::testing;

namespace {

const QString ToolKey = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO");
const QString FolderKey = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools Location");
const QString MsInfoPath =
    QStringLiteral("C:\\Program Files\\Common Files\\Microsoft Shared\\MSInfo\\msinfo32.exe");

constexpr quint32 RegBinary = 3;
const RegistryKey HkeyCurrentUser =
    static_cast<RegistryKey>(static_cast<qintptr>(static_cast<qint32>(0x80000001u)));

// Sets PATH for one test and puts the old one back.
struct PathOverride {
    const QByteArray saved = qgetenv("PATH");
    explicit PathOverride(const QString& path) { qputenv("PATH", QFile::encodeName(path)); }
    ~PathOverride() { qputenv("PATH", saved); }
};

bool MakeProgram(const QDir& dir, const QString& name, bool executable = true) {
    QFile file(dir.filePath(name));
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write("#!/bin/sh\nexit 0\n");
    file.close();
    QFile::Permissions permissions = QFile::ReadOwner | QFile::WriteOwner;
    if (executable)
        permissions |= QFile::ExeOwner;
    return file.setPermissions(permissions);
}

} // namespace

class TestRegistry : public QObject {
    Q_OBJECT

private slots:
    void aStringIsReadWithTheCallsAndArgumentsOfTheSteps() {
        FakeRegistry registry;
        registry.setString(ToolKey, "PATH", MsInfoPath);
        QString value = QStringLiteral("entry");
        QVERIFY(GetKeyValue(registry, HkeyLocalMachine, ToolKey, "PATH", value));
        QCOMPARE(value, MsInfoPath);

        QCOMPARE(registry.opens.size(), 1);
        QCOMPARE(registry.opens[0].root, HkeyLocalMachine);
        QCOMPARE(registry.opens[0].path, ToolKey);
        QCOMPARE(registry.opens[0].options, 0u);
        QCOMPARE(registry.opens[0].access, 0x2003Fu);
        QCOMPARE(registry.queries.size(), 1);
        QCOMPARE(registry.queries[0].name, QStringLiteral("PATH"));
        QCOMPARE(registry.queries[0].bufferSize, 1024u);
        QVERIFY(registry.queries[0].bufferZeroed);
        QVERIFY(registry.queries[0].reservedIsNull);
        QCOMPARE(registry.queries[0].key, registry.closes.value(0));
        QCOMPARE(registry.closes.size(), 1);
        QCOMPARE(registry.openKeys(), 0);
    }

    void theTextEndsAtTheFirstZeroByteOfTheWholeBuffer() {
        FakeRegistry registry;
        registry.set(ToolKey, "A", RegSz, QByteArray("C:\\one\0C:\\two\0", 14));
        registry.set(ToolKey, "B", RegSz, "no zero byte of its own"); // the buffer's zeros end it
        registry.set(ToolKey, "C", RegSz, QByteArray(1023, 'x') + '\0');
        QString value;
        QVERIFY(GetKeyValue(registry, HkeyLocalMachine, ToolKey, "A", value));
        QCOMPARE(value, QStringLiteral("C:\\one"));
        QVERIFY(GetKeyValue(registry, HkeyLocalMachine, ToolKey, "B", value));
        QCOMPARE(value, QStringLiteral("no zero byte of its own"));
        QVERIFY(GetKeyValue(registry, HkeyLocalMachine, ToolKey, "C", value));
        QCOMPARE(value, QString(1023, 'x'));
    }

    void aMissingKeyGivesFalseAndEmptyAndStillClosesTheUnopenedKey() {
        FakeRegistry registry;
        registry.setString(ToolKey, "PATH", MsInfoPath);
        QString value = QStringLiteral("entry");
        QVERIFY(!GetKeyValue(registry, HkeyLocalMachine, FolderKey, "MSINFO", value));
        QCOMPARE(value, QString());
        QVERIFY(registry.queries.isEmpty());
        QCOMPARE(registry.closes, QList<RegistryKey>{0});

        // The same key under another root is another key.
        value = QStringLiteral("entry");
        QVERIFY(!GetKeyValue(registry, HkeyCurrentUser, ToolKey, "PATH", value));
        QCOMPARE(value, QString());
    }

    void aMissingValueGivesFalseAndEmptyAndClosesTheKey() {
        FakeRegistry registry;
        registry.setString(ToolKey, "Other", MsInfoPath);
        QString value = QStringLiteral("entry");
        QVERIFY(!GetKeyValue(registry, HkeyLocalMachine, ToolKey, "PATH", value));
        QCOMPARE(value, QString());
        QCOMPARE(registry.closes.size(), 1);
        QVERIFY(registry.closes[0] != 0);
        QCOMPARE(registry.openKeys(), 0);
    }

    void aValueLargerThanTheBufferReadsAsMissing() {
        FakeRegistry registry;
        registry.set(ToolKey, "PATH", RegSz, QByteArray(1024, 'x') + '\0');
        QString value = QStringLiteral("entry");
        QVERIFY(!GetKeyValue(registry, HkeyLocalMachine, ToolKey, "PATH", value));
        QCOMPARE(value, QString());
        QCOMPARE(registry.openKeys(), 0);
    }

    void aNumberBecomesHexadecimalText() {
        FakeRegistry registry;
        registry.set(ToolKey, "N", RegDword, QByteArray("\x4C\x3D\x2E\x1F", 4));
        registry.set(ToolKey, "Small", RegDword, QByteArray("\x00\x01\x00\x00", 4));
        registry.set(ToolKey, "Zero", RegDword, QByteArray(4, '\0'));
        QString value;
        QVERIFY(GetKeyValue(registry, HkeyLocalMachine, ToolKey, "N", value));
        QCOMPARE(value, QStringLiteral("&h1F2E3D4C"));
        QVERIFY(GetKeyValue(registry, HkeyLocalMachine, ToolKey, "Small", value));
        QCOMPARE(value, QStringLiteral("&h100"));
        QVERIFY(GetKeyValue(registry, HkeyLocalMachine, ToolKey, "Zero", value));
        QCOMPARE(value, QStringLiteral("&h0"));
    }

    void anotherTypeCountsAsReadAndKeepsTheTextOnEntry() {
        FakeRegistry registry;
        registry.set(ToolKey, "PATH", RegBinary, QByteArray("C:\\bin\0", 7));
        QString value = QStringLiteral("entry");
        QVERIFY(GetKeyValue(registry, HkeyLocalMachine, ToolKey, "PATH", value));
        QCOMPARE(value, QStringLiteral("entry"));
    }

    void dataWithoutAnyZeroByteIsAnErrorForTheCaller() {
        FakeRegistry registry;
        registry.set(ToolKey, "PATH", RegSz, QByteArray(1024, 'x'));
        QString value = QStringLiteral("entry");
        QVERIFY_THROWS_EXCEPTION(RegistryReadError,
                                 GetKeyValue(registry, HkeyLocalMachine, ToolKey, "PATH", value));
        QCOMPARE(registry.openKeys(), 0); // the error leaves no key open
    }

    void theDesktopAnswersTheToolKeyWithTheFirstProgramOnPath() {
        QTemporaryDir first, second;
        QVERIFY(first.isValid() && second.isValid());
        QVERIFY(MakeProgram(first.path(), "kinfocenter"));
        QVERIFY(MakeProgram(second.path(), "gnome-system-monitor"));
        QVERIFY(MakeProgram(second.path(), "hardinfo", false)); // not a program: skipped
        PathOverride path(first.path() + ':' + second.path());

        DesktopRegistry registry;
        QString value;
        QVERIFY(GetKeyValue(registry, HkeyLocalMachine, ToolKey, "PATH", value));
        QCOMPARE(value, QDir(second.path()).filePath("gnome-system-monitor"));

        // Installed meanwhile, the preferred program is found at the next look-up.
        QVERIFY(MakeProgram(first.path(), "hardinfo"));
        QVERIFY(GetKeyValue(registry, HkeyLocalMachine, ToolKey.toLower(), "path", value));
        QCOMPARE(value, QDir(first.path()).filePath("hardinfo"));
    }

    void theDesktopHasNothingElse() {
        QTemporaryDir dir;
        QVERIFY(MakeProgram(dir.path(), "hardinfo"));
        PathOverride path(dir.path());
        DesktopRegistry registry;
        QString value = QStringLiteral("entry");
        QVERIFY(!GetKeyValue(registry, HkeyLocalMachine, FolderKey, "MSINFO", value));
        QCOMPARE(value, QString());
        value = QStringLiteral("entry");
        QVERIFY(!GetKeyValue(registry, HkeyLocalMachine, ToolKey, "MSINFO", value));
        QCOMPARE(value, QString());
        QVERIFY(!GetKeyValue(registry, HkeyCurrentUser, ToolKey, "PATH", value));
        QVERIFY(!GetKeyValue(registry, HkeyLocalMachine, ToolKey + "\\More", "PATH", value));
    }

    void theDesktopHasNoToolKeyWithoutAProgram() {
        QTemporaryDir empty;
        PathOverride path(empty.path());
        DesktopRegistry registry;
        QString value = QStringLiteral("entry");
        QVERIFY(!GetKeyValue(registry, HkeyLocalMachine, ToolKey, "PATH", value));
        QCOMPARE(value, QString());
    }

    void theDesktopKeepsTheCallsSizesAndHandles() {
        QTemporaryDir dir;
        QVERIFY(MakeProgram(dir.path(), "hardinfo"));
        PathOverride path(dir.path());
        const QByteArray expected = QFile::encodeName(QDir(dir.path()).filePath("hardinfo")) + '\0';

        DesktopRegistry registry;
        RegistryKey key = 0;
        QCOMPARE(registry.RegOpenKeyExA(HkeyLocalMachine, ToolKey.toLatin1().constData(), 0,
                                        KeyAllAccess, &key),
                 ErrorSuccess);
        QVERIFY(key != 0);

        QByteArray small(4, '\0');
        quint32 size = 4;
        quint32 type = 0;
        QCOMPARE(registry.RegQueryValueExA(key, "PATH", nullptr, &type,
                                           reinterpret_cast<unsigned char*>(small.data()), &size),
                 ErrorMoreData);
        QCOMPARE(size, quint32(expected.size()));

        QByteArray buffer(1024, '\x7F');
        size = 1024;
        QCOMPARE(registry.RegQueryValueExA(key, "PATH", nullptr, &type,
                                           reinterpret_cast<unsigned char*>(buffer.data()), &size),
                 ErrorSuccess);
        QCOMPARE(type, RegSz);
        QCOMPARE(size, quint32(expected.size()));
        QCOMPARE(buffer.left(expected.size()), expected);

        QCOMPARE(registry.RegCloseKey(key), ErrorSuccess);
        QCOMPARE(registry.RegCloseKey(key), ErrorInvalidHandle);
        QCOMPARE(registry.RegCloseKey(0), ErrorInvalidHandle);
        size = 1024;
        QCOMPARE(registry.RegQueryValueExA(key, "PATH", nullptr, &type,
                                           reinterpret_cast<unsigned char*>(buffer.data()), &size),
                 ErrorInvalidHandle);
    }
};

QTEST_MAIN(TestRegistry)
#include "test_registry.moc"
