#!/usr/bin/env python3
"""Starts the real Kelvane on a private Xvfb display and checks its first screen.

The main window shows the board where its layout puts it, pixel for pixel as the board's
drawing rules give it, with the column letters A-O and row numbers 1-15 beside it; the
logon dialog stands in front, centred and holding the keyboard focus; the main window
ignores clicks while the dialog is open; the dialog's End button ends the program.

Usage: startup_screenshot.py PATH/TO/kelvane
Exit status: 0 all checks passed, 1 a check failed, 77 skipped (tools missing).
"""

import sys

import board_bitmap
import layout
from runner import run
from screenshot import BOARD_BACKGROUND, is_dark
from xsession import SCREEN_HEIGHT, SCREEN_WIDTH

# The coordinate texts' top-left corners, in twips of the main window's client area.
LETTER_TOP = layout.PIC_BOARD_TWIPS[1] - 240
NUMBER_LEFT = layout.PIC_BOARD_TWIPS[0] - 240
# A character of the window's 8.25 pt font is some 11 px high and up to 10 px wide. Row
# numbers have 16 px before the board's border.
GLYPH_WIDTH, GLYPH_HEIGHT = 10, 14
NUMBER_WIDTH = 15


def letter_left(i):
    return (layout.PIC_BOARD_TWIPS[0] + 312 * i - 120) / layout.TWIPS_PER_PIXEL


def number_top(j):
    return (layout.PIC_BOARD_TWIPS[1] + 294 * j - 180) / layout.TWIPS_PER_PIXEL


def inside(point, r):
    x, y = point
    return r[0] <= x < r[0] + r[2] and r[1] <= y < r[1] + r[3]


class StartupScreen:
    def __init__(self, session, checks):
        self.x = session
        self.checks = checks
        self.dialog_id = None
        self.dialog = None
        self.main = None
        self.client = None
        self.shot = None

    def run(self):
        self.start()
        self.check_windows()
        self.check_board()
        self.check_coordinates()
        self.check_dialog_contents()
        self.check_main_window_ignores_clicks()
        self.end_through_dialog()

    def start(self):
        self.x.start_display()
        print(f"display {self.x.display}", flush=True)
        self.x.start_program()
        windows = self.x.wait_windows(2, 10)
        self.checks.require("two windows titled Kelvane appear", windows,
                            f"found {self.x.windows()}")
        pair = layout.split_logon_and_main(windows)
        self.checks.require("one of them has the logon dialog's client size "
                            f"{layout.LOGON_SIZE[0]} x {layout.LOGON_SIZE[1]}", pair,
                            str(windows))
        self.dialog_id = pair[0]
        self.dialog = windows[pair[0]]
        self.main = windows[pair[1]]
        # Let the first paint settle: the coordinate labels are printed before showing.
        held, self.shot = self.x.watch(lambda s: layout.find_board(s, self.main), 5, "startup")
        self.checks.require("the board is found in the main window", held, str(self.main))
        self.client = layout.MainClient(layout.client_origin(layout.find_board(self.shot,
                                                                               self.main)))

    def check_windows(self):
        for name, (x, y, w, h) in (("logon dialog", self.dialog), ("main window", self.main)):
            centred = (abs(x - (SCREEN_WIDTH - w) // 2) <= 1 and
                       abs(y - (SCREEN_HEIGHT - h) // 2) <= 1)
            self.checks.check(f"the {name} is centred on the screen", centred,
                              f"{w} x {h} at {x}, {y}")
        focused = self.x.focused_window()
        self.checks.check("the logon dialog has the keyboard focus", focused == self.dialog_id,
                          f"focus on {focused}, dialog {self.dialog_id}")
        board_in_dialog = self.shot.count(*self.dialog, lambda rgb: rgb == BOARD_BACKGROUND)
        self.checks.check("the dialog lies in front of the board", board_in_dialog == 0,
                          f"{board_in_dialog} board pixels show inside the dialog")
        menu_height = self.client.y - self.main[1]
        self.checks.check("the board sits 24 px from the main window's left, below the menu bar",
                          self.client.x == self.main[0] and 10 <= menu_height <= 40,
                          f"client origin {self.client.x, self.client.y}, window {self.main}")
        status = self.client.screen(layout.LBL_STATUS)
        self.checks.check("the status line is empty", self.shot.count(*status, is_dark) == 0)

    # --- the board --------------------------------------------------------------------

    def visible_bitmap_points(self):
        width, height = layout.BITMAP_SIZE
        for by in range(height):
            for bx in range(width):
                point = self.client.bitmap_point(bx, by)
                if not inside(point, self.dialog):
                    yield bx, by, point

    def bitmap_matches(self, bx, by):
        point = self.client.bitmap_point(bx, by)
        if inside(point, self.dialog):
            return True  # hidden: not judged
        return self.shot.pixel(*point) == board_bitmap.pixel(bx, by)

    def check_board(self):
        self.check_border()
        self.check_samples("vertical grid lines are black, one pixel wide inside, two outside",
                           self.vertical_line_samples())
        self.check_samples("horizontal grid lines are black, one pixel wide inside, two outside",
                           self.horizontal_line_samples())
        self.check_samples("the nine star points have their smoothed 9 x 9 pattern",
                           self.star_samples())
        self.check_samples("the board's yellow (255, 221, 120) fills every cell between lines",
                           [(board_bitmap.LINE_X[c] + 10, board_bitmap.LINE_Y[r] + 10)
                            for c in range(14) for r in range(14)])
        wrong = [(bx, by) for bx, by, point in self.visible_bitmap_points()
                 if self.shot.pixel(*point) != board_bitmap.pixel(bx, by)]
        self.checks.check("every visible pixel of the board equals its drawing rules",
                          not wrong, f"{len(wrong)} differ, first at {wrong[:5]}")

    def check_border(self):
        left, top = self.client.bitmap_point(-1, -1)
        width, height = layout.PIC_BOARD[2], layout.PIC_BOARD[3]
        edge = [(left + i, top) for i in range(width)] + [(left + i, top + height - 1)
                                                          for i in range(width)]
        edge += [(left, top + i) for i in range(height)] + [(left + width - 1, top + i)
                                                            for i in range(height)]
        bad = [p for p in edge if not inside(p, self.dialog) and self.shot.pixel(*p) != (0, 0, 0)]
        self.checks.check("the picture's one-pixel black border surrounds the bitmap", not bad,
                          f"{len(bad)} border pixels not black")
        self.check_samples("the bitmap's frame is black with the board's yellow inside it",
                           [(0, 150), (318, 150), (150, 0), (150, 302), (5, 5), (313, 297)])

    def check_samples(self, what, samples):
        bad = [(bx, by) for bx, by in samples if not self.bitmap_matches(bx, by)]
        details = [f"({bx}, {by}) is {self.shot.pixel(*self.client.bitmap_point(bx, by))}, "
                   f"expected {board_bitmap.pixel(bx, by)}" for bx, by in bad[:4]]
        self.checks.check(what, not bad, "; ".join(details))

    @staticmethod
    def vertical_line_samples():
        mid_rows = [y + 10 for y in board_bitmap.LINE_Y[:-1]]
        samples = []
        for x in board_bitmap.LINE_X:
            for y in mid_rows:
                samples += [(x - 2, y), (x - 1, y), (x, y), (x + 1, y), (x + 2, y)]
        return samples

    @staticmethod
    def horizontal_line_samples():
        mid_columns = [x + 10 for x in board_bitmap.LINE_X[:-1]]
        samples = []
        for y in board_bitmap.LINE_Y:
            for x in mid_columns:
                samples += [(x, y - 2), (x, y - 1), (x, y), (x, y + 1), (x, y + 2)]
        return samples

    @staticmethod
    def star_samples():
        return [(layout.grid_x(c) + dx, layout.grid_y(r) + dy)
                for c in layout.STAR_LINES for r in layout.STAR_LINES
                for dx in range(-4, 5) for dy in range(-4, 5)]

    # --- coordinates ------------------------------------------------------------------

    def text_box(self, left, top, width=GLYPH_WIDTH):
        x, y = self.client.point(int(left), int(top))
        return (x - 1, y, width + 1, GLYPH_HEIGHT)

    def check_coordinates(self):
        top = LETTER_TOP / layout.TWIPS_PER_PIXEL
        letters = [self.text_box(letter_left(i), top) for i in range(1, 17)]
        dark = [self.shot.count(*box, is_dark) for box in letters]
        self.checks.check("the 15 column letters A-O are drawn above the board", all(dark[:15]),
                          f"dark pixels per letter box: {dark[:15]}")
        self.checks.check("no 16th column letter (P)", dark[15] == 0, f"{dark[15]} dark pixels")
        widths = [self.glyph_width(box) for box in letters[:15]]
        narrowest = widths.index(min(widths)) + 1
        self.checks.check("the narrowest letter is the 9th, I", narrowest == 9,
                          f"letter widths {widths}")

        left = NUMBER_LEFT / layout.TWIPS_PER_PIXEL
        numbers = [self.text_box(left, number_top(j), NUMBER_WIDTH) for j in range(1, 17)]
        dark = [self.shot.count(*box, is_dark) for box in numbers]
        self.checks.check("the 15 row numbers 1-15 are drawn left of the board", all(dark[:15]),
                          f"dark pixels per number box: {dark[:15]}")
        self.checks.check("no 16th row number", dark[15] == 0, f"{dark[15]} dark pixels")
        extents = [self.shot.dark_extent(*box) for box in numbers[:15]]
        lefts = [extent[0] - box[0] for extent, box in zip(extents, numbers)]
        rights = [extent[1] - box[0] for extent, box in zip(extents, numbers)]
        self.checks.check("the numbers 10-15 reach further right than 1-9",
                          min(rights[9:]) > max(rights[:9]) + 3, f"right ends {rights}")
        self.checks.check("all numbers start at the same left", max(lefts) - min(lefts) <= 3,
                          f"left ends {lefts}")

    def glyph_width(self, box):
        extent = self.shot.dark_extent(*box)
        return extent[1] - extent[0] + 1 if extent else 0

    # --- the dialog -------------------------------------------------------------------

    def check_dialog_contents(self):
        controls = {"name label": layout.LAB_NAME, "name box (the default name)":
                    layout.TXT_NAME, "address box": layout.TXT_IP, "OK button": layout.CMD_OK,
                    "End button": layout.CMD_END, "host option": layout.OPT_SERVER,
                    "join option": layout.OPT_CLIENT}
        empty = []
        for name, control in controls.items():
            area = layout.offset(control, self.dialog[0], self.dialog[1])
            if self.shot.count(*area, is_dark) < 10:
                empty.append(name)
        self.checks.check("the dialog shows its controls' captions and texts", not empty,
                          f"nothing drawn in: {', '.join(empty)}")

    # --- input while the dialog is open -----------------------------------------------

    def check_main_window_ignores_clicks(self):
        before = self.main_window_pixels(self.shot)
        menu_bar = (self.main[0] + 20, (self.main[1] + self.client.y) // 2)
        targets = {"the board": self.client.cell_centre(1, 1), "the File menu": menu_bar,
                   "the chat box": layout.centre(self.client.screen(layout.TXT_MSG)),
                   "退出": layout.centre(self.client.screen(layout.CMD_EXIT))}
        for target in targets.values():
            self.x.click(*target)
        after_shot = self.x.screenshot("after-clicks-on-main-window")
        still_running = self.x.process.poll() is None
        self.checks.require("the program keeps running after clicks on 退出 and others "
                            "in the disabled main window", still_running,
                            f"exit code {self.x.process.poll()}")
        windows = self.x.windows()
        self.checks.check("no menu or other window opens", len(windows) == 2, str(windows))
        changed = sum(1 for a, b in zip(before, self.main_window_pixels(after_shot)) if a != b)
        self.checks.check("the main window looks the same after the clicks", changed == 0,
                          f"{changed} pixels changed")
        # Keys go wherever the clicks left the focus; the disabled window takes none.
        self.x.type_text("x")
        typed = self.main_window_pixels(self.x.screenshot("after-typing"))
        changed = sum(1 for a, b in zip(before, typed) if a != b)
        self.checks.check("typing changes nothing in the main window", changed == 0,
                          f"{changed} pixels changed")

    def main_window_pixels(self, shot):
        x, y, w, h = self.main
        pixels = shot.region(x, y, w, h)
        return [rgb for i, rgb in enumerate(pixels)
                if not inside((x + i % w, y + i // w), self.dialog)]

    def end_through_dialog(self):
        self.x.click(*layout.centre(layout.offset(layout.CMD_END, *self.dialog[:2])))
        code = self.x.wait_exit(5)
        self.checks.check("结束 ends the program with exit code 0", code == 0,
                          f"exit code {code}")


def look(session, checks, _):
    StartupScreen(session, checks).run()


if __name__ == "__main__":
    sys.exit(run(sys.argv, __doc__, look))
