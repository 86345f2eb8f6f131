#pragma once

#include "app/Services.h"

#include <QStringList>
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
    std::function<void(const QString& text)> whileOpen;
    void information(QWidget*, const QString& title, const QString& text) override {
        show(title, text);
    }
    void plain(QWidget*, const QString& title, const QString& text) override { show(title, text); }

private:
    void show(const QString& title, const QString& text) {
        titles << title;
        texts << text;
        if (whileOpen)
            whileOpen(text);
    }
};

struct FakeEnd : ProgramEnd {
    int ends = 0;
    void endNow() override { ++ends; }
};

} // namespace kelvane::testing
