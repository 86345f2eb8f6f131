#!/usr/bin/python3
"""What a screen reader gets from the real game, read through AT-SPI.

Presses "确定" in the logon dialog through the button's AT-SPI action, joins the game over
loopback as a scripted white player, and checks that the status label reads "连线中" and is
announced. (The loss box is a modal QMessageBox, which Qt reports as an alert.)
Run it inside atspi_session.sh:  atspi_session.sh check_screen_reader.py <kelvane program>
"""

import os
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
        wait_for("the announcement of 连线中", lambda: ("连线状态", "连线中") in heard)
        print("status label reads and announces 连线中")
        reply = peer.recv(4096)
        if not reply.startswith(b"2" + "黑方：".encode("gbk")):
            raise Failure(f"the game answered the name with {reply!r}")

        peer.close()
    finally:
        game.kill()
        game.wait()


def main():
    heard = []  # (description, new name) of every name change the game announces

    def hear(event):
        try:
            heard.append((event.source.description, event.source.name))
        except Exception:  # the object may be gone already
            pass

    pyatspi.Registry.registerEventListener(hear, "object:property-change:accessible-name")
    try:
        check(os.path.abspath(sys.argv[1]), heard)
    except Failure as failure:
        print(f"check_screen_reader: {failure}", file=sys.stderr)
        return 1
    print("check_screen_reader: passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
