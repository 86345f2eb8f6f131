#!/usr/bin/python3
"""What a screen reader gets from the real game, read through AT-SPI.

Presses "确定" in the logon dialog through the button's AT-SPI action, asks the computer in
through 操作 → 和电脑下 → 初级, and checks that the status label reads "连线中", is announced, and
tells whose move it is. Then plays a whole game with the keyboard alone, as a blind player
would: the board reads as a grid, the cell under the cursor is announced ("H8 空"), so are
the computer's moves ("白方下在 J9"), the turn and the five; the loss box comes as an alert
(Qt's role for a modal QMessageBox) and is closed through AT-SPI.
Run it inside atspi_session.sh:  atspi_session.sh check_screen_reader.py <kelvane program>
"""

import os
import re
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


KEYS = {"Left": 0xff51, "Up": 0xff52, "Right": 0xff53, "Down": 0xff54, "Return": 0xff0d}


def press(key, times=1):
    for _ in range(times):
        pyatspi.Registry.generateKeyboardEvent(KEYS[key], None, pyatspi.KEY_SYM)


def alert_in(app):
    return find(app, lambda n: n.getRole() == pyatspi.ROLE_ALERT)


def check(program, heard):
    desktop = pyatspi.Registry.getDesktop(0)
    game = subprocess.Popen([program], cwd=os.path.dirname(program))
    try:
        app = wait_for("the game on the AT-SPI bus", lambda: next(
            (a for a in children(desktop) if a.get_process_id() == game.pid), None))
        logon = wait_for("the logon dialog", lambda: find(app, lambda n: n.name == "登录"))
        press_button(logon, "确定")
        status = wait_for("the status label", lambda: find(
            app, lambda n: n.getRole() == pyatspi.ROLE_LABEL and n.name == "等待加入中"))
        computer = wait_for("操作 → 和电脑下 → 初级", lambda: find(
            app, lambda n: n.getRole() == pyatspi.ROLE_MENU_ITEM and n.name == "初级"
            and n.getState().contains(pyatspi.STATE_ENABLED)))
        computer.queryAction().doAction(0)
        wait_for("the status 连线中", lambda: status.name == "连线中")
        wait_for("the announcement of 连线中", lambda: "连线中" in heard["names"])
        # Once connected, the description says whose move it is: the host's, who plays black.
        wait_for("the status telling whose move it is",
                 lambda: status.description == "轮到您了（黑方）")
        print("status label reads and announces 连线中, and tells whose move it is")

        board = find(app, lambda n: n.getRole() == pyatspi.ROLE_TABLE and n.name == "棋盘")
        grid = board.queryTable()
        if (grid.nRows, grid.nColumns) != (15, 15):
            raise Failure(f"the board reads as {grid.nRows} x {grid.nColumns}")
        wait_for("the turn announced", lambda: "轮到您了（黑方）" in heard["news"])
        board.queryComponent().grabFocus()
        wait_for("the cursor's cell H8 announced", lambda: heard["focus"][-1] == "H8 空")
        # Stones two cells apart on the odd rows never make five, so the computer wins.
        cursor, moves = (8, 8), 0
        for column, row in ((c, r) for r in range(1, 16, 2) for c in range(1, 16, 2)):
            if alert_in(app):
                break
            wait_for("the focus back on the board",
                     lambda: re.match(r"[A-O]\d+ ", heard["focus"][-1]))
            press("Left" if column < cursor[0] else "Right", abs(column - cursor[0]))
            press("Up" if row < cursor[1] else "Down", abs(row - cursor[1]))
            cursor, name = (column, row), f"{chr(64 + column)}{row}"
            content = wait_for(f"the cursor at {name}", lambda: heard["focus"][-1].startswith(
                name + " ") and heard["focus"][-1])
            if content != name + " 空":
                continue
            told = sum(n.startswith("白方下在") for n in heard["news"])
            press("Return")
            moves += 1
            news = wait_for("the computer's move announced", lambda: alert_in(app) or [
                n for n in heard["news"] if n.startswith("白方下在")][told:])
            if isinstance(news, list):
                spot = news[0].split("，")[0].removeprefix("白方下在 ")
                cell = grid.getAccessibleAt(int(spot[1:]) - 1, ord(spot[0]) - 65).name
                if cell != f"{spot} 白子":
                    raise Failure(f"{spot} was announced, the grid reads {cell!r}")
        print(f"played {moves} moves by keyboard, each answer announced as 白方下在 …")
        alert = wait_for("the loss alert", lambda: alert_in(app))
        wait_for("the loss text", lambda: find(alert, lambda n: "你输了" in n.name))
        wait_for("the five announced", lambda: any("白方连成五子" in n for n in heard["news"]))
        press_button(alert)
        wait_for("the alert closed", lambda: not alert_in(app))
        print("heard the five and the loss alert, and closed it")
    finally:
        game.kill()
        game.wait()


def main():
    # What the game announces: new names, the cells the focus lands on, and the news in
    # the board's descriptions.
    heard = {"names": [], "focus": [""], "news": []}

    def hear(event):
        try:
            if event.type.startswith("object:property-change:accessible-name"):
                heard["names"].append(event.source.name)
            elif event.type.startswith("object:state-changed:focused") and event.detail1:
                heard["focus"].append(event.source.name)
            else:
                heard["news"].append(event.source.description)
        except Exception:  # the object may be gone already
            pass

    pyatspi.Registry.registerEventListener(
        hear, "object:property-change:accessible-name", "object:state-changed:focused",
        "object:property-change:accessible-description")
    try:
        check(os.path.abspath(sys.argv[1]), heard)
    except Failure as failure:
        print(f"check_screen_reader: {failure}; last heard {heard['focus'][-2:]}, "
              f"{heard['news'][-2:]}", file=sys.stderr)
        return 1
    print("check_screen_reader: passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
