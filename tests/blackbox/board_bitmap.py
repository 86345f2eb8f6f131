"""The board bitmap as its drawing rules give it, pixel by pixel, to compare with the screen.

319 x 303 pixels: a one-pixel black frame, 15 x 15 grid lines with a pitch of 21 across
and 20 down (the outer four two pixels wide), nine smoothed star points, and the board's
yellow everywhere else.
"""

from layout import BITMAP_SIZE, STAR_LINES, grid_x, grid_y
from screenshot import BOARD_BACKGROUND

BLACK = (0, 0, 0)
_SMOOTHING = {"3": (239, 207, 112), "2": (209, 181, 98), "1": (142, 123, 66), "K": BLACK}

# A star point fills a 9 x 9 square centred on its crossing; "." leaves the board's yellow.
STAR = (
    "....K....",
    "...3K3...",
    "..21K12..",
    ".31KKK13.",
    "KKKKKKKKK",
    ".31KKK13.",
    "..21K12..",
    "...3K3...",
    "....K....",
)

LINE_X = [grid_x(c) for c in range(1, 16)]
LINE_Y = [grid_y(r) for r in range(1, 16)]
# The outer lines are doubled outwards.
VERTICAL_XS = set(LINE_X) | {LINE_X[0] - 1, LINE_X[-1] + 1}
HORIZONTAL_YS = set(LINE_Y) | {LINE_Y[0] - 1, LINE_Y[-1] + 1}
LINES_TOP, LINES_BOTTOM = LINE_Y[0] - 1, LINE_Y[-1] + 1
LINES_LEFT, LINES_RIGHT = LINE_X[0] - 1, LINE_X[-1] + 1


def _star_pixel(x, y):
    for column in STAR_LINES:
        for row in STAR_LINES:
            dx, dy = x - grid_x(column), y - grid_y(row)
            if abs(dx) <= 4 and abs(dy) <= 4:
                mark = STAR[dy + 4][dx + 4]
                return _SMOOTHING.get(mark)
    return None


def pixel(x, y):
    width, height = BITMAP_SIZE
    if x in (0, width - 1) or y in (0, height - 1):
        return BLACK
    if x in VERTICAL_XS and LINES_TOP <= y <= LINES_BOTTOM:
        return BLACK
    if y in HORIZONTAL_YS and LINES_LEFT <= x <= LINES_RIGHT:
        return BLACK
    return _star_pixel(x, y) or BOARD_BACKGROUND
