#!/usr/bin/python3
"""What a screen reader gets from the real game, read through AT-SPI.

Presses "确定" in the logon dialog through the button's AT-SPI action, joins the game over
loopback as a scripted white player, and checks that the status label reads "连线中" and is
announced, and that its description tells whose move it is. Then hosts again, asks the computer in through 操作 → 和电脑下, and plays a whole
game with the keyboard alone as a blind player would: the board reads as a grid, the cell
under the cursor is announced ("H8 空"), so are the computer's moves ("白方下在 J9"), the
turn and the five; the loss box comes as an alert and is closed through AT-SPI.
Run it inside atspi_session.sh:  atspi_session.sh check_screen_reader.py <kelvane program>
"""

import os
import re
import socket
import subprocess
import sys
import time

import pyatspi
from gi.repository import GLib


class Failure(Exception):
    pass


def wait_for(what, probe, timeout=20.0):
    """Polls `probe` until it gives something true, delivering AT-SPI events meanwhile."""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        while GLib.MainContext.default().iteration(False):
            pass
        try:
            found = probe()
        except Exception:  # a window or socket may not be there yet, or gone
            found = None
        if found:
            return found
        time.sleep(0.05)
    raise Failure(f"timed out waiting for {what}")


def children(node):
    return filter(None, (node.getChildAtIndex(i) for i in range(node.childCount)))


def descendants(node):
    for child in children(node):
        yield child
        yield from descendants(child)


def find(root, predicate):
    return next((node for node in descendants(root) if predicate(node)), None)


def press_button(root, name=None):
    button = find(root, lambda n: n.getRole() == pyatspi.ROLE_PUSH_BUTTON
                  and name in (None, n.name))
    if button is None:
        raise Failure(f"no button {name or ''} in {root.name!r}")
    actions = button.queryAction()
    names = [actions.getName(i) for i in range(actions.nActions)]
    actions.doAction(names.index("Press") if "Press" in names else 0)


def check(program, heard):
    desktop = pyatspi.Registry.getDesktop(0)
    game = subprocess.Popen([program], cwd=os.path.dirname(program))
    try:
        app = wait_for("the game on the AT-SPI bus", lambda: next(
            (a for a in children(desktop) if a.get_process_id() == game.pid), None))
        logon = wait_for("the logon dialog", lambda: find(app, lambda n: n.name == "登录"))
        press_button(logon, "确定")
        status = wait_for("the status label", lambda: find(
            app, lambda n: n.description == "连线状态"))
        peer = wait_for("the game to listen on its port", lambda: socket.create_connection(
            ("127.0.0.1", 5238), timeout=20))
        peer.sendall(b"2" + "白方：测试员".encode("gbk"))
        wait_for("the status 连线中", lambda: status.name == "连线中")
        wait_for("the announcement of 连线中", lambda: any(n == "连线中" for _, n in heard))
        # Once connected, the description says whose move it is: the host's, who plays black.
        wait_for("the status telling whose move it is",
                 lambda: status.description == "轮到您了（黑方）")
        print("status label reads and announces 连线中, and tells whose move it is")
        reply = peer.recv(4096)
        if not reply.startswith(b"2" + "黑方：".encode("gbk")):
            raise Failure(f"the game answered the name with {reply!r}")

        peer.close()
    finally:
        game.kill()
        game.wait()


KEYS = {"Left": 0xff51, "Up": 0xff52, "Right": 0xff53, "Down": 0xff54, "Return": 0xff0d}


def press(key):
    pyatspi.Registry.generateKeyboardEvent(KEYS[key], None, pyatspi.KEY_SYM)


def do_action(node, *names):
    actions = node.queryAction()
    offered = [actions.getName(i) for i in range(actions.nActions)]
    actions.doAction(next((offered.index(n) for n in names if n in offered), 0))


def cell_name(column, row):
    return f"{chr(ord('A') + column - 1)}{row}"


def play_the_computer(program, heard):
    """Hosts, lets the computer join, and plays by keyboard until the computer has won."""
    desktop = pyatspi.Registry.getDesktop(0)
    game = subprocess.Popen([program], cwd=os.path.dirname(program))
    try:
        app = wait_for("the game on the AT-SPI bus", lambda: next(
            (a for a in children(desktop) if a.get_process_id() == game.pid), None))
        logon = wait_for("the logon dialog", lambda: find(app, lambda n: n.name == "登录"))
        press_button(logon, "确定")
        computer = wait_for("操作 → 和电脑下", lambda: find(
            app, lambda n: n.getRole() == pyatspi.ROLE_MENU_ITEM and n.name == "和电脑下"
            and n.getState().contains(pyatspi.STATE_ENABLED)))
        do_action(computer, "Press", "Toggle")
        board = wait_for("the board as a grid", lambda: find(
            app, lambda n: n.getRole() == pyatspi.ROLE_TABLE and n.name == "棋盘"))
        grid = board.queryTable()
        if (grid.nRows, grid.nColumns) != (15, 15):
            raise Failure(f"the board reads as {grid.nRows} x {grid.nColumns}")
        wait_for("the turn", lambda: any("轮到您了" in d for d in heard["news"]))
        board.queryComponent().grabFocus()
        wait_for("the cursor's cell H8 announced", lambda: "H8 空" in heard["focus"])
        print("the board reads as a grid and announces H8 空 and the turn")

        # Scattered stones two cells apart never make five of their own, so the computer wins.
        targets = [(c, r) for r in range(1, 16, 2) for c in range(1, 16, 2)]
        cursor, moves = (8, 8), 0
        while True:
            if find(app, lambda n: n.getRole() == pyatspi.ROLE_ALERT):
                break
            column, row = targets.pop(0)
            wait_for("the focus back on the board", lambda: re.match(
                r"[A-O]\d+ ", (heard["focus"] or [""])[-1]))
            while cursor != (column, row):
                step = ("Right" if column > cursor[0] else "Left" if column < cursor[0]
                        else "Down" if row > cursor[1] else "Up")
                press(step)
                cursor = (cursor[0] + (step == "Right") - (step == "Left"),
                          cursor[1] + (step == "Down") - (step == "Up"))
                wait_for(f"the cursor at {cell_name(*cursor)}", lambda: any(
                    f.startswith(cell_name(*cursor) + " ") for f in heard["focus"][-1:]))
            if heard["focus"][-1] != f"{cell_name(column, row)} 空":
                continue
            told = len([d for d in heard["news"] if d.startswith("白方下在")])
            press("Return")
            moves += 1
            if moves > 60:
                raise Failure("the computer never won")
            news = wait_for("the computer's move announced", lambda: (
                [d for d in heard["news"] if d.startswith("白方下在")][told:] or
                find(app, lambda n: n.getRole() == pyatspi.ROLE_ALERT)))
            if isinstance(news, list):
                spot = news[0].split("，")[0].removeprefix("白方下在 ")
                column_at, row_at = ord(spot[0]) - ord("A"), int(spot[1:]) - 1
                name = grid.getAccessibleAt(row_at, column_at).name
                if name != f"{spot} 白子":
                    raise Failure(f"{spot} was announced, the grid reads {name!r}")
        print(f"played {moves} moves by keyboard, each answer announced as 白方下在 …")
        alert = wait_for("the loss alert", lambda: find(
            app, lambda n: n.getRole() == pyatspi.ROLE_ALERT))
        wait_for("the loss text in the alert", lambda: find(
            alert, lambda n: "你输了" in (n.name or "")) or "你输了" in (alert.name or ""))
        wait_for("the five announced", lambda: any("白方连成五子" in d for d in heard["news"]))
        press_button(alert)
        wait_for("the alert closed", lambda: not find(app, lambda n: n.getRole() == pyatspi.ROLE_ALERT))
        print("heard the five and the loss alert, and closed it")
    finally:
        game.kill()
        game.wait()


def main():
    heard = []  # (description, new name) of every name change the game announces
    # What the board says: the cells the focus lands on, and the news in their descriptions.
    board = {"focus": [], "news": []}

    def hear(event):
        try:
            heard.append((event.source.description, event.source.name))
        except Exception:  # the object may be gone already
            pass

    def hear_board(event):
        try:
            if event.type.startswith("object:state-changed:focused") and event.detail1:
                board["focus"].append(event.source.name)
            elif event.type.startswith("object:property-change:accessible-description"):
                board["news"].append(event.source.description)
        except Exception:
            pass

    pyatspi.Registry.registerEventListener(hear, "object:property-change:accessible-name")
    pyatspi.Registry.registerEventListener(
        hear_board, "object:state-changed:focused",
        "object:property-change:accessible-description")
    try:
        program = os.path.abspath(sys.argv[1])
        check(program, heard)
        play_the_computer(program, board)
    except Failure as failure:
        print(f"check_screen_reader: {failure}; last focused {board['focus'][-3:]}, "
              f"last news {board['news'][-3:]}", file=sys.stderr)
        return 1
    print("check_screen_reader: passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
