#!/bin/sh
# Builds the Debian package as the README tells a user to, in a fresh build tree with the
# tests off, and checks it as a Debian maintainer would: only what ships is compiled; the
# package holds the game's files and nothing else, needs a Chinese font and recommends Qt's
# Chinese texts; lintian, the AppStream and desktop-entry validators and man find no fault.
#   check_package.sh <source dir> <scratch build dir> <C++ compiler> [<compiler launcher>]
set -eu

source=$1 build=$2 compiler=$3 launcher=${4:-}
work=$(mktemp -d)
trap 'rm -rf "$work" "$build"' EXIT

fail() {
    [ ! -s "$work/log" ] || tail -n 40 "$work/log" >&2
    echo "check_package: $*" >&2
    exit 1
}

# The README's command installs what the set-up calls the build's needs, no more, no less.
needs=$(bash -c '. "$1/scripts/setup.sh" && printf "%s\n" "${KELVANE_BUILD_PACKAGES[@]}"' - \
    "$source" | sort)
told=$(sed -n '/sudo apt-get install -y g++/,/&&$/p' "$source/README.md" | tr -s ' &\\' '\n' |
    grep -vx -e '' -e sudo -e apt-get -e install -e -y | sort)
[ "$needs" = "$told" ] || fail "the README installs $(echo $told), the set-up $(echo $needs)"

rm -rf "$build"
cmake -S "$source" -B "$build" -G Ninja -DBUILD_TESTING=OFF -DCMAKE_CXX_COMPILER="$compiler" \
    ${launcher:+-DCMAKE_CXX_COMPILER_LAUNCHER="$launcher"} >"$work/log" 2>&1 ||
    fail "configure failed"
# Nothing of the tests, the benchmarks or their libraries is compiled.
! grep -qF -e "$source/tests/" -e "$source/benchmarks/" -e gtest -e libbenchmark \
    "$build/build.ninja" || fail "the package build compiles tests"
cmake --build "$build" -j 2 --target package >"$work/log" 2>&1 || fail "the package build failed"
set -- "$build"/kelvane_*.deb
[ -f "$1" ] || fail "the build made no package"
deb=$1

field() { dpkg-deb -f "$deb" "$1"; }
field Depends | grep -qF "fonts-noto-cjk | fonts-wqy-microhei | fonts-arphic-ukai" ||
    fail "no Chinese font among the dependencies: $(field Depends)"
field Depends | grep -q 'libqt6widgets6' || fail "the Qt libraries are not dependencies"
field Recommends | grep -q 'qt6-translations-l10n' || fail "Qt's Chinese texts are not recommended"

# The game's files, and nothing outside the places Debian gives a game.
dpkg-deb -c "$deb" | awk '{ print $6 }' | sed 's|^\./|/|' | grep -v '/$' >"$work/files"
for file in /usr/games/kelvane /usr/lib/games/kelvane/kelvane /usr/lib/games/kelvane/kelvane-bot \
    /usr/lib/games/kelvane/Move.wav /usr/lib/games/kelvane/readme.txt \
    /usr/share/games/kelvane/Move.wav /usr/share/games/kelvane/readme.txt \
    /usr/share/man/man6/kelvane.6.gz /usr/share/man/zh_CN/man6/kelvane.6.gz \
    /usr/share/applications/kelvane.desktop /usr/share/icons/hicolor/48x48/apps/kelvane.png \
    /usr/share/doc/kelvane/copyright /usr/share/doc/kelvane/changelog.gz; do
    grep -qxF "$file" "$work/files" || fail "the package lacks $file"
done
grep -qx '/usr/share/metainfo/.*\.metainfo\.xml' "$work/files" || fail "no AppStream data"
places='/usr/(games|lib/games/kelvane|share/(games/kelvane|man|doc/kelvane|applications|icons/hicolor|metainfo))/'
if grep -Ev "^$places" "$work/files" >"$work/log"; then
    fail "files outside the game's places"
fi

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
echo "check_package: $(basename "$deb") built without tests; passes lintian, appstreamcli," \
    "desktop-file-validate, man"
