"""A private X display with the real program on it, driven as a person would.

Xvfb gives the display, xdotool moves the pointer and types, ImageMagick's `import` takes
screenshots. A run prints one PASS or FAIL line per check; what it starts dies with it.
"""

import ctypes
import os
import signal
import subprocess
import sys
import tempfile
import time

SCREEN_WIDTH, SCREEN_HEIGHT = 1024, 768


def _die_with_parent():
    ctypes.CDLL(None).prctl(1, signal.SIGTERM)  # PR_SET_PDEATHSIG


def wait_until(condition, timeout):
    """Polls condition() until it returns something true; returns that or None."""
    deadline = time.monotonic() + timeout
    while not (result := condition()) and time.monotonic() < deadline:
        time.sleep(0.05)
    return result or None


class Abort(Exception):
    """A required check failed; what follows cannot be checked meaningfully."""


class Checks:
    def __init__(self):
        self.passed = self.failed = 0

    def check(self, name, ok, detail=""):
        print(f"{'PASS' if ok else 'FAIL'}: {name} ({detail})", flush=True)
        self.passed += bool(ok)
        self.failed += not ok
        return ok

    def require(self, name, ok, detail=""):
        if not self.check(name, ok, detail):
            raise Abort(name)


class Screenshot:
    def __init__(self, ppm):
        self.width, height = map(int, ppm[:40].split()[1:3])
        self.rgb = ppm[-self.width * height * 3:]  # the header ends where the pixels begin

    def pixel(self, x, y):
        i = (y * self.width + x) * 3
        return tuple(self.rgb[i:i + 3])


class Session:
    """One Xvfb display, the program on it, and the person's hands and eyes."""

    def __init__(self, program):
        self.program = os.path.abspath(program)
        self.folder = tempfile.mkdtemp(prefix="kelvane-blackbox-")
        self.log = os.path.join(self.folder, "kelvane.log")
        self.process = self.xvfb = None
        self.shots = 0

    def start(self):
        # A number of our own, far from the low ones that servers started with -displayfd
        # probe: such a probe unlinks the socket file of a display it finds busy.
        for number in (n for n in range(90, 140) if not os.path.exists(f"/tmp/.X{n}-lock")):
            self.xvfb = subprocess.Popen(
                ["Xvfb", f":{number}", "-screen", "0", f"{SCREEN_WIDTH}x{SCREEN_HEIGHT}x24",
                 "-dpi", "96", "-nolisten", "tcp"],
                stderr=subprocess.DEVNULL, preexec_fn=_die_with_parent)
            self.env = dict(os.environ, DISPLAY=f":{number}")
            if wait_until(lambda: self.xvfb.poll() is not None or subprocess.run(
                    ["xdotool", "getdisplaygeometry"], env=self.env,
                    capture_output=True).returncode == 0, 10) and self.xvfb.poll() is None:
                break
            self.xvfb.kill()  # another server took the number meanwhile, or this one hangs
            self.xvfb.wait()
        self.env["XDG_RUNTIME_DIR"] = tempfile.mkdtemp(dir=self.folder)
        for name in ("QT_QPA_PLATFORM", "WAYLAND_DISPLAY"):
            self.env.pop(name, None)  # a real X display, as on a desktop
        with open(self.log, "wb") as log:  # from its own folder: it finds Move.wav there
            self.process = subprocess.Popen(
                [self.program], cwd=os.path.dirname(self.program), env=self.env,
                stdin=subprocess.DEVNULL, stdout=log, stderr=subprocess.STDOUT,
                preexec_fn=_die_with_parent)

    def close(self):
        for process in (self.process, self.xvfb):
            if process is not None and process.poll() is None:
                process.terminate()  # lets Xvfb remove its socket
                process.wait(5)

    def wait_exit(self, timeout):
        return wait_until(lambda: self.process.poll() is not None, timeout) and \
            self.process.returncode

    def xdotool(self, *args):
        return subprocess.run(["xdotool", *map(str, args)], env=self.env, capture_output=True,
                              text=True, timeout=10).stdout

    def windows(self):
        """The visible top-level windows titled Kelvane, as {id: (x, y, w, h)}."""
        values = [line.split("=")[1] for line in self.xdotool(
            "search", "--onlyvisible", "--name", "^Kelvane$", "getwindowgeometry", "--shell",
            "%@").split() if line.split("=")[0] in ("WINDOW", "X", "Y", "WIDTH", "HEIGHT")]
        return {int(values[i]): tuple(map(int, values[i + 1:i + 5]))
                for i in range(0, len(values) - 4, 5)}

    def wait_windows(self, count, timeout):
        return wait_until(lambda: (lambda w: len(w) == count and w)(self.windows()), timeout)

    def click(self, x, y):
        self.xdotool("mousemove", "--sync", x, y, "click", 1)

    def type_text(self, text):
        self.xdotool("type", "--delay", 60, text)

    def screenshot(self, name=None):
        ppm = subprocess.run(["import", "-window", "root", "-depth", "8", "ppm:-"],
                             env=self.env, capture_output=True, timeout=20, check=True).stdout
        if name:  # kept for a person to look at after a failure
            self.shots += 1
            with open(os.path.join(self.folder, f"{self.shots:02d}-{name}.ppm"), "wb") as out:
                out.write(ppm)
        return Screenshot(ppm)

    def watch(self, condition, timeout, name=None):
        """Screenshots until condition(shot) holds or time is up: (held, last shot)."""
        deadline = time.monotonic() + timeout
        while not (held := condition(shot := self.screenshot())) and \
                time.monotonic() < deadline:
            time.sleep(0.1)
        if name:
            self.screenshot(name)
        return bool(held), shot


def run(body):
    """Runs body(session, checks) on the program named on the command line."""
    checks, session = Checks(), Session(sys.argv[1])
    print(f"screenshots and logs: {session.folder}", flush=True)
    try:
        session.start()
        body(session, checks)
    except Abort as error:
        print(f"stopped after a failed required check: {error}")
    except Exception as error:  # every failure still ends in the summary and the clean-up
        checks.check(f"run completed without error: {type(error).__name__}", False, str(error))
    finally:
        session.close()
    if checks.failed and os.path.exists(session.log):
        with open(session.log, errors="replace") as log:
            print("program output:\n" + log.read())
    print(f"blackbox: {checks.passed} passed, {checks.failed} failed", flush=True)
    return 1 if checks.failed else 0
