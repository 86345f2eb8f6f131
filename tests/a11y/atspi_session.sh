#!/bin/sh
# Runs a command as a screen reader would meet it: on an X server of its own (Xvfb), with a
# private D-Bus session and AT-SPI bus, and Qt's accessibility switched on for every Qt program.
#   atspi_session.sh <command> [arguments...]
# Everything it starts lives in a scratch folder and ends with the command.
set -eu

scratch=$(mktemp -d)
xvfb=
trap '[ -z "$xvfb" ] || { kill "$xvfb"; wait "$xvfb"; } 2>/dev/null; rm -rf "$scratch"' EXIT

# The AT-SPI bus puts its socket under the runtime folder: one of our own, so that sessions
# side by side never share a bus.
mkdir -m 700 "$scratch/runtime"
export XDG_RUNTIME_DIR="$scratch/runtime" QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_QPA_PLATFORM=xcb
unset QT_SCALE_FACTOR

# A display number of our own, far from the low ones that X servers started with -displayfd
# probe: such a probe unlinks the socket file of a display it finds busy, and the game will
# not start on a display whose socket file is missing.
for n in $(seq 140 189); do
    [ ! -e "/tmp/.X$n-lock" ] || continue
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp 2>"$scratch/xvfb.log" &
    xvfb=$!
    for _ in $(seq 100); do
        kill -0 "$xvfb" 2>/dev/null && ! xdpyinfo -display ":$n" >/dev/null 2>&1 || break
        sleep 0.1
    done
    if xdpyinfo -display ":$n" >/dev/null 2>&1 && kill -0 "$xvfb" 2>/dev/null; then
        export DISPLAY=":$n"
        break
    fi
    kill "$xvfb" 2>/dev/null || true
    xvfb=
done
[ -n "$xvfb" ] || { cat "$scratch/xvfb.log" >&2; echo "atspi_session: no X server" >&2; exit 1; }

# Qt switches accessibility on only once the AT-SPI bus is there, so it is started first.
dbus-run-session -- sh -c '
    dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus \
        org.a11y.Bus.GetAddress >/dev/null
    exec "$@"
' atspi_session "$@"
