#pragma once

#include "app/Services.h"

#include <QDialog>
#include <QList>
#include <QMap>
#include <QStringList>
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

// Answers every message box at once, remembering its title and text. whileOpen runs while
// the box would be on screen.
struct FakeBoxes : MessageBoxes {
    QStringList titles;
    QStringList texts;
    QList<bool> withIcon;
    QList<QWidget*> parents;
    std::function<void(const QString& text)> whileOpen;
    void information(QWidget* parent, const QString& title, const QString& text) override {
        show(parent, title, text, true);
    }
    void plain(QWidget* parent, const QString& title, const QString& text) override {
        show(parent, title, text, false);
    }

private:
    void show(QWidget* parent, const QString& title, const QString& text, bool icon) {
        titles << title;
        texts << text;
        withIcon << icon;
        parents << parent;
        if (whileOpen)
            whileOpen(text);
    }
};

struct FakeEnd : ProgramEnd {
    int ends = 0;
    void endNow() override { ++ends; }
};

// Shows a dialog application-modal, as exec() would, but without a nested event loop:
// whileOpen acts as the user while it is up; if the dialog is still open after that, it is
// closed, as a click on its OK button would.
struct FakeDialogs : ModalDialogs {
    int shown = 0;
    std::function<void(QDialog& dialog)> whileOpen;
    void showModal(QDialog& dialog) override {
        ++shown;
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
    QStringList programs;
    QStringList editedFiles;
    QStringList addresses;
    bool fails = false;
    std::function<void()> whileStarting;
    bool startProgram(const QString& commandLine) override {
        programs << commandLine;
        return starts() && !commandLine.trimmed().isEmpty();
    }
    bool openInTextEditor(const QString& path) override {
        editedFiles << path;
        return starts();
    }
    bool openInBrowser(const QString& address) override {
        addresses << address;
        return starts();
    }

private:
    bool starts() {
        if (whileStarting)
            whileStarting();
        return !fails;
    }
};

// An in-memory registry with the Win32 calls' statuses and sizes, which records every call
// so that tests can follow the steps of a read. Keys and value names are compared without
// regard to case, as the registry does.
struct FakeRegistry : Registry {
    struct Value {
        quint32 type = RegSz;
        QByteArray data;
    };
    struct OpenCall {
        RegistryKey root;
        QString path;
        quint32 options;
        quint32 access;
    };
    struct QueryCall {
        RegistryKey key;
        QString name;
        quint32 bufferSize;
        bool bufferZeroed;
        bool reservedIsNull;
    };

    QList<OpenCall> opens;
    QList<QueryCall> queries;
    QList<RegistryKey> closes;

    // A value under HKEY_LOCAL_MACHINE; a string's data is given with or without its zero.
    void set(const QString& keyPath, const QString& name, quint32 type, const QByteArray& data) {
        keys_[keyPath.toLower()][name.toLower()] = Value{type, data};
    }
    void setString(const QString& keyPath, const QString& name, const QString& text) {
        set(keyPath, name, RegSz, text.toLocal8Bit() + '\0');
    }
    int openKeys() const { return openKeys_; }

    long RegOpenKeyExA(RegistryKey root, const char* subKey, quint32 options, quint32 access,
                       RegistryKey* result) override {
        const QString path = QString::fromLocal8Bit(subKey);
        opens << OpenCall{root, path, options, access};
        if (root != HkeyLocalMachine || !keys_.contains(path.toLower()))
            return ErrorFileNotFound;
        handles_ << path.toLower();
        ++openKeys_;
        *result = static_cast<RegistryKey>(handles_.size());
        return ErrorSuccess;
    }

    long RegQueryValueExA(RegistryKey key, const char* valueName, quint32* reserved, quint32* type,
                          unsigned char* data, quint32* dataSize) override {
        const QString name = QString::fromLocal8Bit(valueName);
        queries << QueryCall{key, name, *dataSize, isZeroed(data, *dataSize), reserved == nullptr};
        if (key == 0 || key > RegistryKey(handles_.size()))
            return ErrorInvalidHandle;
        const auto& values = keys_[handles_[int(key) - 1]];
        if (!values.contains(name.toLower()))
            return ErrorFileNotFound;
        const Value& value = values[name.toLower()];
        const auto size = static_cast<quint32>(value.data.size());
        const quint32 room = *dataSize;
        *dataSize = size;
        *type = value.type;
        if (size > room)
            return ErrorMoreData;
        std::memcpy(data, value.data.constData(), size);
        return ErrorSuccess;
    }

    long RegCloseKey(RegistryKey key) override {
        closes << key;
        if (key == 0 || key > RegistryKey(handles_.size()))
            return ErrorInvalidHandle;
        --openKeys_;
        return ErrorSuccess;
    }

private:
    static bool isZeroed(const unsigned char* data, quint32 size) {
        for (quint32 i = 0; i < size; ++i) {
            if (data[i] != 0)
                return false;
        }
        return true;
    }

    QMap<QString, QMap<QString, Value>> keys_;
    QStringList handles_;
    int openKeys_ = 0;
};

} // namespace kelvane::testing
