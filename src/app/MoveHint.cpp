#include "app/MoveHint.h"

#include "game/Engine.h"

#include <algorithm>
#include <atomic>
#include <optional>
#include <thread>

namespace kelvane {

namespace {
// A hint needs far less of a table than a whole game.
constexpr std::int64_t HintMemoryBytes = 16 * 1024 * 1024;
} // namespace

struct MoveHint::Search {
    Engine engine;
    std::thread thread;
    std::atomic<bool> finished = false;
};

MoveHint::MoveHint(QObject* parent) : QObject(parent) {}

MoveHint::~MoveHint() {
    cancel();
    for (const auto& search : searches_)
        search->thread.join();
}

void MoveHint::ask(const Board& board, int color) {
    cancel();
    reapFinished();
    auto search = std::make_unique<Search>();
    EngineLimits limits = LimitsForStrength(DefaultStrength);
    limits.timeMs = limits.timeMs > 0 ? std::min(limits.timeMs, HintMs) : HintMs;
    search->engine.setLimits(limits);
    search->engine.setMemoryLimit(HintMemoryBytes);
    Search& running = *search;
    running.thread = std::thread([this, &running, board, color, asked = asked_] {
        const std::optional<Cell> cell = running.engine.chooseMove(board, color);
        // Posted to this object's thread, which only then compares with what is asked now.
        QMetaObject::invokeMethod(
            this,
            [this, asked, cell] {
                if (asked == asked_ && cell)
                    emit found(*cell);
            },
            Qt::QueuedConnection);
        running.finished = true;
    });
    searches_.push_back(std::move(search));
}

void MoveHint::cancel() {
    ++asked_;
    for (const auto& search : searches_)
        search->engine.cancel();
}

void MoveHint::reapFinished() {
    std::erase_if(searches_, [](const std::unique_ptr<Search>& search) {
        if (!search->finished)
            return false;
        search->thread.join();
        return true;
    });
}

} // namespace kelvane
