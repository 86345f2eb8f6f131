#!/bin/sh
# Runs a command under a headless Wayland compositor of its own (weston's headless backend),
# with Qt's wayland platform:  wayland_session.sh <command> [arguments...]
# Exits 77, which CTest counts as skipped, where weston or Qt's wayland plugin is missing.
set -eu
command -v weston >/dev/null 2>&1 || { echo "wayland_session: no weston" >&2; exit 77; }

scratch=$(mktemp -d)
weston=
trap '[ -z "$weston" ] || { kill "$weston"; wait "$weston"; } 2>/dev/null; rm -rf "$scratch"' EXIT
mkdir -m 700 "$scratch/runtime"
export XDG_RUNTIME_DIR="$scratch/runtime" WAYLAND_DISPLAY=kelvane QT_QPA_PLATFORM=wayland
unset DISPLAY QT_SCALE_FACTOR

weston --backend=headless-backend.so --socket=kelvane --idle-time=0 --no-config \
    >"$scratch/weston.log" 2>&1 &
weston=$!
for _ in $(seq 100); do
    [ ! -S "$XDG_RUNTIME_DIR/kelvane" ] && kill -0 "$weston" 2>/dev/null || break
    sleep 0.1
done
# A weston that cannot start here (no rights to a runtime folder, a broken install) leaves
# the check undecided, like a missing one.
if [ ! -S "$XDG_RUNTIME_DIR/kelvane" ]; then
    cat "$scratch/weston.log" >&2
    echo "wayland_session: weston did not start" >&2
    exit 77
fi
"$@"
