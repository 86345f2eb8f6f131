"""Where the program's controls are on the screen, and what a cell of the board shows.

Positions come from the layout in twips, 15 to a pixel; main-window ones are relative to
the client area below the menu bar, found from the board.
"""

BOARD_YELLOW = (255, 221, 120)
EMPTY, BLACK, WHITE, BLACK_LATEST, UNCLEAR = (
    "empty", "black", "white", "black (highlighted)", "unclear")


def rect(left, top, width, height):
    return tuple((twips + 7) // 15 for twips in (left, top, width, height))


def centre(r, x=0, y=0, across=0.5):
    """Where to click a control at r in a window at (x, y); `across` its width from the left."""
    return (x + r[0] + int(r[2] * across), y + r[1] + r[3] // 2)


def is_dark(rgb, limit=100):
    return max(rgb) < limit


# The logon dialog, relative to its top-left corner.
LOGON_SIZE = (290, 126)
TXT_NAME = rect(1440, 120, 1575, 270)
TXT_IP = rect(1440, 525, 1575, 315)
OPT_CLIENT = rect(240 + 1455, 960 + 360, 1215, 255)  # in the mode frame
CMD_OK = rect(3120, 420, 1095, 375)
CMD_END = rect(3120, 1140, 1095, 375)
# The main window's client area; the board picture is a 319 x 303 bitmap in a 1 px border.
PIC_BOARD = (24, 24, 321, 305)
TXT_MSG = rect(5280 + 120, 270 + 3360, 2805, 285)  # in the panel frame
CMD_EXIT = rect(5280 + 1560, 270 + 4110, 1200, 375)


def grid(column, row):
    """A grid crossing in bitmap pixels."""
    return (12 + 21 * (column - 1), 11 + 20 * (row - 1))


def split_logon_and_main(windows):
    """(dialog, main window) geometries among the two start-up windows, told by size."""
    dialogs = [g for g in windows.values() if g[2:] == LOGON_SIZE]
    others = [g for g in windows.values() if g[2:] != LOGON_SIZE]
    return (dialogs[0], others[0]) if len(dialogs) == len(others) == 1 else None


class Client:
    """Maps main-window client positions to screen pixels."""

    def __init__(self, x, y):
        self.x, self.y = x, y

    def at(self, r):
        return (r[0] + self.x, r[1] + self.y, r[2], r[3])

    def bitmap(self, bx, by):
        return (self.x + PIC_BOARD[0] + 1 + bx, self.y + PIC_BOARD[1] + 1 + by)

    def cell(self, column, row):
        return self.bitmap(*grid(column, row))

    def sprite(self, column, row):
        x, y = grid(column, row)
        return self.bitmap(x - 9, y - 9) + (21, 20)


def find_client(shot, window):
    """The main window's client origin from the board's first yellow pixel, bitmap (1, 1)."""
    wx, wy, ww, wh = window
    for y in range(wy, wy + wh):
        for x in range(wx, wx + ww):
            if shot.pixel(x, y) == BOARD_YELLOW:
                if not all(is_dark(shot.pixel(x - d, y - d), 40) for d in (1, 2)):
                    return None  # no frame and border around it: not the board
                return Client(x - 2 - PIC_BOARD[0], y - 2 - PIC_BOARD[1])
    return None


def classify(shot, client, column, row):
    """A cell's look from the colours in its sprite area of 420 pixels."""
    x, y, w, h = client.sprite(column, row)
    pixels = [shot.pixel(x + i, y + j) for i in range(w) for j in range(h)]
    dark = sum(is_dark(p) for p in pixels)
    red = sum(p[0] >= 150 and max(p[1:]) <= 130 for p in pixels)  # the highlight's sheen
    light = sum(min(p) >= 120 and max(p) - min(p) <= 40 for p in pixels)
    if red >= 60:
        return BLACK_LATEST if dark >= 60 else UNCLEAR
    if red == 0 and dark >= 150:
        return BLACK
    if red == 0 and light >= 150:
        return WHITE
    if red == light == 0 and dark <= 70 and pixels.count(BOARD_YELLOW) >= 300:
        return EMPTY
    return UNCLEAR


def board_differences(shot, client, expected):
    """Cells whose look differs from `expected` ({(column, row): kind}, others empty)."""
    return [f"{chr(64 + c)}{r}: {seen}, expected {want}"
            for r in range(1, 16) for c in range(1, 16)
            for want, seen in [(expected.get((c, r), EMPTY), classify(shot, client, c, r))]
            if seen != want]
