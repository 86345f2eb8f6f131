#!/bin/sh
# Installs a build into a scratch prefix, checks the layout, and checks that the `kelvane`
# command, started from another directory, runs the game inside its own folder.
#   check_install.sh <build dir> <command dir> <folder> <files the folder must hold...>
set -eu

build=$1 command_dir=$2 folder_dir=$3
shift 3
prefix=$(mktemp -d)
pid=
cleanup() {
    [ -n "$pid" ] && kill "$pid" 2>/dev/null
    rm -rf "$prefix"
}
trap cleanup EXIT

fail() {
    echo "check_install: $*" >&2
    exit 1
}

cmake --install "$build" --prefix "$prefix" >/dev/null

folder="$prefix/$folder_dir"
for file in "$@"; do
    [ -f "$folder/$file" ] || fail "$folder/$file is missing"
done
[ -x "$folder/kelvane" ] || fail "the program is not executable"
[ -x "$prefix/$command_dir/kelvane" ] || fail "there is no kelvane command"
[ -f "$prefix/share/applications/kelvane.desktop" ] || fail "the desktop entry is missing"
# The computer player is a command of its own, with its manual pages.
"$prefix/$command_dir/kelvane-bot" --version >/dev/null 2>&1 || fail "kelvane-bot does not run"
[ "$(readlink -f "$prefix/$command_dir/kelvane-bot")" = "$(readlink -f "$folder/kelvane-bot")" ] ||
    fail "kelvane-bot is not the folder's program"
for page in man6 zh_CN/man6; do
    [ -f "$prefix/share/man/$page/kelvane-bot.6.gz" ] || fail "no $page/kelvane-bot.6.gz"
done
for size in 16 22 24 32 48 64 128 256; do
    [ -f "$prefix/share/icons/hicolor/${size}x${size}/apps/kelvane.png" ] ||
        fail "no ${size}x${size} icon"
done

# No display is needed to start it: the game comes up on the offscreen platform.
cd /
QT_QPA_PLATFORM=offscreen "$prefix/$command_dir/kelvane" >/dev/null 2>&1 &
pid=$!
tries=0
while [ "$(readlink "/proc/$pid/exe" 2>/dev/null)" != "$folder/kelvane" ]; do
    tries=$((tries + 1))
    [ "$tries" -le 100 ] || fail "the game did not start"
    sleep 0.1
done
[ "$(readlink "/proc/$pid/cwd")" = "$folder" ] ||
    fail "the game runs in $(readlink "/proc/$pid/cwd"), not in $folder"
sleep 1
kill -0 "$pid" 2>/dev/null || fail "the game stopped at once"
echo "check_install: $folder holds $*; kelvane starts there"
