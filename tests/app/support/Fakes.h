#pragma once

#include "app/Services.h"

#include <QDialog>
#include <QFile>
#include <QMap>
#include <QStringList>
#include <algorithm>
#include <cstring>
#include <functional>

namespace kelvane::testing {

// Stands in for the move sound: counts plays and can run something "while it plays",
// as the real sound's nested event loop would.
struct FakeSound : MoveSound {
    int plays = 0;
    std::function<void()> whilePlaying;
    void playToEnd() override {
        ++plays;
        if (whilePlaying)
            whilePlaying();
    }
};

// Answers every message box at once, remembering what it showed. whileOpen runs while the
// box would be on screen.
struct FakeBoxes : MessageBoxes {
    QStringList titles, texts;
    QList<bool> withIcon;
    QList<QWidget*> parents;
    std::function<void(const QString& text)> whileOpen;
    void information(QWidget* parent, const QString& title, const QString& text) override {
        show(parent, title, text, true);
    }
    void plain(QWidget* parent, const QString& title, const QString& text) override {
        show(parent, title, text, false);
    }
    void show(QWidget* parent, const QString& title, const QString& text, bool icon) {
        titles << title, texts << text, withIcon << icon, parents << parent;
        if (whileOpen)
            whileOpen(text);
    }
};

struct FakeEnd : ProgramEnd {
    int ends = 0;
    void endNow() override { ++ends; }
};

// Shows a dialog application-modal without a nested event loop: whileOpen acts as the user;
// a dialog still open after that is closed, as its OK button would. Given `real`, it counts
// the dialog and hands it over to that service instead.
struct FakeDialogs : ModalDialogs {
    int shown = 0;
    std::function<void(QDialog& dialog)> whileOpen;
    ModalDialogs* real = nullptr;
    void showModal(QDialog& dialog) override {
        ++shown;
        if (real)
            return real->showModal(dialog);
        dialog.setWindowModality(Qt::ApplicationModal);
        dialog.show();
        if (whileOpen)
            whileOpen(dialog);
        if (dialog.isVisible())
            dialog.accept();
    }
};

// Records what would have been started. Like the real launcher, it cannot start an empty
// command line; `fails` makes every start fail.
struct FakeLauncher : Launcher {
    QStringList programs, editedFiles, addresses;
    bool fails = false;
    bool startProgram(const QString& line) override {
        programs << line;
        return !fails && !line.trimmed().isEmpty();
    }
    bool openInTextEditor(const QString& path) override { return (editedFiles << path, !fails); }
    bool openInBrowser(const QString& address) override { return (addresses << address, !fails); }
};

// An in-memory HKEY_LOCAL_MACHINE: keys[path][value name] = {type, data}, a string's data with
// or without its zero byte. It records the keys opened and closed, and answers only calls with
// the arguments a careful Win32 caller passes: options 0, full access, no reserved pointer and
// a zeroed buffer of 1024 bytes.
struct FakeRegistry : Registry {
    QMap<QString, QMap<QString, std::pair<quint32, QByteArray>>> keys;
    QStringList opened;        // a key's handle is its place in this list, from 1
    QList<RegistryKey> closed; // 0 for a key that did not open
    int openKeys = 0;

    long RegOpenKeyExA(RegistryKey root, const char* subKey, quint32 options, quint32 access,
                       RegistryKey* result) override {
        opened << QString::fromLocal8Bit(subKey);
        if (options != 0 || access != KeyAllAccess)
            return 87; // ERROR_INVALID_PARAMETER
        if (root != HkeyLocalMachine || !keys.contains(opened.last()))
            return ErrorFileNotFound;
        ++openKeys;
        *result = static_cast<RegistryKey>(opened.size());
        return ErrorSuccess;
    }

    long RegQueryValueExA(RegistryKey key, const char* valueName, quint32* reserved, quint32* type,
                          unsigned char* data, quint32* dataSize) override {
        if (reserved || *dataSize != 1024 ||
            std::any_of(data, data + 1024, [](auto byte) { return byte != 0; }))
            return 87; // ERROR_INVALID_PARAMETER
        const auto values = keys.value(opened.value(int(key) - 1));
        const QString name = QString::fromLocal8Bit(valueName);
        if (!values.contains(name))
            return ErrorFileNotFound;
        const auto [valueType, value] = values.value(name);
        *type = valueType;
        *dataSize = static_cast<quint32>(value.size());
        if (*dataSize > 1024)
            return ErrorMoreData;
        std::memcpy(data, value.constData(), *dataSize);
        return ErrorSuccess;
    }

    long RegCloseKey(RegistryKey key) override {
        closed << key;
        if (key == 0)
            return ErrorInvalidHandle;
        --openKeys;
        return ErrorSuccess;
    }
};

// Sets an environment variable until the end of the scope: PATH stands in for the programs
// installed, DISPLAY and its kin for the desktop.
struct EnvOverride {
    const char* const name;
    const QByteArray saved;
    EnvOverride(const char* name, const QString& value) : name(name), saved(qgetenv(name)) {
        qputenv(name, QFile::encodeName(value));
    }
    ~EnvOverride() { qputenv(name, saved); }
};

// A file with the given text, by default a program that does nothing.
inline bool MakeScript(const QString& path, const QByteArray& text = "#!/bin/sh\n",
                       bool executable = true) {
    QFile file(path);
    const QFile::Permissions readWrite = QFile::ReadOwner | QFile::WriteOwner;
    return file.open(QIODevice::WriteOnly) && file.write(text) == text.size() &&
           file.setPermissions(executable ? readWrite | QFile::ExeOwner : readWrite);
}

} // namespace kelvane::testing
