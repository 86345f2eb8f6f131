#include "game/DrawBoard.h"

#include "game/BoardGeometry.h"

namespace kelvane {

void DrawBoard(const Board& board, SpriteSurface& surface) {
    for (int column = 1; column <= BoardSize; ++column) {
        for (int row = 1; row <= BoardSize; ++row) {
            const int code = board.at(column, row);
            if (code >= BlackStone && code <= WhiteHighlighted)
                surface.copySprite(SpriteLeft(code), CellLeft(column), CellTop(row));
        }
    }
    surface.refresh();
}

} // namespace kelvane
