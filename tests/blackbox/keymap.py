"""Puts characters the keyboard lacks (Chinese ones) on spare keys of the X display.

xdotool types such a character by binding it to a scratch key for one keystroke and
unbinding it at once; a program that reads the keymap change after the keystroke sees a
key with no symbol, and the character is lost now and then. Keys bound here for good,
before any typing, behave like a keyboard that has these characters, as with an input
method: xdotool then finds them in the keymap and just presses them.
"""

import ctypes
import ctypes.util

NO_SYMBOL = 0
UNICODE_KEYSYM = 0x01000000


def _xlib():
    name = ctypes.util.find_library("X11")
    if name is None:
        raise RuntimeError("libX11 is not installed")
    lib = ctypes.CDLL(name)
    lib.XOpenDisplay.restype = ctypes.c_void_p
    lib.XOpenDisplay.argtypes = [ctypes.c_char_p]
    lib.XCloseDisplay.argtypes = [ctypes.c_void_p]
    lib.XDisplayKeycodes.argtypes = [ctypes.c_void_p, ctypes.POINTER(ctypes.c_int),
                                     ctypes.POINTER(ctypes.c_int)]
    lib.XGetKeyboardMapping.restype = ctypes.POINTER(ctypes.c_ulong)
    lib.XGetKeyboardMapping.argtypes = [ctypes.c_void_p, ctypes.c_ubyte, ctypes.c_int,
                                        ctypes.POINTER(ctypes.c_int)]
    lib.XChangeKeyboardMapping.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int,
                                           ctypes.POINTER(ctypes.c_ulong), ctypes.c_int]
    lib.XFree.argtypes = [ctypes.c_void_p]
    lib.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
    return lib


def keysym(character):
    return UNICODE_KEYSYM | ord(character)


def bind_characters(display_name, text):
    """Binds every non-ASCII character of text that has no key yet to a free keycode."""
    wanted = sorted({c for c in text if ord(c) > 0x7E})
    if not wanted:
        return
    xlib = _xlib()
    display = xlib.XOpenDisplay(display_name.encode())
    if not display:
        raise RuntimeError(f"cannot open display {display_name}")
    try:
        _bind(xlib, display, wanted)
    finally:
        xlib.XCloseDisplay(display)


def _bind(xlib, display, wanted):
    low, high = ctypes.c_int(), ctypes.c_int()
    xlib.XDisplayKeycodes(display, ctypes.byref(low), ctypes.byref(high))
    count = high.value - low.value + 1
    per_key = ctypes.c_int()
    table = xlib.XGetKeyboardMapping(display, low.value, count, ctypes.byref(per_key))
    width = per_key.value
    rows = [[table[i * width + j] for j in range(width)] for i in range(count)]
    xlib.XFree(table)
    present = {sym for row in rows for sym in row}
    missing = [c for c in wanted if keysym(c) not in present]
    free = [low.value + i for i, row in enumerate(rows) if all(s == NO_SYMBOL for s in row)]
    if len(free) < len(missing):
        raise RuntimeError(f"only {len(free)} free keys for {len(missing)} characters")
    for character, keycode in zip(missing, free):
        symbols = (ctypes.c_ulong * width)(*([keysym(character)] * width))
        xlib.XChangeKeyboardMapping(display, keycode, width, symbols, 1)
    xlib.XSync(display, 0)
