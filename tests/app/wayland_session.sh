#!/bin/sh
# Runs a command under a headless Wayland compositor of its own (weston's headless backend),
# with Qt's wayland platform:  wayland_session.sh <command> [arguments...]
# Exits 77, which CTest counts as skipped, where weston is missing or cannot start here.
set -eu
command -v weston >/dev/null 2>&1 || { echo "wayland_session: no weston" >&2; exit 77; }
scratch=$(mktemp -d) # private (0700), as a runtime folder must be
weston=
trap '[ -z "$weston" ] || { kill "$weston"; wait "$weston"; } 2>/dev/null; rm -rf "$scratch"' EXIT
export XDG_RUNTIME_DIR="$scratch" WAYLAND_DISPLAY=kelvane QT_QPA_PLATFORM=wayland
unset DISPLAY QT_SCALE_FACTOR
# libwayland-client and Qt's wayland plugins keep memory until exit that the leak check finds
# only after the plugins are unloaded, without a name to suppress it by; our own code is
# checked for leaks by the same test on the offscreen platform.
export ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0"
weston --backend=headless-backend.so --socket=kelvane --idle-time=0 --no-config >"$scratch/log" 2>&1 &
weston=$!
for _ in $(seq 100); do
    [ ! -S "$scratch/kelvane" ] && kill -0 "$weston" 2>/dev/null || break
    sleep 0.1
done
[ -S "$scratch/kelvane" ] || { cat "$scratch/log" >&2; echo "wayland_session: no weston here" >&2; exit 77; }
"$@"
