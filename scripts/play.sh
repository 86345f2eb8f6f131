#!/usr/bin/env bash
# Builds Kelvane (installing what is missing) and starts the game.
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"
kelvane_install "${KELVANE_PACKAGES[@]}"
kelvane_build
# The program finds its move sound and help file by relative name, beside itself.
cd "$KELVANE_BUILD/bin"
exec ./kelvane
