#!/usr/bin/python3
"""What a screen reader gets from the real game, read through AT-SPI.

Starts the game, presses "确定" in the logon dialog through the button's AT-SPI action, joins
it over loopback as a scripted white player, and checks that the status label reads "连线中"
and that the status, the peer's name and chat line are announced as they change. Then the
scripted player makes five in a row, and the loss message must come up as an alert.

Run it inside atspi_session.sh:  atspi_session.sh check_screen_reader.py <kelvane program>
"""

import os
import socket
import subprocess
import sys
import time

import pyatspi
from gi.repository import GLib

GAME_PORT = 5238  # the game always hosts here
TIMEOUT = 20.0
PEER_NAME = "测试员"


class Failure(Exception):
    pass


def pump_events():
    context = GLib.MainContext.default()
    while context.iteration(False):
        pass


def wait_for(what, probe, timeout=TIMEOUT):
    """Polls `probe` until it gives something true, delivering AT-SPI events meanwhile."""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        pump_events()
        try:
            found = probe()
        except Exception:  # a window may close under the probe
            found = None
        if found:
            return found
        time.sleep(0.05)
    raise Failure(f"timed out waiting for {what}")


def descendants(node):
    for i in range(node.childCount):
        child = node.getChildAtIndex(i)
        if child is None:
            continue
        yield child
        yield from descendants(child)


def find(root, predicate):
    return next((node for node in descendants(root) if predicate(node)), None)


def application_of(pid):
    desktop = pyatspi.Registry.getDesktop(0)
    for i in range(desktop.childCount):
        app = desktop.getChildAtIndex(i)
        if app is not None and app.get_process_id() == pid:
            return app
    return None


def press(button):
    actions = button.queryAction()
    names = [actions.getName(i) for i in range(actions.nActions)]
    index = names.index("Press") if "Press" in names else 0
    actions.doAction(index)


class Announcements:
    """Every name change the game announces: (description of the object, new name)."""

    def __init__(self):
        self.heard = []
        pyatspi.Registry.registerEventListener(
            self._on_name_change, "object:property-change:accessible-name")

    def _on_name_change(self, event):
        try:
            self.heard.append((event.source.description, event.source.name))
        except Exception:
            pass

    def has(self, description, name):
        return (description, name) in self.heard


def gbk(text):
    return text.encode("gbk")


def connect_as_white():
    def attempt():
        try:
            return socket.create_connection(("127.0.0.1", GAME_PORT), timeout=1)
        except OSError:
            return None

    peer = wait_for("the game to listen on its port", attempt)
    peer.settimeout(TIMEOUT)
    return peer


def send_apart(peer, message):
    """One message per read: the game has no framing, so they must not run together."""
    peer.sendall(message)
    time.sleep(0.3)


def check(program):
    announcements = Announcements()
    program = os.path.abspath(program)
    game = subprocess.Popen([program], cwd=os.path.dirname(program))
    try:
        app = wait_for("the game on the AT-SPI bus", lambda: application_of(game.pid))
        print(f"found the application {app.name!r}")

        logon = wait_for("the logon dialog", lambda: find(app, lambda n: n.name == "登录"))
        ok = find(logon, lambda n: n.getRole() == pyatspi.ROLE_PUSH_BUTTON and n.name == "确定")
        if ok is None:
            raise Failure("the logon dialog has no button 确定")
        press(ok)

        status = wait_for("the status label", lambda: find(
            app, lambda n: n.description == "连线状态"))
        wait_for("the status 等待加入中", lambda: status.name == "等待加入中")

        peer = connect_as_white()
        send_apart(peer, b"2" + gbk("白方：" + PEER_NAME))
        wait_for("the status 连线中", lambda: status.name == "连线中")
        print(f"status label reads {status.name!r}")
        wait_for("the announcement of 连线中",
                 lambda: announcements.has("连线状态", "连线中"))
        reply = peer.recv(4096)
        if not reply.startswith(b"2" + gbk("黑方：")):
            raise Failure(f"the game answered the name with {reply!r}")

        wait_for("the announcement of the peer's name",
                 lambda: announcements.has("白方玩家", "白方：" + PEER_NAME))
        send_apart(peer, b"5" + gbk("你好"))
        wait_for("the announcement of the chat line",
                 lambda: announcements.has("对方的话", "你好"))
        print("status, peer name and chat line were announced")

        # White makes five in a row along the top; the game never checks whose turn it is.
        for column in range(1, 6):
            send_apart(peer, bytes([0x31, column, 1]))
        alert = wait_for("the loss message as an alert", lambda: find(
            app, lambda n: n.getRole() == pyatspi.ROLE_ALERT))
        texts = [alert.name] + [n.name for n in descendants(alert)]
        if "你输了，要加油喔。" not in texts:
            raise Failure(f"the alert reads {texts!r}")
        print("the loss message came up as an alert")
        ok = find(alert, lambda n: n.getRole() == pyatspi.ROLE_PUSH_BUTTON)
        if ok is not None:
            press(ok)
        peer.close()
    finally:
        game.terminate()
        try:
            game.wait(timeout=5)
        except subprocess.TimeoutExpired:
            game.kill()
            game.wait()


def main():
    if len(sys.argv) != 2:
        print("usage: check_screen_reader.py <kelvane program>", file=sys.stderr)
        return 2
    try:
        check(sys.argv[1])
    except Failure as failure:
        print(f"check_screen_reader: {failure}", file=sys.stderr)
        return 1
    print("check_screen_reader: passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
