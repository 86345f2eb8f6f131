#!/bin/sh
# Runs a command as a screen reader would meet it: on an X server of its own (Xvfb), with a
# private D-Bus session and AT-SPI bus, and Qt's accessibility switched on for every Qt program.
#   atspi_session.sh <command> [arguments...]
# Everything it starts lives in a scratch folder and ends with the command.
set -eu

scratch=$(mktemp -d)
xvfb=
cleanup() {
    if [ -n "$xvfb" ]; then
        kill "$xvfb" 2>/dev/null || true
        wait "$xvfb" 2>/dev/null || true
    fi
    rm -rf "$scratch"
}
trap cleanup EXIT

# The AT-SPI bus puts its socket under the runtime folder: one of our own, so that sessions
# side by side never share a bus.
mkdir -m 700 "$scratch/runtime"
export XDG_RUNTIME_DIR="$scratch/runtime"
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
export QT_QPA_PLATFORM=xcb
unset QT_SCALE_FACTOR

# Xvfb picks a free display itself and says which, so X servers started at the same time
# never race for a number.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$scratch/display" 2>"$scratch/xvfb.log" &
xvfb=$!
tries=0
until [ -s "$scratch/display" ]; do
    tries=$((tries + 1))
    if [ "$tries" -gt 100 ] || ! kill -0 "$xvfb" 2>/dev/null; then
        cat "$scratch/xvfb.log" >&2
        echo "atspi_session: Xvfb did not start" >&2
        exit 1
    fi
    sleep 0.1
done
export DISPLAY=":$(cat "$scratch/display")"

# Qt switches accessibility on only once the AT-SPI bus is there, so it is started first.
status=0
dbus-run-session -- sh -c '
    dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus \
        org.a11y.Bus.GetAddress >/dev/null
    exec "$@"
' atspi_session "$@" || status=$?
exit "$status"
