"""The scripted opponent: a host on 127.0.0.1 speaking the game's five messages.

Messages are a type digit and a payload, text in GBK, with no terminator: a move is
"1" + column byte + row byte, a name "2" + the colour label, new game "3", leave "4",
chat "5" + the line.
"""

import errno
import select
import socket
import time

GAME_PORT = 5238


class PortBusy(Exception):
    pass


def move(column, row):
    return b"1" + bytes([column, row])


def name(caption):
    return b"2" + caption.encode("gbk")


def chat(text):
    return b"5" + text.encode("gbk")


NEW_GAME = b"3"
LEAVE = b"4"


def hexdump(data):
    return " ".join(f"{b:02X}" for b in data) if data else "(nothing)"


class ScriptedHost:
    def __init__(self):
        self.server = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        # A connection of an earlier run still in TIME_WAIT must not block the port.
        self.server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        try:
            self.server.bind(("127.0.0.1", GAME_PORT))
        except OSError as error:
            self.server.close()
            if error.errno == errno.EADDRINUSE:
                raise PortBusy(f"TCP port {GAME_PORT} on 127.0.0.1 is in use") from error
            raise
        self.server.listen(1)
        self.link = None
        self.peer_address = None
        self.closed_by_peer = False
        self._pending = b""

    def accept(self, timeout):
        ready, _, _ = select.select([self.server], [], [], timeout)
        if not ready:
            return False
        self.link, self.peer_address = self.server.accept()
        self.link.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        return True

    def send(self, data):
        self.link.sendall(data)

    def _read_some(self, timeout):
        if self.closed_by_peer:
            return False
        ready, _, _ = select.select([self.link], [], [], max(timeout, 0))
        if not ready:
            return False
        data = self.link.recv(65536)
        if not data:
            self.closed_by_peer = True
            return False
        self._pending += data
        return True

    def receive_exactly(self, count, timeout):
        """Up to count bytes, waiting at most timeout seconds for them; the rest stays."""
        deadline = time.monotonic() + timeout
        while len(self._pending) < count:
            if not self._read_some(deadline - time.monotonic()):
                if time.monotonic() >= deadline or self.closed_by_peer:
                    break
        taken, self._pending = self._pending[:count], self._pending[count:]
        return taken

    def receive_until_quiet(self, timeout, quiet=0.5):
        """Everything that arrives until the line has been quiet for a while."""
        deadline = time.monotonic() + timeout
        while not self._pending and time.monotonic() < deadline:
            self._read_some(deadline - time.monotonic())
        while self._read_some(min(quiet, deadline - time.monotonic())):
            pass
        taken, self._pending = self._pending, b""
        return taken

    def wait_closed(self, timeout):
        deadline = time.monotonic() + timeout
        while not self.closed_by_peer and time.monotonic() < deadline:
            self._read_some(deadline - time.monotonic())
        return self.closed_by_peer

    def close(self):
        for sock in (self.link, self.server):
            if sock is not None:
                sock.close()
        self.link = None
