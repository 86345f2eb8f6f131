#pragma once

#include "lan/Discovery.h"
#include "app/Services.h"

#include <QDialog>
#include <QFile>
#include <QMap>
#include <QStringList>
#include <QTimer>
#include <algorithm>
#include <utility>
#include <functional>

namespace kelvane::testing {

// Stands in for the move sound. It ends from the event loop, as a real one does; with
// `lasting` set it goes on playing until end() is called, or at worst for ten seconds.
struct FakeSound : MoveSound {
    int plays = 0;
    bool lasting = false;
    std::function<void()> pending;
    void play(std::function<void()> done) override {
        end();
        pending = std::move(done);
        QTimer::singleShot(lasting ? 10000 : 0, &timer, [this, play = ++plays] {
            if (play == plays)
                end();
        });
    }
    bool playing() const { return bool(pending); }
    void end() {
        if (auto done = std::exchange(pending, nullptr))
            done();
    }
    QObject timer; // cancels what is still due when the fake goes
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

// Stands in for discovery on the network: what is announced, whether it browses, and the
// hosts it would have found.
struct FakeDiscovery : Discovery {
    QString announced; // "name:port" while announced
    bool browsing = false;
    QList<DiscoveredHost> found;
    void announce(const QString& name, quint16 port) override {
        announced = name + ':' + QString::number(port);
    }
    void withdraw() override { announced.clear(); }
    void startBrowsing() override { browsing = true; }
    void stopBrowsing() override { browsing = false; }
    QList<DiscoveredHost> hosts() const override { return found; }
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

// Records what would have been started; `fails` makes every start fail.
struct FakeLauncher : Launcher {
    QStringList programs, editedFiles, addresses;
    bool fails = false;
    bool startProgram(const QString& line) override {
        programs << line;
        return !fails;
    }
    bool openInTextEditor(const QString& path) override { return (editedFiles << path, !fails); }
    bool openInBrowser(const QString& address) override { return (addresses << address, !fails); }
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
