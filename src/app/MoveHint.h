#pragma once

#include "game/Board.h"

#include <QObject>

#include <memory>
#include <vector>

namespace kelvane {

// Looks for a player's best move on a thread of its own, so that the window keeps answering
// while the engine thinks, at most HintMs. Only the answer to the latest question is given.
class MoveHint : public QObject {
    Q_OBJECT

public:
    static constexpr int HintMs = 300;

    explicit MoveHint(QObject* parent = nullptr);
    // Waits for the searches still running; each ends soon once cancelled.
    ~MoveHint() override;

    void ask(const Board& board, int color);
    // The answer to what was asked so far is no longer wanted.
    void cancel();

signals:
    void found(Cell cell);

private:
    struct Search;
    void reapFinished();

    std::vector<std::unique_ptr<Search>> searches_;
    int asked_ = 0;
};

} // namespace kelvane
