#include "game/Opening.h"

#include "game/Board.h"

namespace kelvane {

std::optional<bool> OpensNewGame(int myColor, const Record& record) {
    const bool evenCount = record.decidedGames() % 2 == 0;
    if (myColor == Black)
        return evenCount;
    if (myColor == White)
        return !evenCount;
    return std::nullopt;
}

} // namespace kelvane
