#!/usr/bin/env bash
# Installs the Debian packages Kelvane needs when they are missing, then configures and
# builds it in ./build. Sourced by play.sh and test.sh.
set -euo pipefail

KELVANE_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
KELVANE_BUILD="$KELVANE_ROOT/build"

KELVANE_PACKAGES=(
    g++ cmake ninja-build pkg-config
    qt6-base-dev qt6-multimedia-dev libgl-dev
    libgtest-dev libbenchmark-dev
    fonts-wqy-microhei
    qt6-translations-l10n
    xvfb x11-utils
    dbus at-spi2-core python3-pyatspi
    # The game natively under Wayland, checked under a headless compositor.
    weston qt6-wayland
    iproute2
    # The Debian package: what builds it, and what checks it as Debian does.
    dpkg-dev lintian appstream desktop-file-utils man-db
    libavahi-client-dev
    libminiupnpc-dev libnatpmp-dev
    # The router test: the router's NAT, and the tools to ask a router by hand.
    nftables miniupnpc natpmpc
)
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

kelvane_build() {
    cmake -S "$KELVANE_ROOT" -B "$KELVANE_BUILD" -G Ninja "$@"
    cmake --build "$KELVANE_BUILD" -j "$(nproc)"
}
