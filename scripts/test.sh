#!/usr/bin/env bash
# Builds Kelvane (installing what is missing) and runs the whole test suite.
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"
kelvane_install "${KELVANE_PACKAGES[@]}"
kelvane_build
ctest --test-dir "$KELVANE_BUILD" --output-on-failure -j "$(nproc)"
