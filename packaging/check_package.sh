#!/bin/sh
# Builds the Debian package from a build tree into a scratch folder of its own and checks it
# as a Debian maintainer would: lintian, the AppStream and desktop-entry validators and man
# on the files the package holds. Any error or warning fails.
#   check_package.sh <cpack command> <build dir>
set -eu

cpack=$1 build=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail() {
    [ ! -s "$work/log" ] || cat "$work/log" >&2
    echo "check_package: $*" >&2
    exit 1
}

"$cpack" --config "$build/CPackConfig.cmake" -B "$work" >"$work/log" 2>&1 || fail "cpack failed"
set -- "$work"/kelvane_*.deb
[ -f "$1" ] || fail "cpack made no package"
deb=$1

lintian --fail-on error,warning "$deb" >"$work/log" 2>&1 || fail "lintian finds faults"

root="$work/root"
dpkg-deb -x "$deb" "$root"
appstreamcli validate --no-net "$root"/usr/share/metainfo/*.metainfo.xml >"$work/log" 2>&1 ||
    fail "appstreamcli finds faults"
# It reports warnings and hints without failing.
desktop-file-validate "$root/usr/share/applications/kelvane.desktop" >"$work/log" 2>&1 &&
    [ ! -s "$work/log" ] || fail "desktop-file-validate finds faults"

# Both pages render without a word from groff, and tell the port and the firewall rules.
for page in man6/kelvane.6.gz zh_CN/man6/kelvane.6.gz; do
    LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$root/usr/share/man/$page" \
        >"$work/page" 2>"$work/log" && [ ! -s "$work/log" ] || fail "man: $page"
    for text in 5238 "ufw allow 5238/tcp" "firewall-cmd --permanent --add-port=5238/tcp"; do
        grep -qF -- "$text" "$work/page" || fail "$page does not say: $text"
    done
done
echo "check_package: $(basename "$deb") passes lintian, appstreamcli, desktop-file-validate, man"
