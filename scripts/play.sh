#!/usr/bin/env bash
# Builds Kelvane (installing what is missing) and starts the game. Only the programs are
# built: the tests are scripts/test.sh's.
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"
kelvane_install "${KELVANE_BUILD_PACKAGES[@]}" "${KELVANE_RUN_PACKAGES[@]}"
kelvane_build -DBUILD_TESTING=OFF
# The program finds its move sound and help file by relative name, beside itself.
cd "$KELVANE_BUILD/bin"
exec ./kelvane
