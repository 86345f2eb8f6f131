#!/usr/bin/env python3
"""Plays the real Kelvane against a scripted host, as a person at the screen would.

The script hosts on 127.0.0.1:5238, the game's own port, and plays black; the program
joins through its logon dialog and plays white. Messages are a type digit and a payload
with no terminator: a move "1" + column byte + row byte, a name "2" + GBK text, leave "4".
"""

import socket
import sys

import screen
from screen import BLACK, BLACK_LATEST, WHITE
from xsession import run

PORT = 5238
MOVES = [((8, 8), (1, 15)), ((9, 8), (15, 1))]  # (black's, white's) per turn
EMPTY_CELL = (5, 5)


def receive(link, timeout, quiet=0.3):
    """All that arrives before the line goes quiet; None once the program closed it."""
    data = b""
    link.settimeout(timeout)
    try:
        while chunk := link.recv(4096):
            data += chunk
            link.settimeout(quiet)
        return None
    except TimeoutError:
        return data


def hexdump(data):
    return " ".join(f"{b:02X}" for b in data) if data else "(nothing)"


def play(x, checks, server):
    windows = x.wait_windows(2, 10)
    checks.require("the program shows two windows titled Kelvane", windows, str(x.windows()))
    dialog, main = screen.split_logon_and_main(windows)

    # On the option's caption, not the far end of its wide box.
    x.click(*screen.centre(screen.OPT_CLIENT, *dialog[:2], across=0.3))
    for control, text in ((screen.TXT_NAME, "bob"), (screen.TXT_IP, "127.0.0.1")):
        x.click(*screen.centre(control, *dialog[:2]))
        x.xdotool("key", "ctrl+a")
        x.type_text(text)
    x.click(*screen.centre(screen.CMD_OK, *dialog[:2]))
    server.settimeout(5)
    try:
        link = server.accept()[0]
    except TimeoutError:
        link = None
    checks.require("OK connects the program to the script on 127.0.0.1:5238", link)
    checks.check("the logon dialog closes", x.wait_windows(1, 5), str(x.windows()))

    def expect(what, wanted, timeout=5):
        got = receive(link, timeout)
        checks.check(what, got == wanted, f"expected {hexdump(wanted)}, got {hexdump(got)}")

    expect("the program sends its name: 32 + GBK(白方：bob)", b"2" + "白方：bob".encode("gbk"))
    link.sendall(b"2" + "黑方：script".encode("gbk"))
    held, shot = x.watch(lambda s: screen.find_client(s, main), 5)
    checks.require("the board is found in the main window", held, str(main))
    client = screen.find_client(shot, main)

    stones = {}

    def board_shows(what, name):
        held, shot = x.watch(lambda s: not screen.board_differences(s, client, stones), 5, name)
        checks.check(what + ", every other cell empty", held,
                     "; ".join(screen.board_differences(shot, client, stones)[:6]))

    for turn, (black, white) in enumerate(MOVES):
        stones.update({cell: BLACK for cell, kind in stones.items() if kind == BLACK_LATEST})
        stones[black] = BLACK_LATEST
        link.sendall(b"1" + bytes(black))
        board_shows(f"the script's move {black} shows as a highlighted black stone", "black")
        x.click(*client.cell(*white))
        expect(f"a click on {white} sends 31 {white[0]:02X} {white[1]:02X}",
               b"1" + bytes(white))
        stones.update({black: BLACK, white: WHITE})  # its own move ends the highlight
        board_shows(f"the program's move {white} shows as a white stone", "white")
        if turn == 0:  # the board the next move checks shows that no stone was placed
            x.click(*client.cell(*EMPTY_CELL))
            expect("a click while the script is to move sends nothing", b"", timeout=0.8)

    link.sendall(b"4")
    checks.check("the program closes the link after the leave message",
                  receive(link, 3) is None)
    x.click(*screen.centre(client.at(screen.CMD_EXIT)))
    code = x.wait_exit(5)
    checks.check("退出 ends the program with exit code 0", code == 0, f"exit code {code}")


def main():
    server = socket.socket()
    # A connection of an earlier run still in TIME_WAIT must not block the port.
    server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    try:
        server.bind(("127.0.0.1", PORT))
    except OSError as error:
        print(f"SKIP: port {PORT} is taken ({error}); the game always uses it")
        return 77
    server.listen(1)
    with server:
        return run(lambda x, checks: play(x, checks, server))


if __name__ == "__main__":
    sys.exit(main())
