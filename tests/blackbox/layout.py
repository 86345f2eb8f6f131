"""Where the program's controls are, from its layout in twips (15 twips make one pixel).

Main-window positions are relative to the client area below the menu bar; the board is
the one landmark a screenshot shows unmistakably, so the client origin is found from it.
"""

from screenshot import BOARD_BACKGROUND, is_dark

TWIPS_PER_PIXEL = 15


def px(twips):
    # Nearest pixel, halves away from zero, like the program's own conversion.
    return (twips + TWIPS_PER_PIXEL // 2) // TWIPS_PER_PIXEL


def rect(left, top, width, height):
    return (px(left), px(top), px(width), px(height))


def centre(r):
    x, y, w, h = r
    return (x + w // 2, y + h // 2)


def offset(r, dx, dy):
    x, y, w, h = r
    return (x + dx, y + dy, w, h)


# --- the logon dialog, relative to its client origin ------------------------------------
LOGON_SIZE = (px(4350), px(1890))
TXT_NAME = rect(1440, 120, 1575, 270)
FRM_MODE = rect(240, 960, 2760, 780)
OPT_SERVER = offset(rect(165, 360, 1215, 255), *FRM_MODE[:2])
OPT_CLIENT = offset(rect(1455, 360, 1215, 255), *FRM_MODE[:2])
TXT_IP = rect(1440, 525, 1575, 315)
CMD_OK = rect(3120, 420, 1095, 375)
CMD_END = rect(3120, 1140, 1095, 375)
LAB_NAME = rect(120, 120, 1050, 210)

def split_logon_and_main(windows):
    """(dialog id, main window id) among the two start-up windows, told apart by size."""
    dialogs = [w for w, g in windows.items() if (g[2], g[3]) == LOGON_SIZE]
    others = [w for w in windows if w not in dialogs]
    if len(dialogs) != 1 or len(others) != 1:
        return None
    return dialogs[0], others[0]


# --- the main window, relative to the client area below the menu bar --------------------
PIC_BOARD_TWIPS = (360, 360)
PIC_BOARD = (px(360), px(360), 321, 305)  # the 319 x 303 bitmap inside a 1-pixel border
FRA_CONTAINER = rect(5280, 270, 3000, 4650)


def _in_frame(left, top, width, height):
    return offset(rect(left, top, width, height), *FRA_CONTAINER[:2])


LAB_BLACK = _in_frame(120, 240, 2805, 255)
LAB_BLACK_SCORE = _in_frame(120, 480, 2805, 255)
LAB_WHITE = _in_frame(120, 960, 2805, 255)
LAB_WHITE_SCORE = _in_frame(120, 1200, 2805, 255)
LAB_HE = _in_frame(120, 1680, 2805, 255)
LAB_HE_SAY = _in_frame(120, 1920, 2805, 255)
LAB_I = _in_frame(120, 2400, 2805, 255)
LAB_I_SAY = _in_frame(120, 2880, 2805, 255)
TXT_MSG = _in_frame(120, 3360, 2805, 285)
CMD_SEND = _in_frame(240, 3720, 1200, 375)
CMD_NEW = _in_frame(1560, 3720, 1200, 375)
CMD_LINK = _in_frame(240, 4110, 1200, 375)
CMD_EXIT = _in_frame(1560, 4110, 1200, 375)
LBL_STATUS = rect(120, 5160, 8400, 300)

# --- the board picture, in bitmap pixels (inside the border) ----------------------------
BITMAP_SIZE = (319, 303)
CELL_WIDTH, CELL_HEIGHT = 21, 20
STAR_LINES = (4, 8, 12)


def grid_x(column):
    return 12 + CELL_WIDTH * (column - 1)


def grid_y(row):
    return 11 + CELL_HEIGHT * (row - 1)


def sprite_rect(column, row):
    """The stone sprite of a cell, in bitmap pixels."""
    return (3 + CELL_WIDTH * (column - 1), 2 + CELL_HEIGHT * (row - 1), CELL_WIDTH, CELL_HEIGHT)


class MainClient:
    """Maps main-window client positions (below the menu bar) to screen pixels."""

    def __init__(self, origin):
        self.x, self.y = origin

    def screen(self, r):
        return offset(r, self.x, self.y)

    def point(self, x, y):
        return (self.x + x, self.y + y)

    def bitmap_point(self, bx, by):
        """A board-bitmap pixel on the screen: past the picture's left/top and its border."""
        return (self.x + PIC_BOARD[0] + 1 + bx, self.y + PIC_BOARD[1] + 1 + by)

    def bitmap_rect(self, r):
        x, y = self.bitmap_point(r[0], r[1])
        return (x, y, r[2], r[3])

    def cell_centre(self, column, row):
        """Where a person clicks for a cell: on its grid crossing."""
        return self.bitmap_point(grid_x(column), grid_y(row))


def find_board(shot, window):
    """The screen position of the board picture's outer border inside a window, or None.

    The first board-coloured pixel, scanning rows from the window's top, is bitmap pixel
    (1, 1); the picture's border lies one pixel further out and the bitmap's frame inside it.
    """
    wx, wy, ww, wh = window
    for y in range(wy, wy + wh):
        for x in range(wx, wx + ww):
            if shot.pixel(x, y) != BOARD_BACKGROUND:
                continue
            bx, by = x - 2, y - 2
            corner_dark = all(is_dark(shot.pixel(bx + d, by + d), 40) for d in (0, 1))
            return (bx, by) if corner_dark else None
    return None


def client_origin(board_position):
    return (board_position[0] - PIC_BOARD[0], board_position[1] - PIC_BOARD[1])
