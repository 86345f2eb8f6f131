"""A private X display with the real program on it, driven as a person would.

Xvfb gives the display; no window manager runs, so every window sits where the program
itself puts it and has no frame. xdotool moves the pointer and types, ImageMagick's
`import` takes screenshots. Everything started here dies with this process, even when
it is killed, and is stopped again by close().
"""

import ctypes
import os
import shutil
import signal
import subprocess
import tempfile
import time

import keymap
from screenshot import Screenshot

SKIP = 77
TOOLS = ("Xvfb", "xdotool", "import")
SCREEN_WIDTH, SCREEN_HEIGHT = 1024, 768
TITLE_PATTERN = "^Kelvane$"

_PR_SET_PDEATHSIG = 1


def _die_with_parent():
    # Runs in the child before exec: the kernel sends it SIGTERM if this script dies.
    libc = ctypes.CDLL(None, use_errno=True)
    libc.prctl(_PR_SET_PDEATHSIG, signal.SIGTERM)


def missing_tools():
    return [tool for tool in TOOLS if shutil.which(tool) is None]


def wait_until(condition, timeout, interval=0.05):
    """Polls condition() until it returns something true; returns that or None."""
    deadline = time.monotonic() + timeout
    while True:
        result = condition()
        if result:
            return result
        if time.monotonic() >= deadline:
            return None
        time.sleep(interval)


def _display_taken(number):
    return os.path.exists(f"/tmp/.X{number}-lock") or os.path.exists(
        f"/tmp/.X11-unix/X{number}")


class XSession:
    """One Xvfb display, the program on it, and the person's hands and eyes."""

    def __init__(self, program, shots_dir=None):
        self.program = os.path.abspath(program)
        self.shots_dir = shots_dir or tempfile.mkdtemp(prefix="kelvane-blackbox-")
        self.display = None
        self._xvfb = None
        self.process = None
        self._shot_count = 0

    # --- start and stop -------------------------------------------------------------

    def start_display(self, first=90, last=140):
        for number in range(first, last):
            if _display_taken(number):
                continue
            if self._try_display(number):
                return self.display
        raise RuntimeError(f"no free X display between :{first} and :{last - 1}")

    def _try_display(self, number):
        log = open(os.path.join(self.shots_dir, f"xvfb-{number}.log"), "wb")
        xvfb = subprocess.Popen(
            ["Xvfb", f":{number}", "-screen", "0", f"{SCREEN_WIDTH}x{SCREEN_HEIGHT}x24",
             "-dpi", "96", "-nolisten", "tcp", "-noreset"],
            stdout=log, stderr=subprocess.STDOUT, preexec_fn=_die_with_parent)
        log.close()
        self._xvfb = xvfb
        self.display = f":{number}"
        ready = wait_until(lambda: xvfb.poll() is not None or self._display_answers(), 10)
        if ready and xvfb.poll() is None:
            return True
        # Someone else took the number meanwhile, or this server failed: try the next.
        self._stop(xvfb)
        self._xvfb = None
        self.display = None
        return False

    def _display_answers(self):
        result = subprocess.run(["xdotool", "getdisplaygeometry"], env=self._x_env(),
                                capture_output=True, timeout=5)
        return result.returncode == 0

    def _x_env(self):
        env = dict(os.environ)
        env["DISPLAY"] = self.display
        return env

    def program_env(self):
        env = self._x_env()
        # A real X display, as on a desktop: no forced Qt platform, no Wayland.
        for name in ("QT_QPA_PLATFORM", "WAYLAND_DISPLAY"):
            env.pop(name, None)
        if not env.get("XDG_RUNTIME_DIR"):
            runtime = os.path.join(self.shots_dir, "runtime")
            os.makedirs(runtime, mode=0o700, exist_ok=True)
            env["XDG_RUNTIME_DIR"] = runtime
        return env

    def start_program(self):
        # From its own folder, so it finds Move.wav beside itself.
        self._program_log = os.path.join(self.shots_dir, "kelvane.log")
        with open(self._program_log, "wb") as log:
            self.process = subprocess.Popen(
                [self.program], cwd=os.path.dirname(self.program), env=self.program_env(),
                stdin=subprocess.DEVNULL, stdout=log, stderr=subprocess.STDOUT,
                preexec_fn=_die_with_parent)
        return self.process

    def program_output(self):
        try:
            with open(self._program_log, encoding="utf-8", errors="replace") as log:
                return log.read()
        except (AttributeError, OSError):
            return ""

    def wait_exit(self, timeout):
        try:
            return self.process.wait(timeout)
        except subprocess.TimeoutExpired:
            return None

    def close(self):
        for process in (self.process, self._xvfb):
            if process is not None:
                self._stop(process)
        self.process = None
        self._xvfb = None

    @staticmethod
    def _stop(process):
        if process.poll() is not None:
            return
        process.terminate()
        try:
            process.wait(3)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait(3)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    # --- windows --------------------------------------------------------------------

    def xdotool(self, *args, check=True):
        result = subprocess.run(["xdotool", *map(str, args)], env=self._x_env(),
                                capture_output=True, text=True, timeout=10)
        if check and result.returncode != 0:
            raise RuntimeError(f"xdotool {' '.join(map(str, args))}: {result.stderr.strip()}")
        return result.stdout

    def windows(self):
        """The program's visible top-level windows titled Kelvane, as {id: (x, y, w, h)}."""
        out = self.xdotool("search", "--onlyvisible", "--name", TITLE_PATTERN, check=False)
        found = {}
        for line in out.split():
            geometry = self.geometry(int(line))
            if geometry:
                found[int(line)] = geometry
        return found

    def wait_windows(self, count, timeout):
        """The visible Kelvane windows once there are exactly `count` of them, else None."""
        return wait_until(lambda: (lambda found: found if len(found) == count else None)(
            self.windows()), timeout)

    def geometry(self, window):
        out = self.xdotool("getwindowgeometry", "--shell", window, check=False)
        values = dict(line.split("=", 1) for line in out.split() if "=" in line)
        try:
            return tuple(int(values[k]) for k in ("X", "Y", "WIDTH", "HEIGHT"))
        except KeyError:
            return None  # gone meanwhile

    def focused_window(self):
        out = self.xdotool("getwindowfocus", "-f", check=False).strip()
        return int(out) if out.isdigit() else None

    # --- hands ----------------------------------------------------------------------

    def click(self, x, y, button=1):
        self.xdotool("mousemove", "--sync", x, y)
        self.xdotool("click", button)

    def key(self, *keys):
        self.xdotool("key", "--delay", 40, *keys)

    def add_keys_for(self, text):
        """Gives the keyboard keys for text's Chinese characters; best before the program
        starts, so it reads them with its first keymap."""
        keymap.bind_characters(self.display, text)

    def type_text(self, text):
        self.xdotool("type", "--delay", 60, text)

    # --- eyes -----------------------------------------------------------------------

    def screenshot(self, name=None):
        """Captures the whole screen and returns its pixels; keeps a PNG when named."""
        result = subprocess.run(["import", "-window", "root", "-depth", "8", "ppm:-"],
                                env=self._x_env(), capture_output=True, timeout=20)
        if result.returncode != 0:
            raise RuntimeError(f"import failed: {result.stderr.decode(errors='replace')}")
        shot = Screenshot.from_ppm(result.stdout)
        if name is not None:
            self.keep(shot, name)
        return shot

    def watch(self, condition, timeout, name=None):
        """Takes screenshots until condition(shot) holds or time is up.

        Returns whether it held and the last screenshot, kept as a PNG when named.
        """
        deadline = time.monotonic() + timeout
        while True:
            shot = self.screenshot()
            held = bool(condition(shot))
            if held or time.monotonic() >= deadline:
                break
            time.sleep(0.1)
        if name is not None:
            self.keep(shot, name)
        return held, shot

    def keep(self, shot, name):
        self._shot_count += 1
        path = os.path.join(self.shots_dir, f"{self._shot_count:02d}-{name}.png")
        shot.save_png(path)
        shot.path = path
        print(f"  screenshot: {path}", flush=True)
