#!/usr/bin/env bash
# The Debian packages Kelvane needs, and how to install the missing ones and build.
#   bash scripts/setup.sh      installs what building the game and its Debian package needs,
#                              and what the game needs to be read (a Chinese font, Qt's
#                              Chinese texts);
#   source scripts/setup.sh    only defines the lists and functions (play.sh and test.sh).
set -euo pipefail

KELVANE_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
KELVANE_BUILD="$KELVANE_ROOT/build"

# What builds the game and its Debian package.
KELVANE_BUILD_PACKAGES=(
    g++ cmake ninja-build pkg-config
    qt6-base-dev qt6-multimedia-dev libgl-dev
    libavahi-client-dev libminiupnpc-dev libnatpmp-dev
    dpkg-dev
)
# What the game needs to be read: a Chinese font and Qt's own Chinese texts.
KELVANE_RUN_PACKAGES=(fonts-wqy-microhei qt6-translations-l10n)
# What the tests need on top: their libraries, a private display and screen reader, network
# namespaces, and Debian's tools that check the package.
KELVANE_TEST_PACKAGES=(
    libgtest-dev libbenchmark-dev
    xvfb x11-utils
    dbus at-spi2-core python3-pyatspi
    # The game natively under Wayland, checked under a headless compositor.
    weston qt6-wayland
    iproute2
    lintian appstream desktop-file-utils man-db
    # The router test: the router's NAT, and the tools to ask a router by hand.
    nftables miniupnpc natpmpc
)
KELVANE_PACKAGES=("${KELVANE_BUILD_PACKAGES[@]}" "${KELVANE_RUN_PACKAGES[@]}"
                  "${KELVANE_TEST_PACKAGES[@]}")
# The discovery test runs real avahi-daemons of its own, the router test a real miniupnpd. They
# come without recommends, so that libnss-mdns does not rewrite the machine's
# /etc/nsswitch.conf. miniupnpd-nftables brings no service of its own: nothing starts at install.
KELVANE_DAEMON_PACKAGES=(avahi-daemon miniupnpd-nftables)
# What the checks add: clang, libFuzzer and the sanitizer run-times, and the symbolizer that
# names the lines in their reports.
KELVANE_CHECK_PACKAGES=(clang libclang-rt-14-dev llvm-14)

kelvane_missing_packages() {
    local pkg
    for pkg in "$@"; do
        dpkg-query -W -f='${Status}\n' "$pkg" 2>/dev/null | grep -q '^install ok installed$' ||
            echo "$pkg"
    done
}

# kelvane_install [--no-install-recommends] PACKAGE...
kelvane_install() {
    local options=()
    if [ "${1:-}" = --no-install-recommends ]; then
        options=("$1")
        shift
    fi
    local missing
    mapfile -t missing < <(kelvane_missing_packages "$@")
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq \
        "${options[@]}" "${missing[@]}"
}

# kelvane_build [CMAKE OPTION...]: configures ./build with the options and builds it.
kelvane_build() {
    cmake -S "$KELVANE_ROOT" -B "$KELVANE_BUILD" -G Ninja "$@"
    cmake --build "$KELVANE_BUILD" -j "$(nproc)"
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
    kelvane_install "${KELVANE_BUILD_PACKAGES[@]}" "${KELVANE_RUN_PACKAGES[@]}"
fi
