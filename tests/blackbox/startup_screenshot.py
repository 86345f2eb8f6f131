#!/usr/bin/env python3
"""Starts the real Kelvane on a private X display and checks its first screen.

Both windows show, centred; the logon dialog stands in front of the board and holds the
keyboard focus while the main window ignores clicks and keys; the board, the column
letters A-O and the row numbers 1-15 show where the layout puts them; the dialog's End
button ends the program.
"""

import sys

import screen
from screen import BOARD_YELLOW, grid, is_dark
from xsession import SCREEN_HEIGHT, SCREEN_WIDTH, inside, run

BLACK, SMOOTHED = (0, 0, 0), (239, 207, 112)
STARS = [(c, r) for c in (4, 8, 12) for r in (4, 8, 12)]


def board_samples():
    """(bitmap x, bitmap y, colour): frame, grid crossings, cells, star points."""
    samples = [(0, 150, BLACK), (318, 150, BLACK), (150, 0, BLACK), (150, 302, BLACK)]
    for c in range(1, 16):
        for r in range(1, 16):
            x, y = grid(c, r)
            samples.append((x, y, BLACK))
            if c < 15 and r < 15:
                samples.append((x + 10, y + 10, BOARD_YELLOW))
            if 1 < c < 15 and 1 < r < 15:  # a star point is a smoothed 9 x 9 blob
                star = (c, r) in STARS
                samples.append((x + 1, y + 1, BLACK if star else BOARD_YELLOW))
                samples.append((x - 1, y - 3, SMOOTHED if star else BOARD_YELLOW))
    return samples


def label_boxes(client):
    """Where each of 16 column letters and row numbers would stand (the 16th must not)."""
    letters = [client.at((int((240 + 312 * i) / 15) - 1, 8, 11, 14)) for i in range(1, 17)]
    numbers = [client.at((7, int((180 + 294 * j) / 15), 16, 14)) for j in range(1, 17)]
    return letters, numbers


def look(x, checks):
    windows = x.wait_windows(2, 10)
    checks.require("two windows titled Kelvane appear", windows, str(x.windows()))
    pair = screen.split_logon_and_main(windows)
    checks.require("one of them is the logon dialog, by its size", pair, str(windows))
    dialog, main = pair
    # The coordinate labels are printed before the window shows; let the paint settle.
    held, shot = x.watch(lambda s: screen.find_client(s, main), 5, "startup")
    checks.require("the board is found in the main window", held, str(main))
    client = screen.find_client(shot, main)

    off_centre = [g for g in (dialog, main) if abs(g[0] - (SCREEN_WIDTH - g[2]) // 2) > 1
                  or abs(g[1] - (SCREEN_HEIGHT - g[3]) // 2) > 1]
    checks.check("both windows are centred on the screen", not off_centre, str(off_centre))
    focused = x.xdotool("getwindowfocus", "-f").strip()
    checks.check("the logon dialog has the keyboard focus",
                 windows.get(int(focused or 0)) == dialog, f"focus on {focused}")
    board = client.at(screen.PIC_BOARD)
    overlaps = inside(dialog[:2], board)
    yellow = shot.count(*dialog, lambda rgb: rgb == BOARD_YELLOW)
    checks.check("the dialog overlaps the board and stands in front of it",
                 overlaps and yellow == 0, f"{yellow} board pixels inside the dialog")

    wrong = [(bx, by, shot.pixel(*client.bitmap(bx, by)), rgb)
             for bx, by, rgb in board_samples()
             if not inside(client.bitmap(bx, by), dialog)
             and shot.pixel(*client.bitmap(bx, by)) != rgb]
    checks.check("the board shows its frame, grid, star points and yellow cells", not wrong,
                 f"{len(wrong)} samples differ, first (x, y, seen, expected) {wrong[:3]}")
    for what, boxes in zip(("column letters A-O above", "row numbers 1-15 left of"),
                           label_boxes(client)):
        dark = [shot.count(*box, is_dark) for box in boxes]
        checks.check(f"the {what} the board are drawn, and no 16th",
                     all(dark[:15]) and dark[15] == 0, f"dark pixels per place: {dark}")

    def main_pixels(s):
        return [s.pixel(px, py) for py in range(main[1], main[1] + main[3])
                for px in range(main[0], main[0] + main[2]) if not inside((px, py), dialog)]

    before = main_pixels(shot)
    menu_bar = (main[0] + 20, (main[1] + client.y) // 2)
    for target in (client.cell(1, 1), menu_bar, screen.centre(client.at(screen.TXT_MSG)),
                   screen.centre(client.at(screen.CMD_EXIT))):
        x.click(*target)
    x.type_text("x")
    changed = sum(a != b for a, b in zip(before, main_pixels(x.screenshot("after-input"))))
    checks.check("clicks on the board, menu, chat box and 退出 and typing leave the main "
                 "window as it was", changed == 0 and x.process.poll() is None
                 and len(x.windows()) == 2,
                 f"{changed} pixels changed, exit code {x.process.poll()}, {x.windows()}")

    x.click(*screen.centre(screen.CMD_END, *dialog[:2]))
    code = x.wait_exit(5)
    checks.check("结束 ends the program with exit code 0", code == 0, f"exit code {code}")


if __name__ == "__main__":
    sys.exit(run(look))
