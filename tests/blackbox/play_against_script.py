#!/usr/bin/env python3
"""Plays the real Kelvane against a scripted host, as a person at the screen would.

The script is the host on 127.0.0.1:5238 and plays black; the program, started on a
private Xvfb display, joins through its logon dialog and plays white. The bytes it sends
and the stones it shows must match the moves made on either side, up to the script's
five in a row, the program's loss box, the leave message and the exit.

Usage: play_against_script.py PATH/TO/kelvane
Exit status: 0 all checks passed, 1 a check failed, 77 skipped (tools or port missing).
Screenshots and the program's output are kept in a temporary folder, named on start.
"""

import sys

import layout
import peer
import stones
from glyphs import has_text, same_characters, text_width
from runner import Skip, run

PLAYER_NAME = "玩家"
SCRIPT_CAPTION = "黑方：脚本"
CHAT_TO_PROGRAM = "你好"
CHAT_FROM_PROGRAM = "你好吗 ok"
# The script's five in a row, H8 to L8, and the program's replies in the four corners.
BLACK_MOVES = [(8, 8), (9, 8), (10, 8), (11, 8), (12, 8)]
WHITE_MOVES = [(1, 1), (15, 15), (15, 1), (1, 15)]
EMPTY_CELL = (5, 5)
# How long the line must stay silent where the program should send nothing.
QUIET = 0.8


def cell_name(cell):
    return f"{chr(64 + cell[0])}{cell[1]}"


class Match:
    def __init__(self, session, host, checks):
        self.x = session
        self.host = host
        self.checks = checks
        self.dialog = None
        self.main = None
        self.client = None
        self.expected = {}

    def run(self):
        self.start()
        self.join()
        self.exchange_names()
        self.play_until_black_has_four()
        self.lose()
        self.peer_leaves()
        self.exit_program()

    # --- the wire ----------------------------------------------------------------------

    def expect_bytes(self, what, expected, timeout=5):
        got = self.host.receive_exactly(len(expected), timeout)
        extra = self.host.receive_until_quiet(0.3, quiet=0.3)
        detail = f"expected {peer.hexdump(expected)}, got {peer.hexdump(got + extra)}"
        return self.checks.check(what, got == expected and not extra, detail)

    def expect_silence(self, what):
        got = self.host.receive_until_quiet(QUIET, quiet=0.2)
        return self.checks.check(what, not got, f"got {peer.hexdump(got)}")

    # --- the screen --------------------------------------------------------------------

    def area(self, control):
        return self.client.screen(control)

    def board_as_expected(self, shot, covered=()):
        return not stones.board_differences(shot, self.client, self.expected, covered)

    def check_board(self, what, name, covered=()):
        held, shot = self.x.watch(lambda s: self.board_as_expected(s, covered), 5, name)
        differences = stones.board_differences(shot, self.client, self.expected, covered)
        self.checks.check(what, held, "; ".join(differences[:6]) + self.program_state())
        return shot

    def program_state(self):
        code = self.x.process.poll()
        return "" if code is None else f"; the program has exited with code {code}"

    def columns(self, shot, label):
        return shot.dark_columns(*self.area(label))

    def click_cell(self, cell):
        self.x.click(*self.client.cell_centre(*cell))

    # --- the steps ---------------------------------------------------------------------

    def start(self):
        self.x.start_display()
        print(f"display {self.x.display}", flush=True)
        self.x.add_keys_for(PLAYER_NAME + CHAT_FROM_PROGRAM)
        self.x.start_program()
        windows = self.x.wait_windows(2, 10)
        self.checks.require("the program shows two windows titled Kelvane", windows,
                            f"found {self.x.windows()}{self.program_state()}")
        pair = layout.split_logon_and_main(windows)
        self.checks.require("one of them is the logon dialog, by its size", pair, str(windows))
        self.dialog = windows[pair[0]]
        self.main = windows[pair[1]]
        self.x.screenshot("logon")

    def dialog_point(self, control, fraction=0.5):
        x, y, w, h = layout.offset(control, self.dialog[0], self.dialog[1])
        return (x + int(w * fraction), y + h // 2)

    def join(self):
        # On the option's caption, not the far end of its wide box.
        self.x.click(*self.dialog_point(layout.OPT_CLIENT, 0.3))
        self.x.click(*self.dialog_point(layout.TXT_NAME))
        self.x.key("ctrl+a")
        self.x.type_text(PLAYER_NAME)
        self.x.click(*self.dialog_point(layout.TXT_IP))
        self.x.key("ctrl+a")
        self.x.type_text("127.0.0.1")
        self.x.screenshot("logon-filled-in")
        self.x.click(*self.dialog_point(layout.CMD_OK))
        connected = self.host.accept(5)
        self.checks.require("the program connects to the script at 127.0.0.1:5238", connected,
                            f"from {self.host.peer_address}" if connected else
                            "no connection within 5 s" + self.program_state())
        remaining = self.x.wait_windows(1, 5)
        self.checks.check("the logon dialog closes after OK", remaining, str(self.x.windows()))

    def exchange_names(self):
        expected = peer.name("白方：" + PLAYER_NAME)
        got = self.host.receive_until_quiet(5)
        self.checks.check("the program sends its name: 2 + GBK(白方：玩家)", got == expected,
                          f"expected {peer.hexdump(expected)}, got {peer.hexdump(got)}")
        self.host.send(peer.name(SCRIPT_CAPTION))
        shot = self.x.screenshot()
        board = layout.find_board(shot, self.main)
        self.checks.require("the board is found in the main window", board,
                            f"main window at {self.main}")
        self.client = layout.MainClient(layout.client_origin(board))
        menu_height = self.client.y - self.main[1]
        self.checks.check("the board sits 24 px from the window's left, below the menu bar",
                          self.client.x == self.main[0] and 10 <= menu_height <= 40,
                          f"client origin {self.client.x, self.client.y}, window {self.main}")
        held, shot = self.x.watch(lambda s: has_text(s, self.area(layout.LAB_BLACK)) and
                                  has_text(s, self.area(layout.LAB_HE)), 3, "names-exchanged")
        self.checks.check("the script's name shows in the black player's and peer's labels",
                          held)
        self.checks.check("the program's own name shows in the white player's label",
                          has_text(shot, self.area(layout.LAB_WHITE)))
        black = self.columns(shot, layout.LAB_BLACK)
        white = self.columns(shot, layout.LAB_WHITE)
        peer_name = self.columns(shot, layout.LAB_HE)
        self.checks.check("脚本 in 黑方：脚本 is the 脚本 of 脚本说：, pixel for pixel",
                          same_characters(peer_name, black, 2, 0, 3))
        self.checks.check("方： in 黑方：脚本 is the 方： of 白方：玩家, pixel for pixel",
                          same_characters(black, white, 2, 1, 1))
        self.checks.check("while 黑 and 白 differ", not same_characters(black, white, 1))
        self.connected_status = shot.dark_columns(*self.area(layout.LBL_STATUS))
        self.connected_width = text_width(shot, self.area(layout.LBL_STATUS))
        self.checks.check("the status line shows a caption (连线中)", self.connected_width > 0)
        self.expect_silence("the program sends nothing more after the names")

    def play_until_black_has_four(self):
        for turn, (black, white) in enumerate(zip(BLACK_MOVES, WHITE_MOVES)):
            self.black_moves(black, lone=turn == 0)
            if turn == 1:
                self.click_cell(BLACK_MOVES[0])
                self.expect_silence("a click on an occupied cell sends nothing")
            self.white_moves(white, black)
            if turn == 0:
                self.click_out_of_turn()
            if turn == 1:
                self.chat_both_ways()

    def send_black(self, cell):
        # The newest stone from the wire is highlighted, the one before it no longer.
        for placed, kind in self.expected.items():
            if kind == stones.BLACK_LATEST:
                self.expected[placed] = stones.BLACK
        self.expected[cell] = stones.BLACK_LATEST
        self.host.send(peer.move(*cell))

    def black_moves(self, cell, lone):
        self.send_black(cell)
        shot = self.check_board(f"the script's move {cell_name(cell)} shows a highlighted "
                                "black stone there, every other cell as expected",
                                f"black-{cell_name(cell)}")
        if lone:
            stray = stones.stray_pixels_around(shot, self.client, *cell)
            self.checks.check(f"the stone at {cell_name(cell)} lies exactly in its cell",
                              stray == 0, f"{stray} stray pixels around it")

    def white_moves(self, cell, last_black):
        self.click_cell(cell)
        self.expect_bytes(f"a click on {cell_name(cell)} sends 31 {cell[0]:02X} {cell[1]:02X}",
                          peer.move(*cell))
        # Placing its own stone redraws the board: the peer's stone loses its highlight.
        self.expected[cell] = stones.WHITE
        self.expected[last_black] = stones.BLACK
        shot = self.check_board(f"the program shows its white stone at {cell_name(cell)} "
                                "and the black stones plain", f"white-{cell_name(cell)}")
        if cell == WHITE_MOVES[0]:
            stray = stones.stray_pixels_around(shot, self.client, *cell)
            self.checks.check(f"the stone at {cell_name(cell)} lies exactly in its cell",
                              stray == 0, f"{stray} stray pixels around it")

    def click_out_of_turn(self):
        self.click_cell(EMPTY_CELL)
        self.expect_silence("a click while the script is to move sends nothing")
        self.check_board(f"and places no stone at {cell_name(EMPTY_CELL)}", None)

    def chat_both_ways(self):
        self.host.send(peer.chat(CHAT_TO_PROGRAM))
        held, _ = self.x.watch(lambda s: has_text(s, self.area(layout.LAB_HE_SAY)), 3,
                               "chat-received")
        self.checks.check("the script's chat line 你好 shows in the peer's chat label, and "
                          "the program runs on", held and self.x.process.poll() is None,
                          self.program_state())
        self.x.click(*layout.centre(self.area(layout.TXT_MSG)))
        self.x.type_text(CHAT_FROM_PROGRAM)
        self.x.key("Return")
        self.expect_bytes(f"Enter in the chat box sends 5 + GBK({CHAT_FROM_PROGRAM})",
                          peer.chat(CHAT_FROM_PROGRAM))
        held, shot = self.x.watch(lambda s: has_text(s, self.area(layout.LAB_I_SAY)), 3,
                                  "chat-sent")
        self.checks.check("the program's own chat line shows in its chat label", held)
        self.checks.check("its 你好 matches the script's 你好 in the peer's label, pixel for "
                          "pixel", same_characters(self.columns(shot, layout.LAB_HE_SAY),
                                                   self.columns(shot, layout.LAB_I_SAY), 2))

    def lose(self):
        before = self.x.screenshot()
        records = [self.columns(before, label)
                   for label in (layout.LAB_BLACK_SCORE, layout.LAB_WHITE_SCORE)]
        self.send_black(BLACK_MOVES[-1])
        box = self.loss_box()
        if box is None:
            return
        focused = self.x.focused_window()
        self.checks.check("the loss box has the keyboard focus", focused == box,
                          f"focus on window {focused}, box {box}")
        if focused != box:
            self.x.xdotool("windowfocus", "--sync", box, check=False)
        self.x.key("Return")
        gone = self.x.wait_windows(1, 3)
        self.checks.check("Return dismisses the loss box", gone, str(self.x.windows()))
        shot = self.check_board("after the box the board shows the five, the last highlighted",
                                "after-loss")
        self.check_records(records, shot)
        self.click_cell(EMPTY_CELL)
        self.expect_silence("after the loss the board takes no click")

    def check_records(self, before, shot):
        # 战绩： 0胜 0败 becomes 战绩： 1胜 0败 for black and 战绩： 0胜 1败 for white: black's
        # label changes at its win count, left of where white's changes, at its loss count.
        after = [self.columns(shot, label)
                 for label in (layout.LAB_BLACK_SCORE, layout.LAB_WHITE_SCORE)]
        black, white = ([i for i, (a, b) in enumerate(zip(old, new)) if a != b]
                        for old, new in zip(before, after))
        self.checks.check("the record books a win for black and a loss for white",
                          black and white and max(black) < min(white),
                          f"black's record changed in columns {black[:1] + black[-1:]}, "
                          f"white's in {white[:1] + white[-1:]}")

    def loss_box(self):
        windows = self.x.wait_windows(2, 5)
        found = str(self.x.windows()) + self.program_state()
        if not self.checks.check("the script's five in a row opens a second window titled "
                                 "Kelvane (the loss box)", windows, found):
            return None
        box = next(w for w, g in windows.items() if g != self.main)
        geometry = windows[box]
        shot = self.x.screenshot("loss-box")
        self.checks.check("the loss box shows its message", has_text(shot, geometry),
                          f"box at {geometry}")
        self.check_board("behind the box the five black stones show, the last highlighted",
                         None, covered=[geometry])
        self.expect_silence("the program sends nothing on losing")
        return box

    def peer_leaves(self):
        self.host.send(peer.LEAVE)
        self.checks.check("the program closes the link after the leave message",
                          self.host.wait_closed(3), self.program_state())
        status = self.area(layout.LBL_STATUS)

        def four_characters(shot):
            # 尚未连线 has four characters where 连线中 had three.
            return 1.15 < text_width(shot, status) / self.connected_width < 1.6

        held, shot = self.x.watch(four_characters, 3, "not-connected")
        widths = f"{self.connected_width} px before, {text_width(shot, status)} px now"
        self.checks.check("the status line grows by one character (连线中 to 尚未连线)",
                          held, widths)
        self.checks.check("its 3rd and 4th characters are the 1st and 2nd of 连线中, pixel "
                          "for pixel", same_characters(
                              self.connected_status, shot.dark_columns(*status), 2, 0, 2))

    def exit_program(self):
        self.x.click(*layout.centre(self.area(layout.CMD_EXIT)))
        code = self.x.wait_exit(5)
        self.checks.check("退出 ends the program with exit code 0", code == 0,
                          f"exit code {code}")


def open_host():
    try:
        return peer.ScriptedHost()
    except peer.PortBusy as error:
        raise Skip(f"{error}; the program always uses that port, so it cannot be played now")


def play(session, checks, host):
    Match(session, host, checks).run()


if __name__ == "__main__":
    sys.exit(run(sys.argv, __doc__, play, prepare=open_host))
