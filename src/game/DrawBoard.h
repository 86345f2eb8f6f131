#pragma once

#include "game/Board.h"

namespace kelvane {

// What drawing needs of the board picture: an opaque copy of one 21 x 20 sprite from the
// stone strip onto its persistent image, and a refresh on screen.
class SpriteSurface {
public:
    virtual ~SpriteSurface() = default;
    virtual void copySprite(int stripLeft, int x, int y) = 0;
    virtual void refresh() = 0;
};

// Paints every stone of the board; empty cells are left as the picture shows them.
void DrawBoard(const Board& board, SpriteSurface& surface);

} // namespace kelvane
