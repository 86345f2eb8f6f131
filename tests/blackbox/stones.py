"""Reading the stones off a screenshot of the board, cell by cell.

Each cell's 21 x 20 sprite area is sorted by its colours: a black stone is mostly
black, a white one mostly light grey and cream, the opponent's latest stone carries a
red sheen, and an empty cell is board yellow crossed by two grid lines.
"""

import layout
from screenshot import BOARD_BACKGROUND, is_dark, is_light_grey_or_white, is_red

EMPTY, BLACK, WHITE, BLACK_LATEST, WHITE_LATEST, UNCLEAR = (
    "empty", "black", "white", "black (highlighted)", "white (highlighted)", "unclear")

# A sprite area holds 420 pixels; a stone's disc covers some 290 of them.
_STONE_PIXELS = 150
_SHEEN_PIXELS = 60
_GRID_PIXELS = 70


def classify(shot, client, column, row):
    pixels = shot.region(*client.bitmap_rect(layout.sprite_rect(column, row)))
    dark = sum(1 for rgb in pixels if is_dark(rgb))
    red = sum(1 for rgb in pixels if is_red(rgb))
    light = sum(1 for rgb in pixels if is_light_grey_or_white(rgb))
    background = sum(1 for rgb in pixels if rgb == BOARD_BACKGROUND)
    if red >= _SHEEN_PIXELS:
        return BLACK_LATEST if dark >= _SHEEN_PIXELS else WHITE_LATEST
    if red == 0 and dark >= _STONE_PIXELS:
        return BLACK
    if red == 0 and light >= _STONE_PIXELS:
        return WHITE
    if red == 0 and light == 0 and dark <= _GRID_PIXELS and background >= 300:
        return EMPTY
    return UNCLEAR


def _visible(client, column, row, covered):
    x, y, w, h = client.bitmap_rect(layout.sprite_rect(column, row))
    for cx, cy, cw, ch in covered:
        if x < cx + cw and cx < x + w and y < cy + ch and cy < y + h:
            return False
    return True


def board_differences(shot, client, expected, covered=()):
    """Cells whose look differs from `expected` ({(column, row): kind}, others empty).

    Cells under another window (rectangles in `covered`) are not judged.
    """
    differences = []
    for row in range(1, 16):
        for column in range(1, 16):
            if not _visible(client, column, row, covered):
                continue
            want = expected.get((column, row), EMPTY)
            seen = classify(shot, client, column, row)
            if seen != want:
                differences.append(f"{chr(64 + column)}{row}: {seen}, expected {want}")
    return differences


def stray_pixels_around(shot, client, column, row):
    """Pixels next to a lone stone's sprite that are neither board nor grid line.

    A sprite copied one pixel off its place spills its colours over this ring.
    """
    x, y, w, h = client.bitmap_rect(layout.sprite_rect(column, row))
    ring = [(x - 1 + dx, y - 1) for dx in range(w + 2)]
    ring += [(x - 1 + dx, y + h) for dx in range(w + 2)]
    ring += [(x - 1, y + dy) for dy in range(h)]
    ring += [(x + w, y + dy) for dy in range(h)]
    board_left, board_top = client.bitmap_point(0, 0)
    inside = [(px, py) for px, py in ring
              if board_left < px < board_left + layout.BITMAP_SIZE[0] - 1
              and board_top < py < board_top + layout.BITMAP_SIZE[1] - 1]
    stray = [(px, py) for px, py in inside
             if shot.pixel(px, py) != BOARD_BACKGROUND and not is_dark(shot.pixel(px, py), 40)]
    dark = [(px, py) for px, py in inside if is_dark(shot.pixel(px, py), 40)]
    # The two grid lines through the cell cross the ring at most four times, two pixels
    # each where an outer line is doubled.
    return len(stray) + max(0, len(dark) - 8)
